#include "web/WebServer.h"

#include "control/ColourText.h"
#include "control/ControlClients.h"
#include "control/ControlPeer.h"
#include "control/RequestDecoder.h"
#include "protocol/TableVocabulary.h"
#include "web/QrCode.h"
#include "web/WebListener.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QHttpServerResponse>
#include <QJsonArray>
#include <QJsonDocument>
#include <QNetworkInterface>
#include <QRandomGenerator>
#include <QSslCertificate>
#include <QSslKey>
#include <QSslSocket>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTimer>
#include <QWebSocket>

#include <algorithm>
#include <chrono>
#include <memory>
#include <utility>

static void initPageResource() {
    Q_INIT_RESOURCE(page);
}

namespace glowdeck {

namespace {
// A client's replies and events as WebSocket text messages.
class WebPeer : public ControlPeer {
public:
    explicit WebPeer(QWebSocket* socket) : m_socket(socket) {}
    void sendMessage(const QByteArray& json) override {
        m_socket->sendTextMessage(QString::fromUtf8(json));
    }
    qint64 unsentBytes() const override { return m_socket->bytesToWrite(); }
    void closeAfterSent() override { m_socket->close(QWebSocketProtocol::CloseCodePolicyViolated); }

private:
    QWebSocket* m_socket;
};

QString text(std::string_view words) {
    return QString::fromUtf8(words.data(), qsizetype(words.size()));
}

QJsonObject vocabulary() {
    QJsonArray modes;
    for (std::string_view mode : TableVocabulary::modes())
        modes.append(text(mode));
    QJsonArray colours;
    for (const ColourEntry& entry : TableVocabulary::colours())
        colours.append(QJsonObject{{QStringLiteral("name"), text(entry.name)},
                                   {QStringLiteral("colour"), ColourText::format(entry.colour)}});
    QJsonArray routines;
    for (const DebugList list : TableVocabulary::kDebugLists)
        for (const TestRoutine& routine : TableVocabulary::routines(list))
            routines.append(text(routine.name));
    return {
        {QStringLiteral("modes"), modes},
        {QStringLiteral("customGameMode"), TableVocabulary::kCustomGameMode},
        {QStringLiteral("colours"), colours},
        {QStringLiteral("routines"), routines},
        {QStringLiteral("speed"), QJsonArray{TableVocabulary::kSpeedMin, TableVocabulary::kSpeedMax,
                                             TableVocabulary::kSpeedStart}},
        {QStringLiteral("sensitivity"),
         QJsonArray{TableVocabulary::kSensitivityMin, TableVocabulary::kSensitivityMax,
                    TableVocabulary::kSensitivityStart}},
        {QStringLiteral("scrollingTextMax"), int(TableVocabulary::kScrollingTextMax)},
        {QStringLiteral("bluetoothNameMax"), int(TableVocabulary::kBluetoothNameMax)},
    };
}

QByteArray hashOf(const QByteArray& html, const QByteArray& open, const QByteArray& close) {
    const qsizetype start = html.indexOf(open);
    const qsizetype end = html.indexOf(close, start);
    if (start < 0 || end < 0)
        return {};
    const QByteArray body = html.mid(start + open.size(), end - start - open.size());
    return "'sha256-" + QCryptographicHash::hash(body, QCryptographicHash::Sha256).toBase64() + "'";
}

QString networkHost(const QHostAddress& address) {
    if (address != QHostAddress::Any && address != QHostAddress::AnyIPv4 &&
        address != QHostAddress::AnyIPv6)
        return address.protocol() == QAbstractSocket::IPv6Protocol
                   ? QLatin1Char('[') + address.toString() + QLatin1Char(']')
                   : address.toString();
    for (const QNetworkInterface& interface : QNetworkInterface::allInterfaces()) {
        const auto flags = interface.flags();
        if (!(flags & QNetworkInterface::IsUp) || !(flags & QNetworkInterface::IsRunning) ||
            (flags & QNetworkInterface::IsLoopBack))
            continue;
        for (const QNetworkAddressEntry& entry : interface.addressEntries())
            if (entry.ip().protocol() == QAbstractSocket::IPv4Protocol)
                return entry.ip().toString();
    }
    return QStringLiteral("127.0.0.1");
}

// Takes one connection's descriptor, so a server socket can be made of it.
class ProbeServer : public QTcpServer {
public:
    qintptr descriptor = -1;

protected:
    void incomingConnection(qintptr handle) override { descriptor = handle; }
};

// A key that is not the certificate's would fail every handshake, each one silently: the TLS
// library checks the pair when a server socket first starts encrypting, so one is started here,
// on a loopback connection of its own, before any phone comes.
QString whyTlsCannotServe(const QSslConfiguration& tls) {
    ProbeServer probe;
    if (!probe.listen(QHostAddress::LocalHost))
        return {};
    QTcpSocket client;
    client.connectToHost(QHostAddress::LocalHost, probe.serverPort());
    if (!probe.waitForNewConnection(2000) || probe.descriptor < 0)
        return {};
    QSslSocket server;
    if (!server.setSocketDescriptor(probe.descriptor))
        return {};
    server.setSslConfiguration(tls);
    server.startServerEncryption();
    const QString why = server.error() == QAbstractSocket::SslInternalError ||
                                server.error() == QAbstractSocket::SslInvalidUserDataError
                            ? server.errorString()
                            : QString();
    server.abort();
    client.abort();
    return why;
}

std::optional<QSslConfiguration> loadTls(const WebEndpoint& endpoint, QString* error) {
    const QList<QSslCertificate> chain = QSslCertificate::fromPath(endpoint.certPath);
    if (chain.isEmpty()) {
        *error = QStringLiteral("no certificate in %1").arg(endpoint.certPath);
        return std::nullopt;
    }
    QFile keyFile(endpoint.keyPath);
    if (!keyFile.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("cannot read %1: %2").arg(endpoint.keyPath, keyFile.errorString());
        return std::nullopt;
    }
    const QByteArray pem = keyFile.read(1 << 20);
    QSslKey key;
    for (const QSsl::KeyAlgorithm algorithm : {QSsl::Rsa, QSsl::Ec, QSsl::Dsa})
        if (key.isNull())
            key = QSslKey(pem, algorithm);
    if (key.isNull()) {
        *error = QStringLiteral("no private key in %1").arg(endpoint.keyPath);
        return std::nullopt;
    }
    QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
    tls.setLocalCertificateChain(chain);
    tls.setPrivateKey(key);
    tls.setPeerVerifyMode(QSslSocket::VerifyNone);
    if (const QString why = whyTlsCannotServe(tls); !why.isEmpty()) {
        *error = QStringLiteral("the key %1 does not go with the certificate %2: %3")
                     .arg(endpoint.keyPath, endpoint.certPath, why);
        return std::nullopt;
    }
    return tls;
}
} // namespace

std::optional<WebEndpoint> WebEndpoint::parse(const QString& text, QString* error) {
    WebEndpoint endpoint;
    QString portText = text;
    const qsizetype colon = text.lastIndexOf(QLatin1Char(':'));
    if (colon >= 0) {
        QString host = text.left(colon);
        portText = text.mid(colon + 1);
        if (host.startsWith(QLatin1Char('[')) && host.endsWith(QLatin1Char(']')))
            host = host.mid(1, host.size() - 2);
        else if (host.contains(QLatin1Char(':')))
            host.clear(); // an IPv6 address needs its brackets
        if (!endpoint.address.setAddress(host)) {
            *error = QStringLiteral("\"%1\" is not an address: give [ADDRESS:]PORT, e.g. "
                                    "127.0.0.1:8080 or [::1]:8080")
                         .arg(text);
            return std::nullopt;
        }
    }
    bool ok = false;
    const uint port = portText.toUInt(&ok);
    // Port 0 takes any free port; the links name the one taken.
    if (!ok || port > 65535) {
        *error = QStringLiteral("\"%1\" is not a port from 0 to 65535").arg(portText);
        return std::nullopt;
    }
    endpoint.port = quint16(port);
    return endpoint;
}

WebServer::WebServer(ControlClients& clients, WebKeys keys, QObject* parent)
    : QObject(parent), m_clients(clients), m_keys(std::move(keys)),
      m_gate(m_keys.operatorKey, m_keys.guestKey) {
    m_http.route(QStringLiteral("/"), [] {
        const Page& p = page();
        QHttpServerResponse response("text/html; charset=utf-8", p.html);
        response.setHeader("Content-Security-Policy", p.contentSecurityPolicy);
        response.setHeader("X-Frame-Options", "DENY");
        response.setHeader("X-Content-Type-Options", "nosniff");
        response.setHeader("Referrer-Policy", "no-referrer");
        response.setHeader("Cache-Control", "no-store");
        return response;
    });
    // A dump the page asked for, by the link its reply gave; any other is not there.
    m_http.route(QStringLiteral("/dumps/<arg>"), [this](const QString& token) {
        const auto offered = std::find_if(m_offers.begin(), m_offers.end(),
                                          [&token](const auto& o) { return o.first == token; });
        QFile file(offered == m_offers.end() ? QString() : offered->second);
        if (offered == m_offers.end() || !file.open(QIODevice::ReadOnly))
            return QHttpServerResponse(QHttpServerResponder::StatusCode::NotFound);
        QHttpServerResponse response("text/csv; charset=us-ascii", file.readAll());
        response.setHeader("Content-Disposition",
                           "attachment; filename=\"" +
                               QFileInfo(offered->second).fileName().toLatin1() + '"');
        response.setHeader("X-Content-Type-Options", "nosniff");
        response.setHeader("Cache-Control", "no-store");
        return response;
    });
    m_http.route(QStringLiteral("/manifest.webmanifest"), [this] {
        QHttpServerResponse response("application/manifest+json", manifest(m_icons));
        response.setHeader("X-Content-Type-Options", "nosniff");
        return response;
    });
    m_http.route(QStringLiteral("/icon.svg"), [] {
        QHttpServerResponse response("image/svg+xml", iconSvg());
        response.setHeader("X-Content-Type-Options", "nosniff");
        response.setHeader("Content-Security-Policy", "default-src 'none'");
        return response;
    });
    m_http.route(QStringLiteral("/icon-<arg>.png"), [this](int size) {
        const auto icon = m_icons.find(size);
        if (icon == m_icons.end())
            return QHttpServerResponse(QHttpServerResponder::StatusCode::NotFound);
        QHttpServerResponse response("image/png", icon->second);
        response.setHeader("X-Content-Type-Options", "nosniff");
        return response;
    });
    m_dumpFolder = defaultDumpFolder();
    // The listener has checked the request and its origin; TLS, if any, is already done.
    m_webSockets.setHandshakeTimeout(WebListener::kHeadTimeMs);
    connect(&m_webSockets, &QWebSocketServer::newConnection, this, &WebServer::onWebSocket);
}

WebServer::~WebServer() {
    for (auto& [socket, s] : m_sockets) {
        if (s.client)
            m_clients.remove(s.client);
        QObject::disconnect(socket, nullptr, this, nullptr);
        socket->abort();
        delete socket;
    }
}

const WebServer::Page& WebServer::page() {
    static const Page loaded = [] {
        initPageResource();
        QFile file(QStringLiteral(":/web/page.html"));
        Page p;
        if (file.open(QIODevice::ReadOnly))
            p.html = file.readAll();
        p.contentSecurityPolicy =
            "default-src 'none'; script-src " + hashOf(p.html, "<script>", "</script>") +
            "; style-src " + hashOf(p.html, "<style>", "</style>") +
            "; connect-src 'self'; img-src 'self' data:; manifest-src 'self'; "
            "base-uri 'none'; "
            "form-action 'none'; frame-ancestors 'none'";
        return p;
    }();
    return loaded;
}

QByteArray WebServer::manifest(const std::map<int, QByteArray>& pngIcons) {
    QJsonArray icons{QJsonObject{{QStringLiteral("src"), QStringLiteral("/icon.svg")},
                                 {QStringLiteral("sizes"), QStringLiteral("any")},
                                 {QStringLiteral("type"), QStringLiteral("image/svg+xml")}}};
    for (const auto& [size, png] : pngIcons)
        icons.append(QJsonObject{{QStringLiteral("src"), QStringLiteral("/icon-%1.png").arg(size)},
                                 {QStringLiteral("sizes"), QStringLiteral("%1x%1").arg(size)},
                                 {QStringLiteral("type"), QStringLiteral("image/png")}});
    // The start is the bare page: the key stays on the phone, kept by the page for this origin.
    return QJsonDocument(
               QJsonObject{
                   {QStringLiteral("name"), QStringLiteral("Glowdeck")},
                   {QStringLiteral("short_name"), QStringLiteral("Glowdeck")},
                   {QStringLiteral("start_url"), QStringLiteral("/")},
                   {QStringLiteral("scope"), QStringLiteral("/")},
                   {QStringLiteral("display"), QStringLiteral("standalone")},
                   {QStringLiteral("display_override"), QJsonArray{QStringLiteral("fullscreen")}},
                   {QStringLiteral("background_color"), QStringLiteral("#0b0b10")},
                   {QStringLiteral("theme_color"), QStringLiteral("#0b0b10")},
                   {QStringLiteral("icons"), icons},
               })
        .toJson(QJsonDocument::Compact);
}

QByteArray WebServer::iconSvg() {
    static const QByteArray svg = [] {
        initPageResource();
        QFile file(QStringLiteral(":/web/icon.svg"));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }();
    return svg;
}

bool WebServer::listen(const WebEndpoint& endpoint, QString* error) {
    std::optional<QSslConfiguration> tls;
    if (!endpoint.certPath.isEmpty() || !endpoint.keyPath.isEmpty()) {
        if (endpoint.certPath.isEmpty() || endpoint.keyPath.isEmpty()) {
            *error = QStringLiteral("TLS needs both a certificate and its key");
            return false;
        }
        tls = loadTls(endpoint, error);
        if (!tls)
            return false;
    }
    m_tls = tls.has_value();
    m_listener = new WebListener(std::move(tls), this);
    if (!m_listener->listen(endpoint.address, endpoint.port)) {
        *error = QStringLiteral("cannot listen at %1 port %2: %3")
                     .arg(endpoint.address.toString())
                     .arg(endpoint.port)
                     .arg(m_listener->errorString());
        // Typically a second panel given the first one's port: starting again will not help.
        if (m_listener->serverError() == QAbstractSocket::AddressInUseError)
            *error += QStringLiteral(" (another program, perhaps another panel's page, has that "
                                     "port: give each panel a port of its own)");
        return false;
    }
    m_http.bind(m_listener);
    connect(m_listener, &WebListener::webSocketRequested, &m_webSockets,
            &QWebSocketServer::handleConnection);
    m_port = m_listener->serverPort();
    m_host = networkHost(endpoint.address);
    return true;
}

QString WebServer::link(ControlRole role) const {
    const std::string& key = role == ControlRole::Operator ? m_keys.operatorKey : m_keys.guestKey;
    return QStringLiteral("%1://%2:%3/#key=%4")
        .arg(m_tls ? QStringLiteral("https") : QStringLiteral("http"), m_host)
        .arg(m_port)
        .arg(QString::fromStdString(key));
}

QJsonObject WebServer::welcome(ControlRole role) const {
    QJsonObject reply{
        {QStringLiteral("ok"), true},
        {QStringLiteral("role"),
         role == ControlRole::Operator ? QStringLiteral("operator") : QStringLiteral("guest")},
        {QStringLiteral("vocabulary"), vocabulary()},
    };
    if (role == ControlRole::Operator) {
        const QString invite = link(ControlRole::Guest);
        reply.insert(QStringLiteral("invite"), invite);
        QJsonArray rows;
        if (const std::optional<QrCode> qr = QrCode::encode(invite.toStdString()))
            for (const std::string& row : qr->rows())
                rows.append(QString::fromStdString(row));
        reply.insert(QStringLiteral("inviteQr"), rows);
    }
    return reply;
}

void WebServer::onWebSocket() {
    while (m_webSockets.hasPendingConnections()) {
        QWebSocket* socket = m_webSockets.nextPendingConnection();
        if (!socket)
            continue;
        socket->setParent(this);
        socket->setMaxAllowedIncomingFrameSize(quint64(RequestDecoder::kMaxLineBytes));
        socket->setMaxAllowedIncomingMessageSize(quint64(RequestDecoder::kMaxLineBytes));
        connect(socket, &QWebSocket::disconnected, this, [this, socket] { forget(socket); });
        bool ipv4 = false;
        const QHostAddress peer(socket->peerAddress().toIPv4Address(&ipv4));
        m_sockets[socket].address = ipv4 ? peer.toString() : socket->peerAddress().toString();
        emit clientsChanged();
        if (int(m_sockets.size()) > kMaxClients) {
            turnAway(socket,
                     ControlClients::errorReply(
                         QStringLiteral("too many clients: at most %1 at once").arg(kMaxClients)));
            continue;
        }
        connect(socket, &QWebSocket::textMessageReceived, this,
                [this, socket](const QString& message) { onText(socket, message); });
        connect(socket, &QWebSocket::binaryMessageReceived, this, [this, socket] {
            turnAway(socket, ControlClients::errorReply(QStringLiteral("messages must be text")));
        });
        QTimer::singleShot(kHelloTimeMs, socket, [this, socket] {
            const auto it = m_sockets.find(socket);
            if (it != m_sockets.end() && !it->second.saidHello)
                turnAway(socket, ControlClients::errorReply(QStringLiteral("no hello")));
        });
    }
}

void WebServer::onText(QWebSocket* socket, const QString& message) {
    const auto it = m_sockets.find(socket);
    if (it == m_sockets.end())
        return;
    Socket& s = it->second;
    if (s.client != 0) {
        m_clients.take(s.client, message.toUtf8());
        return;
    }
    if (s.saidHello) {
        // Kept for after the answer, as few as the clients keep waiting.
        if (s.early.size() >= ControlClients::kMaxWaiting) {
            turnAway(socket, ControlClients::errorReply(
                                 QStringLiteral("too many messages before the hello's answer")));
            return;
        }
        s.early.append(message.toUtf8());
        return;
    }
    s.saidHello = true;
    s.hello = message.toUtf8();
    const QString address = s.address;
    m_hellos[address].push_back(socket);
    judgeHellos(address);
}

void WebServer::judgeHellos(const QString& address) {
    for (;;) {
        const auto line = m_hellos.find(address);
        if (line == m_hellos.end())
            return;
        if (line->second.empty()) {
            m_hellos.erase(line);
            return;
        }
        const auto now = std::chrono::steady_clock::now();
        const auto next = m_gate.nextJudging(address, now);
        if (next > now) {
            if (m_judgingLater.insert(address).second) {
                const auto wait = std::chrono::ceil<std::chrono::milliseconds>(next - now);
                QTimer::singleShot(wait, Qt::PreciseTimer, this, [this, address] {
                    m_judgingLater.erase(address);
                    judgeHellos(address);
                });
            }
            return;
        }
        QWebSocket* socket = line->second.front();
        line->second.pop_front();
        const auto it = m_sockets.find(socket);
        if (it == m_sockets.end())
            continue;
        const HelloOutcome hello = m_gate.check(it->second.hello, address, now);
        it->second.hello.clear();
        if (hello.role) {
            admit(socket, *hello.role, hello.id);
            continue;
        }
        const QJsonObject reply = ControlClients::errorReply(hello.error, hello.id);
        if (hello.delay.count() == 0)
            turnAway(socket, reply);
        else
            QTimer::singleShot(hello.delay, Qt::PreciseTimer, socket,
                               [this, socket, reply] { turnAway(socket, reply); });
    }
}

void WebServer::admit(QWebSocket* socket, ControlRole role, const QJsonValue& helloId) {
    const std::uint64_t id = m_clients.add(
        std::make_unique<WebPeer>(socket), role, [socket] { socket->abort(); },
        ControlOrigin::Page);
    const auto it = m_sockets.find(socket);
    it->second.client = id;
    const QList<QByteArray> early = std::exchange(it->second.early, {});
    QJsonObject reply = welcome(role);
    if (!helloId.isUndefined())
        reply.insert(QStringLiteral("id"), helloId);
    m_clients.send(id, reply);
    for (const QByteArray& message : early)
        m_clients.take(id, message);
}

QString WebServer::defaultDumpFolder() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           QStringLiteral("/glowdeck/dumps");
}

