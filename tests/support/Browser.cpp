#include "support/Browser.h"

#include "support/ChildProcess.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTest>

namespace glowdeck::test {

QString Browser::executable() {
    for (const char* name : {"chromium", "chromium-browser"})
        if (const QString path = QStandardPaths::findExecutable(QLatin1String(name));
            !path.isEmpty())
            return path;
    return {};
}

Browser::~Browser() {
    m_socket.abort();
    stopProcess(m_process);
}

bool Browser::start(const QString& url, QString* error) {
    // As root (CI) chromium runs only without its sandbox.
    m_process.start(executable(),
                    {QStringLiteral("--headless=new"), QStringLiteral("--no-sandbox"),
                     QStringLiteral("--disable-gpu"), QStringLiteral("--no-first-run"),
                     QStringLiteral("--remote-debugging-port=0"),
                     QStringLiteral("--user-data-dir=") + m_profile.path(),
                     QStringLiteral("--window-size=390,844"), QStringLiteral("about:blank")});
    QByteArray said;
    QString endpoint;
    const QRegularExpression listening(QStringLiteral("DevTools listening on (ws://\\S+)"));
    (void)QTest::qWaitFor(
        [&] {
            said += m_process.readAllStandardError();
            const QRegularExpressionMatch match = listening.match(QString::fromUtf8(said));
            if (match.hasMatch())
                endpoint = match.captured(1);
            return !endpoint.isEmpty() || m_process.state() == QProcess::NotRunning;
        },
        30000);
    if (endpoint.isEmpty()) {
        *error = QStringLiteral("chromium did not start: ") + QString::fromUtf8(said.right(500));
        return false;
    }
    QObject::connect(&m_socket, &QWebSocket::textMessageReceived, [this](const QString& text) {
        const QJsonObject message = QJsonDocument::fromJson(text.toUtf8()).object();
        if (message.contains(QStringLiteral("id")))
            m_replies[message[QStringLiteral("id")].toInt()] = message;
    });
    m_socket.open(QUrl(endpoint));
    if (!QTest::qWaitFor([this] { return m_socket.state() == QAbstractSocket::ConnectedState; },
                         10000)) {
        *error = QStringLiteral("cannot reach chromium's DevTools at ") + endpoint;
        return false;
    }
    QString target;
    for (const QJsonValue info :
         call(QStringLiteral("Target.getTargets"), {}, false)[QStringLiteral("targetInfos")]
             .toArray())
        if (info[QStringLiteral("type")] == QStringLiteral("page"))
            target = info[QStringLiteral("targetId")].toString();
    m_session = call(QStringLiteral("Target.attachToTarget"),
                     {{QStringLiteral("targetId"), target}, {QStringLiteral("flatten"), true}},
                     false)[QStringLiteral("sessionId")]
                    .toString();
    if (m_session.isEmpty()) {
        *error = QStringLiteral("no page in chromium");
        return false;
    }
    setViewport(390, 844);
    navigate(url);
    return true;
}

void Browser::navigate(const QString& url) {
    call(QStringLiteral("Page.navigate"), {{QStringLiteral("url"), url}});
}

void Browser::setViewport(int width, int height) {
    call(QStringLiteral("Emulation.setDeviceMetricsOverride"),
         {{QStringLiteral("width"), width},
          {QStringLiteral("height"), height},
          {QStringLiteral("deviceScaleFactor"), 1},
          {QStringLiteral("mobile"), true}});
}

void Browser::tap(double x, double y) {
    for (const char* type : {"mousePressed", "mouseReleased"})
        call(QStringLiteral("Input.dispatchMouseEvent"),
             {{QStringLiteral("type"), QLatin1String(type)},
              {QStringLiteral("x"), x},
              {QStringLiteral("y"), y},
              {QStringLiteral("button"), QStringLiteral("left")},
              {QStringLiteral("clickCount"), 1}});
}

void Browser::throttleCpu(double rate) {
    call(QStringLiteral("Emulation.setCPUThrottlingRate"), {{QStringLiteral("rate"), rate}});
}

QList<std::pair<QString, QString>> Browser::accessibleNodes() {
    QList<std::pair<QString, QString>> nodes;
    const QJsonArray all =
        call(QStringLiteral("Accessibility.getFullAXTree"), {})[QStringLiteral("nodes")].toArray();
    for (const QJsonValue node : all) {
        if (node[QStringLiteral("ignored")].toBool())
            continue;
        nodes.append({node[QStringLiteral("role")][QStringLiteral("value")].toString(),
                      node[QStringLiteral("name")][QStringLiteral("value")].toString()});
    }
    return nodes;
}

QJsonObject Browser::call(const QString& method, const QJsonObject& params, bool inPage) {
    const int id = m_next++;
    QJsonObject message{{QStringLiteral("id"), id},
                        {QStringLiteral("method"), method},
                        {QStringLiteral("params"), params}};
    if (inPage)
        message.insert(QStringLiteral("sessionId"), m_session);
    m_socket.sendTextMessage(QString::fromUtf8(QJsonDocument(message).toJson()));
    if (!QTest::qWaitFor([&] { return m_replies.count(id) != 0; }, 15000))
        return {};
    const QJsonObject reply = m_replies[id];
    m_replies.erase(id);
    return reply[QStringLiteral("result")].toObject();
}

QJsonValue Browser::evaluate(const QString& expression) {
    return call(QStringLiteral("Runtime.evaluate"),
                {{QStringLiteral("expression"), expression},
                 {QStringLiteral("returnByValue"), true},
                 {QStringLiteral("awaitPromise"), true}})[QStringLiteral("result")]
        .toObject()[QStringLiteral("value")];
}

bool Browser::waitUntil(const QString& expression, int timeoutMs) {
    return QTest::qWaitFor([&] { return evaluate(expression).toBool(); }, timeoutMs);
}

bool Browser::screenshot(const QString& path) {
    const QByteArray png =
        QByteArray::fromBase64(call(QStringLiteral("Page.captureScreenshot"),
                                    {{QStringLiteral("format"), "png"}})[QStringLiteral("data")]
                                   .toString()
                                   .toLatin1());
    QFile file(path);
    return !png.isEmpty() && file.open(QIODevice::WriteOnly) && file.write(png) == png.size();
}

} // namespace glowdeck::test
