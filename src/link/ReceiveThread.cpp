#include "link/ReceiveThread.h"

#include "link/ReceiveWorker.h"

namespace glowdeck {

ReceiveThread::ReceiveThread(PortFactory factory, ProtocolTrace* trace)
    : m_worker(new ReceiveWorker(m_mail, std::move(factory), trace)) {
    m_thread.setObjectName(QStringLiteral("receive"));
    m_worker->moveToThread(&m_thread);
    connect(m_worker, &ReceiveWorker::newsArrived, this, &ReceiveThread::newsArrived,
            Qt::QueuedConnection);
    connect(&m_thread, &QThread::finished, this, &ReceiveThread::finished, Qt::QueuedConnection);
    m_thread.start();
}

ReceiveThread::~ReceiveThread() {
    close();
    m_thread.wait();
    // Taking the mail once more orders the worker's last letters before the mail goes.
    m_mail.news.takeAll();
    m_mail.orders.takeAll();
}

void ReceiveThread::order(WorkerOrder order) {
    if (m_closing)
        return;
    m_mail.orders.post(std::move(order));
    QMetaObject::invokeMethod(m_worker, "takeOrders", Qt::QueuedConnection);
}

std::deque<WorkerNews> ReceiveThread::takeNews() {
    m_mail.newsPending.store(false);
    return m_mail.news.takeAll();
}

void ReceiveThread::close() {
    if (m_closing)
        return;
    order(WorkerOrder(WorkerOrder::Kind::Close));
    m_closing = true;
}

} // namespace glowdeck
