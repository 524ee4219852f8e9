#pragma once

#include "log/LineIndex.h"
#include "log/LogText.h"

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace glowdeck {

// The received-data log: exactly the characters appended (single-byte text, line ends as
// received), for the whole run, stored once with an index of where its lines start. Whoever
// shows it or passes it on listens; the log itself knows no view.
class ReceivedLog {
public:
    // Told of each appended text (with its line end) after the log has it, and of clearing:
    // once before the text goes, while it can still be read, and once after.
    class Observer {
    public:
        virtual ~Observer() = default;
        virtual void appended(std::string_view text) = 0;
        virtual void clearing() {}
        virtual void cleared() = 0;
    };

    void append(std::string_view text, bool lineEnd);
    void clear();
    std::uint64_t size() const { return m_bytes.size(); }
    // A copy of the whole text.
    std::string text() const { return m_bytes.copy(0, m_bytes.size()); }
    const LogText& bytes() const { return m_bytes; }
    const LineIndex& lines() const { return m_lines; }
    // Whether the log keeps its text; a panel without a window, which nobody reads back, keeps
    // none and only tells its listeners.
    void setKeepText(bool keep) { m_keepText = keep; }

    // Told every appended text as it comes, for the whole run.
    void addListener(std::function<void(std::string_view)> listener) {
        m_listeners.push_back(std::move(listener));
    }
    void addObserver(Observer* observer);
    void removeObserver(Observer* observer);

private:
    void keep(std::string_view text);

    LogText m_bytes;
    LineIndex m_lines;
    bool m_keepText = true;
    std::vector<std::function<void(std::string_view)>> m_listeners;
    std::vector<Observer*> m_observers;
};

} // namespace glowdeck
