#include "sim/SimulatedTable.h"

#include "protocol/CommandSet.h"
#include "sim/FrameDecoder.h"
#include "sim/OutputQueue.h"
#include "sim/PseudoTerminal.h"
#include "sim/TableModel.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdio>
#include <mutex>
#include <poll.h>
#include <random>
#include <sys/eventfd.h>
#include <thread>
#include <unistd.h>
#include <utility>

namespace glowdeck::sim {

namespace {
using Clock = std::chrono::steady_clock;

constexpr std::size_t kReadChunk = 4096;
// Reads in one turn of the loop, so that a panel that never pauses cannot starve the answers.
constexpr int kReadsPerTurn = 16;
constexpr std::size_t kWriteChunk = 4096;
// A panel that asks for dumps and never reads must not make the table hoard them without end.
constexpr std::size_t kMaxQueuedBytes = std::size_t(16) << 20;
// A streamed line, CR LF included, and the lines queued at a time: about a second's worth.
constexpr std::size_t kStreamLineBytes = 22;
constexpr std::size_t kStreamLinesQueued = 524;

// Replaced in one step, so that a program opening the name never finds it missing halfway. Taken
// away while there is no device: the freed pty's name may soon be another program's.
void pointLinkAt(const std::string& link, const std::string& device) {
    if (link.empty())
        return;
    if (device.empty()) {
        ::unlink(link.c_str());
        return;
    }
    const std::string fresh = link + ".new";
    ::unlink(fresh.c_str());
    if (::symlink(device.c_str(), fresh.c_str()) == 0 && ::rename(fresh.c_str(), link.c_str()) != 0)
        ::unlink(fresh.c_str());
}

// Left alone when something else has taken the name over meanwhile.
void removeLinkTo(const std::string& link, const std::string& device) {
    char target[4096];
    const ssize_t n = link.empty() ? -1 : ::readlink(link.c_str(), target, sizeof target);
    if (n >= 0 && std::string(target, std::size_t(n)) == device)
        ::unlink(link.c_str());
}
} // namespace

class SimulatedTablePrivate {
public:
    explicit SimulatedTablePrivate(SimOptions o) : options(std::move(o)) {}

    bool startLocked();
    // Hands a request to the thread and waits until it was served.
    void request(std::unique_lock<std::mutex>& lock);
    void wake();

    // The table's thread and what only it touches.
    void run();
    std::int64_t nowUs() const;
    int pollTimeout(std::int64_t nowUs) const;
    bool serveRequests();
    void followPeers();
    void readFromPanel();
    void handleEvent(const DecoderEvent& event, std::int64_t us);
    void enqueue(Answer answer, const SimOptions& opts);
    void writeToPanel();
    void keepStreaming();
    void chatter(std::int64_t now, const char* why);
    void keepChattering(std::int64_t now);
    void writeTrace(const SimOptions& opts, const DecoderEvent& frame, std::int64_t ms);
    void closeLink();
    // The table's own drop: the link goes, and comes back later when the options say so.
    void dropLink();
    void keepTime(std::int64_t now);
    void pointLink(const std::string& device);

    // Shared with the callers, under mutex.
    std::mutex lifecycle; // start, stop and reopen, one at a time
    mutable std::mutex mutex;
    mutable std::condition_variable recorded;
    std::condition_variable served;
    SimOptions options;
    TableModel model;
    std::vector<ReceivedFrame> frames;
    std::vector<std::uint8_t> received;
    std::string path;
    bool running = false;
    bool stopRequested = false;
    bool hangUpRequested = false;
    std::unique_ptr<PseudoTerminal> newPty;
    struct Outgoing {
        std::vector<std::uint8_t> bytes;
        int gapMs = 0;
    };
    std::vector<Outgoing> toSend;
    std::optional<bool> readingRequest;
    bool lineSettingsRequested = false;
    std::optional<LineSettings> lineSettingsRead;
    int dropCount = 0;
    int malformedCount = 0;
    bool programSeen = false; // the program has the current pty open
    int returnCount = 0;
    std::uint64_t requests = 0;
    std::uint64_t servedRequests = 0;
    Clock::time_point started;
    int wakeFd = -1;
    std::thread thread;

