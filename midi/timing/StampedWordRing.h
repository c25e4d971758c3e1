#pragma once

#include <algorithm>
#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <optional>

namespace faderwell {

/// A short MIDI message and, for a fade tick's word, the moment it fell
/// due: the server's clock (`jack_get_time`, µs) modulo 2^32, enough to
/// take differences from. A word with no due moment leaves at once.
struct StampedWord {
    std::uint32_t moment{0};
    std::uint8_t size{0};
    std::array<std::uint8_t, 3> bytes{};
    bool due{false};
};

/// A fixed ring of stamped words between exactly one writer thread and
/// exactly one reader thread, lock-free and allocation-free on both sides,
/// so the reader may be a real-time audio thread.
class StampedWordRing {
public:
    /// Room for about five seconds of a fade at its fastest, and far more
    /// than any server period takes at once.
    static constexpr std::size_t kCapacity = 4096;

    /// Writer: false when the ring is full.
    bool Push(const StampedWord& word) {
        const std::size_t tail = tail_.load(std::memory_order_relaxed);
        if (tail - head_.load(std::memory_order_acquire) == kCapacity)
            return false;
        slots_[tail % kCapacity] = word;
        tail_.store(tail + 1, std::memory_order_release);
        return true;
    }
    /// Reader: the oldest word, left in the ring.
    const StampedWord* Front() const {
        const std::size_t head = head_.load(std::memory_order_relaxed);
        if (head == tail_.load(std::memory_order_acquire))
            return nullptr;
        return &slots_[head % kCapacity];
    }
    /// Reader: lets go of the oldest word.
    void Pop() {
        head_.store(head_.load(std::memory_order_relaxed) + 1, std::memory_order_release);
    }
    /// Either side: whether every word pushed has been popped.
    bool Empty() const {
        return head_.load(std::memory_order_acquire) == tail_.load(std::memory_order_acquire);
    }

private:
    static_assert((kCapacity & (kCapacity - 1)) == 0, "the indices wrap around cleanly");
    std::array<StampedWord, kCapacity> slots_{};
    alignas(64) std::atomic<std::size_t> head_{0};
    alignas(64) std::atomic<std::size_t> tail_{0};
};

/// Where in the process cycle that started at `cycleStart` (µs) and lasts
/// `frames` frames at `rate` a word due to leave at `leave` (µs) is
/// written: at the frame of that moment when it falls within the cycle; at
/// the cycle's first frame when it has passed (a word the thread came to
/// too late, or a schedule that jumped ahead); never before `notBefore`,
/// the frame of the word written before it, so that order is kept.
/// Nothing while the moment lies in a later cycle, up to `ahead` µs from
/// the cycle's start: the word waits. A moment further ahead than any word
/// can rightly be is a clock gone astray, and the word leaves at once
/// rather than hold up every word behind it.
/// The server's clock wraps around, so moments are compared by difference.
inline std::optional<std::uint32_t> FrameOffset(std::uint32_t leave, std::uint32_t cycleStart,
                                                std::uint32_t frames, std::uint32_t rate,
                                                std::uint32_t notBefore, std::uint32_t ahead) {
    const std::int64_t after = static_cast<std::int32_t>(leave - cycleStart);
    const std::int64_t frame = after <= 0 ? 0 : after * std::int64_t{rate} / 1'000'000;
    if (frame >= std::int64_t{frames} && after <= std::int64_t{ahead})
        return std::nullopt;
    const auto own = static_cast<std::uint32_t>(frame >= std::int64_t{frames} ? 0 : frame);
    return std::max(own, notBefore);
}

}  // namespace faderwell
