#pragma once

#include <QJsonObject>
#include <QJsonValue>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>
#include <QWebSocket>

#include <map>
#include <utility>

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
    void navigate(const QString& url);
    void setViewport(int width, int height);
    // A finger's tap at a point of the viewport, in CSS pixels.
    void tap(double x, double y);
    // Slows the page's CPU by the factor (1 for full speed).
    void throttleCpu(double rate);
    // The nodes of chromium's accessibility tree that are not ignored: role and name of each.
    QList<std::pair<QString, QString>> accessibleNodes();

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
