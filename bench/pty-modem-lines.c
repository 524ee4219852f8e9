/* Preloaded into cutecom by bench/line-rate-vs-cutecom.sh. A pseudo-terminal has no modem lines,
 * and cutecom gives up on a port whose RTS and DTR it cannot read or set; here those requests
 * answer as a serial port with its lines up would, and everything else goes to the system. Only
 * what happens around opening the port changes: reading and showing the text are cutecom's own.
 */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <stdarg.h>
#include <sys/ioctl.h>

int ioctl(int fd, unsigned long request, ...) {
    static int (*system_ioctl)(int, unsigned long, ...);
    if (!system_ioctl)
        system_ioctl = (int (*)(int, unsigned long, ...))dlsym(RTLD_NEXT, "ioctl");
    va_list arguments;
    va_start(arguments, request);
    void* argument = va_arg(arguments, void*);
    va_end(arguments);
    const int result = system_ioctl(fd, request, argument);
    if (result == 0 || errno != ENOTTY)
        return result;
    if (request == TIOCMGET) {
        *(int*)argument = TIOCM_DTR | TIOCM_RTS | TIOCM_CTS | TIOCM_DSR | TIOCM_CD;
        return 0;
    }
    if (request == TIOCMSET || request == TIOCMBIS || request == TIOCMBIC)
        return 0;
    return result;
}
