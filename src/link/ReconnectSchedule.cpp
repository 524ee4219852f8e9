#include "link/ReconnectSchedule.h"

#include <algorithm>

namespace glowdeck {

using namespace std::chrono_literals;

ReconnectSchedule::ReconnectSchedule() : ReconnectSchedule({1s, 2s, 4s, 8s, 10s}) {}

ReconnectSchedule::ReconnectSchedule(std::vector<Delay> delays) : m_delays(std::move(delays)) {
    if (m_delays.empty())
        m_delays.push_back(10s);
}

ReconnectSchedule::Delay ReconnectSchedule::next() {
    const Delay delay = m_delays[std::min(m_attempt, m_delays.size() - 1)];
    if (m_attempt < m_delays.size())
        ++m_attempt;
    return delay;
}

} // namespace glowdeck
