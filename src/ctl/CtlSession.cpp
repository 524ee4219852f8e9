#include "ctl/CtlSession.h"

#include "web/QrCode.h"

#include <QDeadlineTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cstdio>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <cstring>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace glowdeck {

namespace {
void writeOut(const QByteArray& bytes) {
    std::fwrite(bytes.constData(), 1, std::size_t(bytes.size()), stdout);
    std::fflush(stdout);
}

bool stdoutIsTerminal() {
#ifdef Q_OS_UNIX
    return ::isatty(STDOUT_FILENO) == 1;
#else
    return true;
#endif
}

QByteArray shown(const QJsonValue& value) {
    if (value.isString())
        return value.toString().toUtf8();
    if (value.isArray() || value.isObject())
        return QJsonDocument::fromVariant(value.toVariant()).toJson(QJsonDocument::Compact);
    return QJsonDocument(QJsonArray{value}).toJson(QJsonDocument::Compact).mid(1).chopped(1);
}
} // namespace

CtlSession::CtlSession(QString socketPath, bool json, int timeoutMs)
    : m_path(std::move(socketPath)), m_json(json), m_timeoutMs(timeoutMs) {}

int CtlSession::fail(const QString& text) {
    std::fprintf(stderr, "glowdeck-ctl: %s\n", qPrintable(text));
    return Failed;
}

bool CtlSession::readLine(QByteArray* line, int timeoutMs) {
    const QDeadlineTimer deadline =
        timeoutMs > 0 ? QDeadlineTimer(timeoutMs) : QDeadlineTimer(QDeadlineTimer::Forever);
    m_timedOut = false;
    for (;;) {
        const qsizetype end = m_input.indexOf('\n');
        if (end >= 0) {
            *line = m_input.left(end);
            m_input.remove(0, end + 1);
            return true;
        }
        if (m_socket.state() != QLocalSocket::ConnectedState && m_socket.bytesAvailable() == 0)
            return false;
        if (m_socket.bytesAvailable() == 0 &&
            !m_socket.waitForReadyRead(deadline.remainingTime())) {
            m_timedOut = m_socket.state() == QLocalSocket::ConnectedState;
            // The last bytes may have come with the close.
            m_input += m_socket.readAll();
            if (m_input.contains('\n'))
                continue;
            return false;
        }
        m_input += m_socket.readAll();
    }
}

bool CtlSession::send(const QByteArray& bytes, QString* error) {
#ifdef Q_OS_UNIX
    // A panel with all its places taken writes why and closes, often before the request is
    // written. QLocalSocket throws away what it has read when a write then fails, so the request
    // goes to the descriptor directly and the panel's line stays there to be read.
    const int fd = int(m_socket.socketDescriptor());
    const QDeadlineTimer deadline(5000);
    for (qsizetype sent = 0; sent < bytes.size();) {
        const ssize_t n =
            ::send(fd, bytes.constData() + sent, std::size_t(bytes.size() - sent), MSG_NOSIGNAL);
        if (n >= 0) {
            sent += n;
        } else if (errno == EAGAIN && !deadline.hasExpired()) {
            pollfd writable{fd, POLLOUT, 0};
            ::poll(&writable, 1, int(deadline.remainingTime()));
        } else if (errno != EINTR) {
            *error = errno == EAGAIN ? QStringLiteral("the panel takes nothing in")
                                     : QString::fromLocal8Bit(std::strerror(errno));
            return false;
        }
    }
    return true;
#else
    m_socket.write(bytes);
    if (m_socket.waitForBytesWritten(5000) || m_socket.bytesToWrite() == 0)
        return true;
    *error = m_socket.errorString();
    return false;
#endif
}

void CtlSession::printReply(const QJsonObject& reply) {
    QJsonObject results = reply;
    results.remove(QStringLiteral("ok"));
    results.remove(QStringLiteral("id"));
    if (results.size() == 1) {
        // One result prints bare, a list one item a line, so that shells can use it as it is.
        const QJsonValue value = results.begin().value();
        if (value.isArray()) {
            for (const QJsonValue item : value.toArray())
                writeOut(shown(item) + '\n');
        } else {
            writeOut(shown(value) + '\n');
        }
        return;
    }
    for (auto it = results.begin(); it != results.end(); ++it)
        writeOut(it.key().toUtf8() + ": " + shown(it.value()) + '\n');
}

int CtlSession::run(const CtlCommand& command) {
    m_socket.connectToServer(m_path);
    if (!m_socket.waitForConnected(5000)) {
        const bool nobody = m_socket.error() == QLocalSocket::ServerNotFoundError ||
                            m_socket.error() == QLocalSocket::ConnectionRefusedError;
        return fail(
            QStringLiteral("no panel listens at %1 (start it with glowdeck --control)%2")
                .arg(m_path, nobody ? QString() : QStringLiteral(": ") + m_socket.errorString()));
    }
    // Even when the request could not be sent, the panel may have said why it closed.
    QString sendError;
    const bool sent =
        send(QJsonDocument(command.request).toJson(QJsonDocument::Compact) + '\n', &sendError);

    QByteArray line;
    QJsonObject reply;
    // Events may come before the reply; the reply is the first line without "event".
    for (;;) {
        if (!readLine(&line, m_timeoutMs)) {
            if (!sent)
                return fail(QStringLiteral("the request could not be sent: %1").arg(sendError));
            return fail(m_timedOut ? QStringLiteral("no reply within %1 s").arg(m_timeoutMs / 1000)
                                   : QStringLiteral("the panel closed the connection"));
        }
        const QJsonDocument document = QJsonDocument::fromJson(line);
        if (!document.isObject())
            return fail(QStringLiteral("not a reply: %1").arg(QString::fromUtf8(line)));
        reply = document.object();
        if (!reply.contains(QStringLiteral("event")))
            break;
    }
    if (!reply.value(QStringLiteral("ok")).isBool())
        return fail(QStringLiteral("not a reply: %1").arg(QString::fromUtf8(line)));
    if (m_json)
        writeOut(line + '\n');
    if (!reply.value(QStringLiteral("ok")).toBool()) {
        std::fprintf(stderr, "glowdeck-ctl: %s\n",
                     qPrintable(reply.value(QStringLiteral("error")).toString()));
        return Refused;
    }
    if (command.follow)
        return follow();
    if (!m_json)
        printReply(reply);
    // A QR code is for eyes: a script that reads the link gets the link alone.
    if (command.qrCode && !m_json && stdoutIsTerminal())
        if (const auto qr =
                QrCode::encode(reply.value(QStringLiteral("link")).toString().toStdString()))
            writeOut(QByteArray::fromStdString(qr->terminalText()));
    return Done;
}

int CtlSession::follow() {
    QByteArray line;
    while (readLine(&line, 0)) {
        if (m_json) {
            writeOut(line + '\n');
            continue;
        }
        const QJsonObject event = QJsonDocument::fromJson(line).object();
        const QString kind = event.value(QStringLiteral("event")).toString();
        if (kind == QLatin1StringView("log")) {
            // The table's bytes as they came: each character stands for one byte.
            writeOut(event.value(QStringLiteral("text")).toString().toLatin1());
        } else if (kind == QLatin1StringView("connection")) {
            std::fprintf(stderr, "glowdeck-ctl: the table is %s\n",
                         event.value(QStringLiteral("connected")).toBool() ? "connected"
                                                                           : "disconnected");
        }
    }
    return fail(QStringLiteral("the panel closed the connection"));
}

} // namespace glowdeck
