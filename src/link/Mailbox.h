#pragma once

#include <deque>
#include <mutex>
#include <utility>

namespace glowdeck {

// Letters from one thread to another. The lock is one the thread checker sees, so what a letter
// carries is handed over in plain view; the event loop only tells the other side to look.
template <class Letter> class Mailbox {
public:
    void post(Letter letter) {
        const std::lock_guard lock(m_mutex);
        m_letters.push_back(std::move(letter));
    }
    std::deque<Letter> takeAll() {
        const std::lock_guard lock(m_mutex);
        return std::exchange(m_letters, {});
    }

private:
    std::mutex m_mutex;
    std::deque<Letter> m_letters;
};

} // namespace glowdeck