    // The thread's own.
    std::unique_ptr<PseudoTerminal> pty;
    FrameDecoder decoder;
    OutputQueue output;
    bool waitingForRoom = false;
    bool reading = true;
    long framesOnLink = 0;
    std::size_t droppedAnswers = 0;
    std::uint64_t streamedLines = 0;
    std::mt19937_64 random;
    std::uint64_t seedUsed = 0; // under mutex
    std::int64_t nextChatterUs = -1;
    std::uint64_t chatterLines = 0;
    std::int64_t dropAtUs = -1;              // a drop after a command, due then
    std::optional<std::size_t> dropAfterOut; // bytes still to go out before a cut answer's drop
    std::int64_t returnAtUs = -1;
    std::int64_t stallUntilUs = -1;
    std::int64_t nextStallUs = -1;
    std::FILE* trace = nullptr;
    std::string tracePathOpen;
};

void SimulatedTablePrivate::wake() {
    const std::uint64_t one = 1;
    if (wakeFd >= 0) {
        [[maybe_unused]] auto written = ::write(wakeFd, &one, sizeof one);
    }
}

bool SimulatedTablePrivate::startLocked() {
    if (running)
        return true;
    auto fresh = std::make_unique<PseudoTerminal>();
    std::string error;
    if (!fresh->open(error))
        return false;
    wakeFd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (wakeFd < 0)
        return false;
    pty = std::move(fresh);
    path = pty->path();
    started = Clock::now();
    stopRequested = false;
    hangUpRequested = false;
    requests = servedRequests = 0;
    running = true;
    pointLinkAt(options.linkPath, path);
    thread = std::thread([this] { run(); });
    return true;
}

void SimulatedTablePrivate::request(std::unique_lock<std::mutex>& lock) {
    const std::uint64_t mine = ++requests;
    wake();
    served.wait(lock, [&] { return servedRequests >= mine; });
}

std::int64_t SimulatedTablePrivate::nowUs() const {
    return std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - started).count();
}

int SimulatedTablePrivate::pollTimeout(std::int64_t now) const {
    std::optional<std::int64_t> at;
    if (auto deadline = decoder.deadline())
        at = *deadline * 1000;
    if (!waitingForRoom) {
        if (auto next = output.nextReadyUs(now))
            at = at ? std::min(*at, *next) : *next;
    }
    if (pty && nextChatterUs >= 0)
        at = at ? std::min(*at, nextChatterUs) : nextChatterUs;
    for (const std::int64_t due : {dropAtUs, returnAtUs, stallUntilUs, nextStallUs})
        if (due >= 0)
            at = at ? std::min(*at, due) : due;
    if (!at)
        return -1;
    const std::int64_t waitUs = *at - now;
    if (waitUs <= 0)
        return 0;
    // Rounded up: waking a little early would only spin round the loop.
    return int(std::min<std::int64_t>((waitUs + 999) / 1000, INT_MAX));
}

