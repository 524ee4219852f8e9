#include "protocol/CommandSet.h"
#include "sim/SimulatedTable.h"

#include <cerrno>
#include <charconv>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <optional>
#include <pthread.h>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <type_traits>
#include <unistd.h>

using glowdeck::sim::SimOptions;
using glowdeck::sim::SimulatedTable;

namespace {
constexpr const char* kUsage =
    "Usage: glowdeck-sim [options]\n"
    "A simulated Glowdeck table behind a pseudo-terminal. Prints the device path as its first\n"
    "line, then runs until interrupted.\n"
    "\n"
    "  --link PATH          also make PATH a symbolic link to the device, kept pointing at\n"
    "                       it when it comes back and removed while there is none\n"
    "  --trace FILE         append a line to FILE for every command received\n"
    "  --fast               send the EEPROM dump as fast as possible, not at 115200 baud\n"
    "  --no-dump-reply      ignore EEPROM dump requests\n"
    "  --cut-dump-after N   stop an EEPROM dump after N bytes\n"
    "  --answer-gap-ms N    pause N ms between the bytes of every answer\n"
    "  --nul-in-answers     put NUL and other non-text bytes into the answers\n"
    "  --flood N            answer the debug test with N random bytes\n"
    "  --hang-up-after N    hang up after the Nth command\n"
    "  --drop-after-command CMD\n"
    "                       hang up when the command CMD (a code or a name such as\n"
    "                       CMD_EEPROM_DUMP) arrives, or --drop-after-ms later\n"
    "  --drop-after-ms MS   how long after that command the link drops (default 0)\n"
    "  --drop-in-answer N   hang up once N bytes of an answer or a dump are out\n"
    "  --return-after MS    after each hang-up, come back MS ms later on a new device\n"
    "  --stream             while the port is open, send 22-byte lines at 115200 baud\n"
    "  --chatter MS         talk unprompted: a line at random moments, about every MS ms,\n"
    "                       and one the moment each command starts to arrive\n"
    "  --greet TEXT         send TEXT and CR LF whenever the port is opened\n"
    "  --stall-ms MS        stop reading for MS ms at random moments ...\n"
    "  --stall-every MS     ... on average every MS ms; what arrives meanwhile is read late\n"
    "  --answer-delay MS    send every answer MS ms late\n"
    "  --answer-twice       send every answer twice\n"
    "  --seed N             make every random choice repeatable (the seed is printed)\n"
    "  --help               show this text\n"
    "  --version            show the version\n";

// A code in decimal or 0x hexadecimal, or a name from the command set.
std::optional<int> parseCommand(std::string_view text) {
    for (const glowdeck::CommandInfo& info : glowdeck::CommandSet::all())
        if (info.name == text)
            return info.code;
    unsigned value = 0;
    const bool hex = text.starts_with("0x") || text.starts_with("0X");
    const std::string_view digits = hex ? text.substr(2) : text;
    const auto [end, error] =
        std::from_chars(digits.data(), digits.data() + digits.size(), value, hex ? 16 : 10);
    if (digits.empty() || error != std::errc() || end != digits.data() + digits.size() ||
        !glowdeck::CommandSet::find(std::uint16_t(value)) || value > 0xFFFF)
        return std::nullopt;
    return int(value);
}

template <typename Number> std::optional<Number> parseCount(std::string_view text) {
    Number value{};
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    if constexpr (std::is_signed_v<Number>) {
        if (value < 0)
            return std::nullopt;
    }
    return value;
}

int usageError(const std::string& message) {
    std::cerr << "glowdeck-sim: " << message << "\n\n" << kUsage;
    return 2;
}

// Only a link this program may own is replaced: never a regular file or a directory.
bool mayOwnLink(const std::string& link) {
    struct stat info {};
    if (lstat(link.c_str(), &info) == 0 && !S_ISLNK(info.st_mode)) {
        std::cerr << "glowdeck-sim: " << link << " exists and is not a symbolic link\n";
        return false;
    }
    return true;
}

bool pointsAt(const std::string& link, const std::string& target) {
    char buffer[4096];
    const ssize_t n = readlink(link.c_str(), buffer, sizeof buffer);
    return n >= 0 && std::string_view(buffer, std::size_t(n)) == target;
}
} // namespace

