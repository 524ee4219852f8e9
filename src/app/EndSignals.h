#pragma once

#include <QObject>

class QSocketNotifier;

namespace glowdeck {

// SIGINT, SIGTERM and SIGHUP delivered as a Qt signal on the main thread, so that a panel
// without a window ends through its close path (goodbye to the table, port closed) rather than
// dying between two bytes of a frame. One instance at a time; elsewhere than on Unix it never
// fires.
class EndSignals : public QObject {
    Q_OBJECT
public:
    explicit EndSignals(QObject* parent = nullptr);
    ~EndSignals() override;
    EndSignals(const EndSignals&) = delete;
    EndSignals& operator=(const EndSignals&) = delete;

signals:
    void received(int signalNumber);

private:
    void onReadable();

    QSocketNotifier* m_notifier = nullptr;
};

} // namespace glowdeck
