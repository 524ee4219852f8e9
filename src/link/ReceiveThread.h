#pragma once

#include "link/Port.h"
#include "link/WorkerMail.h"

#include <QObject>
#include <QThread>

#include <deque>

namespace glowdeck {

class ProtocolTrace;
class ReceiveWorker;

// One connection's receive thread, as the UI thread holds it: orders go in, news comes out, and
// the worker that owns the port lives on the thread until it is closed.
class ReceiveThread : public QObject {
    Q_OBJECT
public:
    ReceiveThread(PortFactory factory, ProtocolTrace* trace);
    // Closes the port and waits for the thread, if that has not happened yet.
    ~ReceiveThread() override;

    void order(WorkerOrder order);
    std::deque<WorkerNews> takeNews();
    // Closes the port and ends the thread; finished() follows.
    void close();
    bool isFinished() const { return m_thread.isFinished(); }

signals:
    void newsArrived();
    void finished();

private:
    WorkerMail m_mail;
    QThread m_thread;
    ReceiveWorker* m_worker;
    bool m_closing = false;
};

} // namespace glowdeck