void SimulatedTablePrivate::run() {
    for (;;) {
        pollfd fds[3];
        nfds_t count = 0;
        fds[count++] = {wakeFd, POLLIN, 0};
        PseudoTerminal* polled = pty.get();
        int masterAt = -1;
        int watchAt = -1;
        if (polled) {
            masterAt = int(count);
            const bool takes = reading && stallUntilUs < 0;
            fds[count++] = {polled->masterFd(),
                            short((takes ? POLLIN : 0) | (waitingForRoom ? POLLOUT : 0)), 0};
            if (polled->watchFd() >= 0) {
                watchAt = int(count);
                fds[count++] = {polled->watchFd(), POLLIN, 0};
            }
        }
        if (poll(fds, count, pollTimeout(nowUs())) < 0) {
            // A descriptor closed under the loop is replaced on the next round; any other
            // failure would come back at once, so the round waits a moment instead of spinning.
            if (errno != EINTR)
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            continue;
        }
        if (fds[0].revents & POLLIN) {
            std::uint64_t value;
            [[maybe_unused]] auto got = ::read(wakeFd, &value, sizeof value);
        }
        if (watchAt >= 0 && fds[watchAt].revents)
            followPeers();
        if (!serveRequests())
            break;
        if (pty && pty.get() == polled && reading && stallUntilUs < 0 &&
            (fds[masterAt].revents & (POLLIN | POLLHUP | POLLERR)))
            readFromPanel();
        keepTime(nowUs());
        if (pty) {
            const std::int64_t ms = nowUs() / 1000;
            if (auto dropped = decoder.expire(ms))
                handleEvent(*dropped, ms * 1000);
            keepChattering(nowUs());
        }
        writeToPanel();
    }
    closeLink();
    if (trace)
        std::fclose(trace);
    trace = nullptr;
    std::lock_guard lock(mutex);
    servedRequests = requests;
    served.notify_all();
}

bool SimulatedTablePrivate::serveRequests() {
    std::unique_lock lock(mutex);
    const std::uint64_t upTo = requests;
    const bool stop = stopRequested;
    const bool hang = std::exchange(hangUpRequested, false);
    std::unique_ptr<PseudoTerminal> fresh = std::move(newPty);
    std::vector<Outgoing> outgoing = std::move(toSend);
    toSend.clear();
    const std::optional<bool> readNow = std::exchange(readingRequest, std::nullopt);
    const bool settingsWanted = std::exchange(lineSettingsRequested, false);
    lock.unlock();

    if (hang)
        dropLink();
    if (fresh) {
        closeLink();
        returnAtUs = -1;
        pty = std::move(fresh);
        pointLink(pty->path());
    }
    if (!outgoing.empty() && pty) {
        // The program opened the port before it had bytes sent to it: that open must count.
        followPeers();
        for (Outgoing& piece : outgoing)
            if (pty->programPresent())
                output.push(std::move(piece.bytes),
                            Pacing{false, std::int64_t(std::max(0, piece.gapMs)) * 1000});
    }
    if (readNow && *readNow != reading) {
        reading = *readNow;
        if (pty && !reading)
            pty->fillTowardsTable();
        else if (pty)
            pty->drainTowardsTable();
    }
    std::optional<LineSettings> settings;
    if (settingsWanted && pty) {
        LineSettings read;
        if (pty->lineSettings(read))
            settings = read;
    }

    lock.lock();
    if (settingsWanted)
        lineSettingsRead = settings;
    servedRequests = upTo;
    served.notify_all();
    return !stop;
}

void SimulatedTablePrivate::followPeers() {
    if (!pty)
        return;
    const PseudoTerminal::PeerChange change = pty->followPeers();
    if (change.left) {
        // Like a Bluetooth link that drops: what was on its way is lost, not kept for the next
        // connection, and a half-received frame is forgotten.
        output.clear();
        waitingForRoom = false;
        droppedAnswers = 0;
        decoder.dropPartial();
    }
    if (change.left || change.arrived) {
        pty->discardUnread();
        std::lock_guard lock(mutex);
        programSeen = pty->programPresent();
    }
    if (change.arrived) {
        std::string greeting;
        {
            std::lock_guard lock(mutex);
            greeting = options.greeting;
        }
        if (!greeting.empty()) {
            greeting += "\r\n";
            output.push(std::vector<std::uint8_t>(greeting.begin(), greeting.end()));
        }
    }
}

