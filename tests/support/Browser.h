#pragma once

#include <QJsonObject>
#include <QJsonValue>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>
#include <QWebSocket>

#include <map>

namespace glowdeck::test {

// Debian's chromium, headless, with a phone's screen, driven over its DevTools protocol from the
// test's own event loop.
class Browser {
public:
    static QString executable(); // empty when chromium is not installed
    ~Browser();

    // Opens the page; false, with the reason, when the browser cannot be driven.
    bool start(const QString& url, QString* error);
    // The expression's value in the page (promises awaited).
    QJsonValue evaluate(const QString& expression);
    bool waitUntil(const QString& expression, int timeoutMs = 10000);
    bool screenshot(const QString& path);

private:
    QJsonObject call(const QString& method, const QJsonObject& params, bool inPage = true);

    QProcess m_process;
    QTemporaryDir m_profile;
    QWebSocket m_socket;
    QString m_session;
    int m_next = 1;
    std::map<int, QJsonObject> m_replies;
};

} // namespace glowdeck::test
