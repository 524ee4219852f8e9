#include "log/ReceivedLog.h"

#include <algorithm>

namespace glowdeck {

void ReceivedLog::keep(std::string_view text) {
    m_bytes.append(text);
    m_lines.append(text);
}

void ReceivedLog::append(std::string_view text, bool lineEnd) {
    if (m_keepText) {
        keep(text);
        if (lineEnd)
            keep("\r\n");
    }
    if (m_listeners.empty() && m_observers.empty())
        return;
    const std::string told = lineEnd ? std::string(text) + "\r\n" : std::string(text);
    for (const auto& listener : m_listeners)
        listener(told);
    for (Observer* observer : m_observers)
        observer->appended(told);
}

void ReceivedLog::clear() {
    for (Observer* observer : m_observers)
        observer->clearing();
    m_bytes.clear();
    m_lines.clear();
    for (Observer* observer : m_observers)
        observer->cleared();
}

void ReceivedLog::addObserver(Observer* observer) {
    m_observers.push_back(observer);
}

void ReceivedLog::removeObserver(Observer* observer) {
    std::erase(m_observers, observer);
}

} // namespace glowdeck
