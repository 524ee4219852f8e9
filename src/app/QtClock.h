#pragma once

#include "sequence/Clock.h"

#include <QObject>
#include <QTimer>

namespace glowdeck {

// The sequences' time on the event loop: a precise timer for the next wait that ends, checked
// against the monotonic clock so that no wait ends early.
class QtClock : public QObject, public Clock {
    Q_OBJECT
public:
    explicit QtClock(QObject* parent = nullptr);

    Time now() const override { return std::chrono::steady_clock::now(); }
    void setAlarm(Time when, std::function<void()> ring) override;
    void cancelAlarm() override;
    void post(std::function<void()> work) override;

private:
    void onTimeout();

    QTimer m_timer;
    Time m_alarm{};
    std::function<void()> m_ring;
};

} // namespace glowdeck
