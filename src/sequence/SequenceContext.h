#pragma once

#include <string>

namespace glowdeck {

class SequenceRunner;

// One running sequence as its runner and its awaits see it: whether it waits now (and can be
// ended there), and whether it has been told to end.
class SequenceContext {
public:
    SequenceContext(SequenceRunner& runner, unsigned long long id) : m_runner(&runner), m_id(id) {}

    // The runner that owns this context; it ends every sequence before it goes.
    SequenceRunner* runner() const { return m_runner; }
    unsigned long long id() const { return m_id; }
    bool ended() const { return m_ended; }
    // The link it was started on has gone (lost, or replaced by a new one): its steps that would
    // talk to the table are left out. Only a sequence that ends the link itself lives to see it.
    bool linkGone() const { return m_linkGone; }
    const std::string& whyEnded() const { return m_why; }

    // Set by an await while the sequence is suspended there; only then may it be destroyed.
    bool suspended = false;

private:
    friend class SequenceRunner;
    SequenceRunner* m_runner;
    unsigned long long m_id;
    bool m_ended = false;
    bool m_linkGone = false;
    std::string m_why;
};

} // namespace glowdeck