void SimulatedTablePrivate::readFromPanel() {
    std::uint8_t buffer[kReadChunk];
    for (int turn = 0; turn < kReadsPerTurn && pty; ++turn) {
        const ssize_t n = ::read(pty->masterFd(), buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            return;
        if (n <= 0) {
            // Only possible once no slave descriptor is left, which ours prevents.
            closeLink();
            return;
        }
        // The program opened the port before it wrote these bytes: see that open first.
        followPeers();
        const std::int64_t us = nowUs();
        chatter(us, "frame");
        const std::int64_t ms = us / 1000;
        {
            std::lock_guard lock(mutex);
            received.insert(received.end(), buffer, buffer + n);
        }
        for (const DecoderEvent& event : decoder.feed(buffer, std::size_t(n), ms)) {
            handleEvent(event, us);
            if (!pty)
                return;
        }
    }
}

void SimulatedTablePrivate::handleEvent(const DecoderEvent& event, std::int64_t us) {
    const std::int64_t ms = us / 1000;
    SimOptions opts;
    {
        std::lock_guard lock(mutex);
        opts = options;
    }
    const bool isFrame = event.kind == DecoderEvent::Kind::Frame;
    // Traced before it is recorded: whoever waits for the frame may read the trace at once.
    if (isFrame)
        writeTrace(opts, event, ms);
    Answer answer;
    {
        std::lock_guard lock(mutex);
        switch (event.kind) {
        case DecoderEvent::Kind::Frame:
            frames.push_back(ReceivedFrame{ms, us, event.code, event.bytes});
            answer = model.handle(event.bytes, opts);
            recorded.notify_all();
            break;
        case DecoderEvent::Kind::Garbage:
            ++malformedCount;
            answer = model.notUnderstood(event.bytes, opts);
            break;
        case DecoderEvent::Kind::Incomplete:
            ++malformedCount;
            answer = model.incomplete(event.bytes, opts);
            break;
        }
    }
    if (isFrame && opts.hangUpAfterFrames > 0 && ++framesOnLink >= opts.hangUpAfterFrames) {
        dropLink();
        return;
    }
    if (isFrame && opts.dropAfterCode >= 0 && event.code == opts.dropAfterCode && dropAtUs < 0)
        dropAtUs = us + std::int64_t(std::max(0, opts.dropAfterMs)) * 1000;
    if (opts.answerTwice && answer.kind != Answer::Kind::None) {
        Answer again = answer;
        enqueue(std::move(answer), opts);
        answer = std::move(again);
    }
    enqueue(std::move(answer), opts);
}

void SimulatedTablePrivate::enqueue(Answer answer, const SimOptions& opts) {
    if (answer.bytes.empty() || !pty || !pty->programPresent())
        return;
    if (output.queuedBytes() >= kMaxQueuedBytes) {
        ++droppedAnswers;
        return;
    }
    Pacing pacing;
    pacing.serial = answer.kind == Answer::Kind::Dump && !opts.fast;
    if (answer.kind == Answer::Kind::Text || answer.kind == Answer::Kind::Dump)
        pacing.gapUs = std::int64_t(std::max(0, opts.answerGapMs)) * 1000;
    if (opts.answerDelayMs > 0)
        pacing.notBeforeUs = nowUs() + std::int64_t(opts.answerDelayMs) * 1000;
    if (opts.dropInAnswerAfter >= 0 && !dropAfterOut &&
        answer.bytes.size() > std::size_t(opts.dropInAnswerAfter)) {
        answer.bytes.resize(std::size_t(opts.dropInAnswerAfter));
        dropAfterOut = output.queuedBytes() + answer.bytes.size();
    }
    output.push(std::move(answer.bytes), pacing);
    if (dropAfterOut == std::size_t(0))
        dropLink();
}

void SimulatedTablePrivate::keepStreaming() {
    {
        std::lock_guard lock(mutex);
        if (!options.streamLines)
            return;
    }
    if (!pty || !pty->programPresent() || output.queuedBytes() >= kStreamLineBytes)
        return;
    std::vector<std::uint8_t> lines;
    lines.reserve(kStreamLinesQueued * kStreamLineBytes);
    for (std::size_t i = 0; i < kStreamLinesQueued; ++i) {
        char line[kStreamLineBytes + 1];
        std::snprintf(line, sizeof line, "Stream line %08llu\r\n",
                      static_cast<unsigned long long>(++streamedLines % 100000000));
        lines.insert(lines.end(), line, line + kStreamLineBytes);
    }
    output.push(std::move(lines), Pacing{true, 0});
}

// One unprompted line, straight onto the line ahead of any answer still queued.
void SimulatedTablePrivate::chatter(std::int64_t now, const char* why) {
    std::int64_t everyUs = 0;
    {
        std::lock_guard lock(mutex);
        everyUs = options.chatterUs;
        // A seed given later, with new options, starts its choices afresh.
        if (options.seed != 0 && options.seed != seedUsed) {
            seedUsed = options.seed;
            random.seed(seedUsed);
        }
    }
    if (everyUs <= 0) {
        nextChatterUs = -1;
        return;
    }
    nextChatterUs = now + std::int64_t(random() % std::uint64_t(2 * everyUs + 1));
    if (!pty || !pty->programPresent())
        return;
    const std::string line = "Pod " + std::to_string(random() % 8 + 1) + " " + why + " chatter " +
                             std::to_string(++chatterLines) + "\r\n";
    // Written at once rather than queued: the point is to land while the program writes.
    [[maybe_unused]] const ssize_t n = ::write(pty->masterFd(), line.data(), line.size());
}

void SimulatedTablePrivate::keepChattering(std::int64_t now) {
    if (nextChatterUs < 0 || now >= nextChatterUs)
        chatter(now, "sensor");
}

void SimulatedTablePrivate::writeToPanel() {
    waitingForRoom = false;
    while (pty) {
        if (output.empty() && droppedAnswers > 0) {
            const std::string note = std::to_string(std::exchange(droppedAnswers, 0)) +
                                     " answers dropped: the panel was not reading\r\n";
            output.push(std::vector<std::uint8_t>(note.begin(), note.end()));
        }
        keepStreaming();
        if (output.empty())
            return;
        // A program that closed the port meanwhile must not find this chunk when it reopens.
        followPeers();
        const std::int64_t now = nowUs();
        const std::span<const std::uint8_t> chunk = output.ready(now, kWriteChunk);
        if (chunk.empty())
            return;
        const ssize_t n = ::write(pty->masterFd(), chunk.data(), chunk.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            waitingForRoom = true;
            return;
        }
        if (n < 0) {
            closeLink();
            return;
        }
        output.consume(std::size_t(n), now);
        if (dropAfterOut) {
            *dropAfterOut -= std::min(*dropAfterOut, std::size_t(n));
            if (*dropAfterOut == 0) {
                dropLink();
                return;
            }
        }
        if (std::size_t(n) < chunk.size()) {
            waitingForRoom = true;
            return;
        }
    }
}

void SimulatedTablePrivate::writeTrace(const SimOptions& opts, const DecoderEvent& frame,
                                       std::int64_t ms) {
    if (opts.tracePath != tracePathOpen) {
        if (trace)
            std::fclose(trace);
        trace = opts.tracePath.empty() ? nullptr : std::fopen(opts.tracePath.c_str(), "a");
        tracePathOpen = trace ? opts.tracePath : std::string();
    }
    if (!trace)
        return;
    std::fprintf(trace, "%lld 0x%04X %s", static_cast<long long>(ms), unsigned(frame.code),
                 std::string(CommandSet::nameOf(frame.code)).c_str());
    for (std::size_t i = 2; i < frame.bytes.size(); ++i)
        std::fprintf(trace, " %02X", unsigned(frame.bytes[i]));
    std::fputc('\n', trace);
    std::fflush(trace);
}

void SimulatedTablePrivate::closeLink() {
    if (!pty)
        return;
    pty->close();
    pty.reset();
    {
        std::lock_guard lock(mutex);
        programSeen = false;
    }
    decoder.dropPartial();
    output.clear();
    waitingForRoom = false;
    droppedAnswers = 0;
    framesOnLink = 0;
    dropAtUs = -1;
    dropAfterOut.reset();
    stallUntilUs = -1;
}

void SimulatedTablePrivate::dropLink() {
    if (!pty)
        return;
    int backAfterMs = -1;
    {
        // Counted first: whoever sees the link end may ask at once.
        std::lock_guard lock(mutex);
        ++dropCount;
        backAfterMs = options.returnAfterMs;
    }
    closeLink();
    pointLink({});
    if (backAfterMs >= 0)
        returnAtUs = nowUs() + std::int64_t(backAfterMs) * 1000;
}

// Drops, returns and stalls that fall due.
void SimulatedTablePrivate::keepTime(std::int64_t now) {
    SimOptions opts;
    {
        std::lock_guard lock(mutex);
        opts = options;
    }
    if (dropAtUs >= 0 && now >= dropAtUs)
        dropLink();
    if (returnAtUs >= 0 && now >= returnAtUs && !pty) {
        returnAtUs = -1;
        std::string oldPath;
        {
            std::lock_guard lock(mutex);
            oldPath = path;
        }
        // As in reopen(): a program still holding the old name must not reach the new pty.
        std::vector<std::unique_ptr<PseudoTerminal>> passedOver;
        for (int attempt = 0; attempt < 3 && !pty; ++attempt) {
            auto candidate = std::make_unique<PseudoTerminal>();
            std::string error;
            if (!candidate->open(error))
                break;
            if (candidate->path() == oldPath)
                passedOver.push_back(std::move(candidate));
            else
                pty = std::move(candidate);
        }
        if (!pty) {
            returnAtUs = now + 100'000; // no pty to be had now: try again shortly
            return;
        }
        {
            std::lock_guard lock(mutex);
            path = pty->path();
            ++returnCount;
        }
        pointLink(pty->path());
    }
    if (stallUntilUs >= 0 && now >= stallUntilUs)
        stallUntilUs = -1;
    if (opts.stallMs <= 0 || opts.stallEveryMs <= 0) {
        nextStallUs = -1;
        return;
    }
    if (nextStallUs < 0) {
        nextStallUs =
            now + std::int64_t(random() % std::uint64_t(2 * opts.stallEveryMs + 1)) * 1000;
    } else if (now >= nextStallUs) {
        if (pty)
            stallUntilUs = now + std::int64_t(opts.stallMs) * 1000;
        nextStallUs = now + std::int64_t(opts.stallMs) * 1000 +
                      std::int64_t(random() % std::uint64_t(2 * opts.stallEveryMs + 1)) * 1000;
    }
}

void SimulatedTablePrivate::pointLink(const std::string& device) {
    std::string link;
    {
        std::lock_guard lock(mutex);
        link = options.linkPath;
    }
    pointLinkAt(link, device);
}

SimulatedTable::SimulatedTable(SimOptions options)
    : d(std::make_unique<SimulatedTablePrivate>(std::move(options))) {
    d->seedUsed = d->options.seed != 0 ? d->options.seed : std::random_device{}() | 1u;
    d->random.seed(d->seedUsed);
}

std::uint64_t SimulatedTable::seed() const {
    std::lock_guard lock(d->mutex);
    return d->seedUsed;
}

SimulatedTable::~SimulatedTable() {
    stop();
}

bool SimulatedTable::start() {
    std::lock_guard life(d->lifecycle);
    std::unique_lock lock(d->mutex);
    return d->startLocked();
}

void SimulatedTable::stop() {
    std::lock_guard life(d->lifecycle);
    {
        std::lock_guard lock(d->mutex);
        if (!d->running)
            return;
        d->stopRequested = true;
        d->wake();
    }
    d->thread.join();
    std::lock_guard lock(d->mutex);
    d->running = false;
    removeLinkTo(d->options.linkPath, d->path);
    d->path.clear();
    ::close(d->wakeFd);
    d->wakeFd = -1;
}

int SimulatedTable::drops() const {
    std::lock_guard lock(d->mutex);
    return d->dropCount;
}

int SimulatedTable::malformed() const {
    std::lock_guard lock(d->mutex);
    return d->malformedCount;
}

bool SimulatedTable::programOnLink() const {
    std::lock_guard lock(d->mutex);
    return d->programSeen;
}

int SimulatedTable::returns() const {
    std::lock_guard lock(d->mutex);
    return d->returnCount;
}

std::string SimulatedTable::devicePath() const {
    std::lock_guard lock(d->mutex);
    return d->path;
}

void SimulatedTable::setOptions(const SimOptions& options) {
    std::lock_guard lock(d->mutex);
    d->options = options;
    // A stream asked for now starts now.
    d->wake();
}

SimOptions SimulatedTable::options() const {
    std::lock_guard lock(d->mutex);
    return d->options;
}

std::vector<ReceivedFrame> SimulatedTable::frames() const {
    std::lock_guard lock(d->mutex);
    return d->frames;
}

std::vector<std::uint8_t> SimulatedTable::receivedBytes() const {
    std::lock_guard lock(d->mutex);
    return d->received;
}

void SimulatedTable::clearRecord() {
    std::lock_guard lock(d->mutex);
    d->frames.clear();
    d->received.clear();
}

bool SimulatedTable::waitForFrames(std::size_t count, int timeoutMs) const {
    std::unique_lock lock(d->mutex);
    return d->recorded.wait_for(lock, std::chrono::milliseconds(std::max(0, timeoutMs)),
                                [&] { return d->frames.size() >= count; });
}

void SimulatedTable::send(const std::vector<std::uint8_t>& bytes, int gapMs) {
    std::lock_guard lock(d->mutex);
    if (!d->running || bytes.empty())
        return;
    d->toSend.push_back({bytes, gapMs});
    d->wake();
}

std::optional<LineSettings> SimulatedTable::lineSettings() const {
    std::unique_lock lock(d->mutex);
    if (!d->running || d->stopRequested)
        return std::nullopt;
    d->lineSettingsRequested = true;
    d->request(lock);
    return d->lineSettingsRead;
}

void SimulatedTable::setReading(bool reading) {
    std::unique_lock lock(d->mutex);
    if (!d->running || d->stopRequested)
        return;
    d->readingRequest = reading;
    d->request(lock);
}

void SimulatedTable::hangUp() {
    std::unique_lock lock(d->mutex);
    if (!d->running || d->stopRequested)
        return;
    d->hangUpRequested = true;
    d->request(lock);
}

bool SimulatedTable::reopen() {
    std::lock_guard life(d->lifecycle);
    std::unique_lock lock(d->mutex);
    if (!d->running)
        return d->startLocked();
    const std::string oldPath = d->path;
    lock.unlock();
    // A freed pty number comes back at once. A program still holding the old path must not
    // reach the new table by it, so a pty that reuses the number is passed over.
    std::vector<std::unique_ptr<PseudoTerminal>> passedOver;
    std::unique_ptr<PseudoTerminal> fresh;
    for (int attempt = 0; attempt < 3 && !fresh; ++attempt) {
        auto candidate = std::make_unique<PseudoTerminal>();
        std::string error;
        if (!candidate->open(error))
            return false;
        if (candidate->path() == oldPath)
            passedOver.push_back(std::move(candidate));
        else
            fresh = std::move(candidate);
    }
    if (!fresh)
        return false;
    lock.lock();
    d->path = fresh->path();
    d->newPty = std::move(fresh);
    d->request(lock);
    return true;
}

TableState SimulatedTable::state() const {
    std::lock_guard lock(d->mutex);
    return d->model.state();
}

std::array<std::uint8_t, SimulatedTable::kEepromSize> SimulatedTable::eeprom() const {
    std::lock_guard lock(d->mutex);
    return d->model.eeprom();
}

void SimulatedTable::setEeprom(const std::array<std::uint8_t, kEepromSize>& image) {
    std::lock_guard lock(d->mutex);
    d->model.setEeprom(image);
}

} // namespace glowdeck::sim
