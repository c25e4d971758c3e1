#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <optional>

namespace faderwell {

/// A short MIDI message with the moment at which it counts as sent: the
/// server's clock (`jack_get_time`, µs) modulo 2^32, enough to take
/// differences from.
struct StampedWord {
    std::uint32_t moment{0};
    std::uint8_t size{0};
    std::array<std::uint8_t, 3> bytes{};
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

/// Where in the process cycle that starts at frame `cycleStart` and lasts
/// `frames` frames a word stamped `stamp` leaves: exactly one period after
/// its stamp, or at once (but never before `notBefore`, so that order is
/// kept) when that moment has already passed. Nothing while the stamp falls
/// within this very cycle or up to `ahead` frames beyond it (the output's
/// fixed headroom, and however far the clock moved on while this cycle's
/// callback waited to run): it leaves in a later cycle. A stamp further
/// ahead than that is a clock estimate gone astray, not a word to hold
/// back: it leaves at once.
/// Frame times wrap around, so they are compared by their difference.
inline std::optional<std::uint32_t> FrameOffset(std::uint32_t stamp, std::uint32_t cycleStart,
                                                std::uint32_t frames, std::uint32_t notBefore,
                                                std::uint32_t ahead = 0) {
    const auto age = static_cast<std::int64_t>(static_cast<std::int32_t>(cycleStart - stamp));
    if (age <= 0 && age > -2 * std::int64_t{frames} - std::int64_t{ahead})
        return std::nullopt;
    const std::int64_t offset = age <= 0 ? 0 : std::int64_t{frames} - age;
    const auto due = static_cast<std::uint32_t>(offset < 0 ? 0 : offset);
    return due < notBefore ? notBefore : due;
}

}  // namespace faderwell