QString WebServer::newDumpPath(QString* error) const {
    if (!QDir().mkpath(m_dumpFolder)) {
        *error = QStringLiteral("cannot make the folder %1").arg(m_dumpFolder);
        return {};
    }
    const QString stem = QStringLiteral("EEPROM_Dump-") +
                         QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QString path = m_dumpFolder + QLatin1Char('/') + stem + QStringLiteral(".csv");
    for (int n = 2; QFileInfo::exists(path); ++n)
        path = m_dumpFolder + QLatin1Char('/') + stem + QStringLiteral("-%1.csv").arg(n);
    return path;
}

QString WebServer::offer(const QString& path) {
    const QString token = QString::fromStdString(WebKeys::makeKey());
    m_offers.emplace_back(token, path);
    while (int(m_offers.size()) > kMaxOffers)
        m_offers.pop_front();
    return QStringLiteral("/dumps/") + token;
}

void WebServer::turnAway(QWebSocket* socket, const QJsonObject& reply) {
    disconnect(socket, &QWebSocket::textMessageReceived, this, nullptr);
    disconnect(socket, &QWebSocket::binaryMessageReceived, this, nullptr);
    socket->sendTextMessage(QString::fromUtf8(QJsonDocument(reply).toJson(QJsonDocument::Compact)));
    socket->close(QWebSocketProtocol::CloseCodePolicyViolated);
    // A client that does not answer the close is not waited for.
    QTimer::singleShot(5000, socket, [socket] { socket->abort(); });
}

void WebServer::forget(QWebSocket* socket) {
    const auto it = m_sockets.find(socket);
    if (it == m_sockets.end())
        return;
    if (it->second.client)
        m_clients.remove(it->second.client);
    if (const auto line = m_hellos.find(it->second.address); line != m_hellos.end())
        std::erase(line->second, socket);
    m_sockets.erase(it);
    QObject::disconnect(socket, nullptr, this, nullptr);
    socket->deleteLater();
    emit clientsChanged();
}

} // namespace glowdeck
