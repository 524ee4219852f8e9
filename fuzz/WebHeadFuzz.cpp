// Feeds the page's listener arbitrary request heads and checks its judgement: one verdict for one
// head, a reason exactly when it refuses, only the statuses it may give, and nothing let through
// that is not a bodiless GET of this machine's, or a WebSocket upgrade away from its one path.

#include "FuzzCheck.h"

#include "web/WebListener.h"

#include <QByteArrayList>
#include <QByteArrayView>

#include <cstddef>
#include <cstdint>

using glowdeck::WebListener;

namespace {

// The Host header's name without its port, as a browser would mean it; empty when there is none.
QByteArray hostNamed(const QList<QByteArray>& lines, bool& present) {
    present = false;
    QByteArray name;
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QByteArray line = lines[i].trimmed();
        const qsizetype colon = line.indexOf(':');
        if (colon <= 0 || line.left(colon).trimmed().toLower() != "host")
            continue;
        present = true;
        name = line.mid(colon + 1).trimmed().toLower();
    }
    if (name.startsWith('['))
        name = name.mid(1, name.indexOf(']') - 1);
    else if (name.count(':') == 1)
        name = name.left(name.indexOf(':'));
    if (name.endsWith('.'))
        name.chop(1);
    return name;
}

bool names(const QList<QByteArray>& lines, const QByteArray& header) {
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QByteArray line = lines[i].trimmed();
        const qsizetype colon = line.indexOf(':');
        if (colon > 0 && line.left(colon).trimmed().toLower() == header)
            return true;
    }
    return false;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const QByteArrayList hosts{"localhost", "glowdeck", "glowdeck.local", "127.0.0.1",
                                      "::1"};
    const QByteArrayView head(reinterpret_cast<const char*>(data), qsizetype(size));
    const WebListener::Verdict plain = WebListener::judge(head, false, hosts);
    const WebListener::Verdict again = WebListener::judge(head, false, hosts);
    const WebListener::Verdict tls = WebListener::judge(head, true, hosts);
    FUZZ_CHECK(plain.status == again.status && plain.reason == again.reason &&
               plain.upgrade == again.upgrade);
    for (const WebListener::Verdict& verdict : {plain, tls}) {
        FUZZ_CHECK(verdict.status == 0 || verdict.status == 400 || verdict.status == 403 ||
                   verdict.status == 404 || verdict.status == 405);
        FUZZ_CHECK((verdict.status == 0) == verdict.reason.isEmpty());
    }
    // Only the Origin's scheme tells the two apart, and only for a WebSocket's request.
    if (plain.status != tls.status)
        FUZZ_CHECK(plain.upgrade && tls.upgrade && (plain.status == 403 || tls.status == 403));

    if (plain.status != 0)
        return 0;
    const QList<QByteArray> lines = head.toByteArray().split('\n');
    const QList<QByteArray> request = lines.value(0).trimmed().split(' ');
    FUZZ_CHECK(request.size() == 3 && request[0] == "GET" && request[1].startsWith('/') &&
               request[2].startsWith("HTTP/1."));
    FUZZ_CHECK(!names(lines, "transfer-encoding"));
    bool hasHost = false;
    const QByteArray host = hostNamed(lines, hasHost);
    FUZZ_CHECK(!hasHost || hosts.contains(host));
    if (plain.upgrade)
        FUZZ_CHECK(request[1].split('?').front() == WebListener::kWebSocketPath);
    return 0;
}
