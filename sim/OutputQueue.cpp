#include "sim/OutputQueue.h"

#include <algorithm>

namespace glowdeck::sim {

void OutputQueue::push(std::vector<std::uint8_t> bytes, Pacing pacing) {
    if (bytes.empty())
        return;
    m_queued += bytes.size();
    m_pieces.push_back(Piece{std::move(bytes), pacing});
}

void OutputQueue::clear() {
    m_pieces.clear();
    m_queued = 0;
}

// How many bytes of the piece the serial pace allows by nowUs, counted from its start.
std::size_t OutputQueue::serialAllowance(const Piece& piece, std::int64_t nowUs) const {
    const std::int64_t elapsed = std::max<std::int64_t>(0, nowUs - piece.startUs);
    const std::int64_t allowed = 1 + elapsed * kSerialBytesPerSecond / 1'000'000;
    return std::min(piece.bytes.size(), std::size_t(allowed));
}

std::span<const std::uint8_t> OutputQueue::ready(std::int64_t nowUs, std::size_t maxBytes) {
    if (m_pieces.empty() || maxBytes == 0)
        return {};
    Piece& piece = m_pieces.front();
    if (nowUs < piece.pacing.notBeforeUs)
        return {};
    if (piece.startUs < 0)
        piece.startUs = nowUs;
    std::size_t end = piece.bytes.size();
    if (piece.pacing.serial)
        end = serialAllowance(piece, nowUs);
    if (piece.pacing.gapUs > 0) {
        if (piece.sent > 0 && nowUs < piece.lastByteUs + piece.pacing.gapUs)
            return {};
        end = std::min(end, piece.sent + 1);
    }
    if (end <= piece.sent)
        return {};
    return {piece.bytes.data() + piece.sent, std::min(end - piece.sent, maxBytes)};
}

void OutputQueue::consume(std::size_t count, std::int64_t nowUs) {
    if (m_pieces.empty() || count == 0)
        return;
    Piece& piece = m_pieces.front();
    count = std::min(count, piece.bytes.size() - piece.sent);
    piece.sent += count;
    piece.lastByteUs = nowUs;
    m_queued -= count;
    if (piece.sent == piece.bytes.size())
        m_pieces.pop_front();
}

std::optional<std::int64_t> OutputQueue::nextReadyUs(std::int64_t nowUs) const {
    if (m_pieces.empty())
        return std::nullopt;
    const Piece& piece = m_pieces.front();
    if (piece.startUs < 0)
        return std::max(nowUs, piece.pacing.notBeforeUs);
    std::int64_t at = nowUs;
    if (piece.pacing.serial) {
        const std::size_t step = piece.pacing.gapUs > 0 ? 1 : kPacedChunk;
        const std::size_t target = std::min(piece.bytes.size(), piece.sent + step);
        // The first moment serialAllowance() reaches target.
        const std::int64_t need = std::int64_t(target) - 1;
        at = std::max(at, piece.startUs + (need * 1'000'000 + kSerialBytesPerSecond - 1) /
                                              kSerialBytesPerSecond);
    }
    if (piece.pacing.gapUs > 0 && piece.sent > 0)
        at = std::max(at, piece.lastByteUs + piece.pacing.gapUs);
    return at;
}

} // namespace glowdeck::sim
