#pragma once

#include <QObject>
#include <QString>
#include <QTimer>

#include <cstdint>
#include <deque>
#include <memory>

#ifndef Q_OS_UNIX
#include <QLocalServer>
#endif

class QLocalSocket;
class QSocketNotifier;

namespace glowdeck {

// A listening local socket that knows its own file: the file at the path may be removed while
// it runs, or replaced by another panel's, and this tells which, and on closing removes the file
// only while it is still the one made here (QLocalServer removes whatever is at the path).
class LocalListener : public QObject {
    Q_OBJECT
public:
    explicit LocalListener(QObject* parent = nullptr);
    ~LocalListener() override;
    LocalListener(const LocalListener&) = delete;
    LocalListener& operator=(const LocalListener&) = delete;

    // Listens at the path, a file only this user can open. Whatever is at the path is replaced:
    // the caller has made sure it is nobody's. False, with the reason, when not listening.
    bool listen(const QString& path, int backlog, QString* error);
    // Stops listening; the file goes if it is still this listener's.
    void close();
    bool isListening() const;
    // Whether the file at the path is still the socket this listener made.
    bool ownsPath() const;
    // A client that has come, or nullptr; the caller owns it.
    QLocalSocket* nextPendingConnection();

signals:
    void newConnection();

private:
    void acceptAll();

    QString m_path;
#ifdef Q_OS_UNIX
    int m_fd = -1;
    std::uint64_t m_device = 0;
    std::uint64_t m_inode = 0;
    std::unique_ptr<QSocketNotifier> m_incoming;
    QTimer m_resume; // accepting again after the process ran out of descriptors
    std::deque<QLocalSocket*> m_pending;
#else
    QLocalServer m_server;
#endif
};

} // namespace glowdeck
