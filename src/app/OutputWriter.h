#pragma once

#include "app/OutputBacklog.h"

#include <QObject>
#include <QSocketNotifier>

#include <chrono>
#include <string_view>

namespace glowdeck {

// Writes text to a descriptor (the headless panel's stdout) without ever waiting for its reader:
// what the reader has not taken waits in a bounded backlog and goes out as the descriptor takes
// it; past the bound, text is dropped and the reader is told how much. A pipe to a reader that
// stops (`| less`, `| sleep`) or a slow journal never holds up the panel.
class OutputWriter : public QObject {
    Q_OBJECT
public:
    static constexpr std::size_t kCapacity = 1024 * 1024;

    explicit OutputWriter(int fd, std::size_t capacity = kCapacity, QObject* parent = nullptr);
    ~OutputWriter() override;
    OutputWriter(const OutputWriter&) = delete;
    OutputWriter& operator=(const OutputWriter&) = delete;

    void write(std::string_view text);
    // The end of the program: what waits goes out if the reader takes it within the time.
    void flush(std::chrono::milliseconds timeout);
    // Bytes waiting for the reader.
    std::size_t waiting() const { return m_backlog.size(); }

private:
    // Writes what waits while the descriptor takes it at once.
    void writeWaiting();

    int m_fd;
    OutputBacklog m_backlog;
    QSocketNotifier m_writable;
    bool m_gone = false; // the reader has gone for good
};

} // namespace glowdeck
