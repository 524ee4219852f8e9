#pragma once

#include "link/Mailbox.h"
#include "link/Port.h"

#include <QByteArray>
#include <QString>

#include <atomic>
#include <cstdint>

namespace glowdeck {

// What the connection asks of its receive thread, carried out in the order given.
struct WorkerOrder {
    enum class Kind { Open, StartReading, StopLogging, Write, ArmCapture, AbandonCapture, Close };
    explicit WorkerOrder(Kind what) : kind(what) {}
    Kind kind;
    QString portName;     // Open
    QByteArray frame;     // Write
    std::uint32_t id = 0; // Write, ArmCapture, AbandonCapture
};

// What the receive thread tells the connection.
struct WorkerNews {
    enum class Kind { Opened, Text, Written, CaptureCompleted, Lost, Closed };
    explicit WorkerNews(Kind what) : kind(what) {}
    Kind kind;
    ConnectResult result; // Opened
    QByteArray bytes;     // Text, CaptureCompleted
    std::uint32_t id = 0; // Written, CaptureCompleted
    bool written = false; // Written
    QString reason;       // Lost
};

// Both directions between a connection and its receive thread.
struct WorkerMail {
    Mailbox<WorkerOrder> orders;
    Mailbox<WorkerNews> news;
    // Set while the connection has been told of news it has not taken yet.
    std::atomic<bool> newsPending{false};
};

} // namespace glowdeck