int main(int argc, char** argv) {
    SimOptions options;
    std::string linkPath;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        const auto value = [&]() -> std::optional<std::string_view> {
            if (i + 1 >= argc)
                return std::nullopt;
            return std::string_view(argv[++i]);
        };
        const auto count = [&]<typename Number>(Number& out) {
            const auto text = value();
            const auto parsed = text ? parseCount<Number>(*text) : std::nullopt;
            if (parsed)
                out = *parsed;
            return parsed.has_value();
        };
        bool ok = true;
        if (arg == "--help") {
            std::cout << kUsage;
            return 0;
        } else if (arg == "--version") {
            std::cout << "glowdeck-sim " GLOWDECK_VERSION "\n";
            return 0;
        } else if (arg == "--link" || arg == "--trace") {
            const auto text = value();
            ok = text && !text->empty();
            if (ok)
                (arg == "--link" ? linkPath : options.tracePath) = std::string(*text);
        } else if (arg == "--fast") {
            options.fast = true;
        } else if (arg == "--no-dump-reply") {
            options.noDumpReply = true;
        } else if (arg == "--stream") {
            options.streamLines = true;
        } else if (arg == "--nul-in-answers") {
            options.nulInAnswers = true;
        } else if (arg == "--cut-dump-after") {
            ok = count(options.cutDumpAfter);
        } else if (arg == "--answer-gap-ms") {
            ok = count(options.answerGapMs);
        } else if (arg == "--flood") {
            ok = count(options.floodBytes);
        } else if (arg == "--hang-up-after") {
            ok = count(options.hangUpAfterFrames);
        } else if (arg == "--chatter") {
            int ms = 0;
            ok = count(ms) && ms <= 1000000;
            options.chatterUs = ms * 1000;
        } else if (arg == "--drop-after-command") {
            const auto text = value();
            const auto code = text ? parseCommand(*text) : std::nullopt;
            ok = code.has_value();
            if (ok)
                options.dropAfterCode = *code;
        } else if (arg == "--drop-after-ms") {
            ok = count(options.dropAfterMs);
        } else if (arg == "--drop-in-answer") {
            ok = count(options.dropInAnswerAfter);
        } else if (arg == "--return-after") {
            ok = count(options.returnAfterMs);
        } else if (arg == "--stall-ms") {
            ok = count(options.stallMs);
        } else if (arg == "--stall-every") {
            ok = count(options.stallEveryMs) && options.stallEveryMs > 0;
        } else if (arg == "--answer-delay") {
            ok = count(options.answerDelayMs);
        } else if (arg == "--answer-twice") {
            options.answerTwice = true;
        } else if (arg == "--seed") {
            ok = count(options.seed);
        } else if (arg == "--greet") {
            const auto text = value();
            ok = text && !text->empty();
            if (ok)
                options.greeting = std::string(*text);
        } else {
            return usageError("unknown option " + std::string(arg));
        }
        if (!ok)
            return usageError("option " + std::string(arg) + " needs a valid value");
    }

    // Blocked before the table's thread exists, so that it inherits the mask and only
    // sigwait() below sees the signals.
    sigset_t endSignals;
    sigemptyset(&endSignals);
    sigaddset(&endSignals, SIGINT);
    sigaddset(&endSignals, SIGTERM);
    sigaddset(&endSignals, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &endSignals, nullptr);

    if (!linkPath.empty() && !mayOwnLink(linkPath))
        return 1;
    // The table keeps the link pointing at its device, through drops and returns.
    options.linkPath = linkPath;
    SimulatedTable table(options);
    if (!table.start()) {
        std::cerr << "glowdeck-sim: cannot open a pseudo-terminal\n";
        return 1;
    }
    const std::string device = table.devicePath();
    if (!linkPath.empty() && !pointsAt(linkPath, device)) {
        std::cerr << "glowdeck-sim: cannot link " << linkPath << "\n";
        return 1;
    }
    std::cout << device << std::endl;
    std::cerr << "glowdeck-sim: simulated table on " << device
              << (linkPath.empty() ? "" : " (" + linkPath + ")") << ", seed " << table.seed()
              << ", Ctrl+C ends it\n";

    int received = 0;
    sigwait(&endSignals, &received);
    table.stop();
    return 0;
}
