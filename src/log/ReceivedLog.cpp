#include "log/ReceivedLog.h"

#include <algorithm>

namespace glowdeck {

void ReceivedLog::append(std::string_view text, bool lineEnd) {
    if (m_keepText) {
        m_text.append(text);
        if (lineEnd)
            m_text.append("\r\n");
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
    m_text.clear();
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
