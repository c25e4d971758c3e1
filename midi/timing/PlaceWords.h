#pragma once

#include <cmath>
#include <cstdint>
#include <optional>

#include "midi/timing/CycleClock.h"
#include "midi/timing/StampedWordRing.h"

namespace faderwell {

/// Hands `write(offset, word)` the words of `ring` that leave in the cycle
/// `clock` has just taken (`frames` long at `rate`), each at its frame, in
/// the order sent; `write` returns false when the cycle's buffer is full,
/// and the rest waits, in order, for the next cycle. Called by an output's
/// process callback only: no allocation, no lock.
template <typename Write>
void PlaceWords(StampedWordRing& ring, CycleClock& clock, std::uint32_t frames, std::uint32_t rate,
                Write write) {
    const auto cycleStart = static_cast<std::uint32_t>(std::llround(clock.Start()));
    // A word sent just after a cycle started, and due then, falls due one
    // latency later: past the start of the cycle after next at the latest,
    // however the period changed meanwhile. Twice that is beyond any word.
    const std::uint32_t latency = clock.WaitMicroseconds();
    const std::uint32_t ahead = 2 * latency;
    // Each word leaves no earlier than the one before: the earlier word left
    // in this cycle or a cycle before, so the frame it took is all there is
    // to keep to.
    std::uint32_t lastOffset = 0;
    while (const StampedWord* word = ring.Front()) {
        if (word->due)
            clock.DueWordWaiting();
        // A hand move, or any word while the server tells no rate, at once.
        const auto offset = word->due && rate != 0 ? FrameOffset(word->moment + latency, cycleStart,
                                                                 frames, rate, lastOffset, ahead)
                                                   : std::optional<std::uint32_t>(lastOffset);
        if (!offset)
            break;  // not due yet, and every word behind it waits with it
        if (!write(*offset, *word))
            break;
        lastOffset = *offset;
        ring.Pop();
    }
}

}  // namespace faderwell
