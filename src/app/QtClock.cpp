#include "app/QtClock.h"

#include <algorithm>

namespace glowdeck {

QtClock::QtClock(QObject* parent) : QObject(parent) {
    m_timer.setSingleShot(true);
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &QtClock::onTimeout);
}

void QtClock::setAlarm(Time when, std::function<void()> ring) {
    m_alarm = when;
    m_ring = std::move(ring);
    // Always from the loop, never from inside the call that set it.
    const auto ms = std::chrono::ceil<std::chrono::milliseconds>(m_alarm - now()).count();
    m_timer.start(int(std::clamp<long long>(ms, 0, 24LL * 3600 * 1000)));
}

void QtClock::cancelAlarm() {
    m_timer.stop();
    m_ring = nullptr;
}

void QtClock::onTimeout() {
    if (!m_ring)
        return;
    const auto left = m_alarm - now();
    if (left <= Time::duration::zero()) {
        // The ring may set the next alarm.
        const auto ring = std::exchange(m_ring, nullptr);
        ring();
        return;
    }
    // Rounded up to whole milliseconds, so the timer never rings before the time.
    const auto ms = std::chrono::ceil<std::chrono::milliseconds>(left).count();
    m_timer.start(int(std::min<long long>(ms, 24LL * 3600 * 1000)));
}

void QtClock::post(std::function<void()> work) {
    QMetaObject::invokeMethod(this, std::move(work), Qt::QueuedConnection);
}

} // namespace glowdeck
