#pragma once

#include <cstdint>
#include <vector>

namespace faderwell::bench {

/// One process cycle as a JACK client saw it: when its callback started
/// (microseconds) and the server's frame time of the cycle's first frame.
struct CycleSeen {
    std::uint64_t microseconds{0};
    std::uint32_t frame{0};
};

/// When each cycle's first frame was due on the server's own schedule, in
/// microseconds: the time a sound card running on that schedule plays it,
/// which is what a MIDI event at that frame means to a synthesizer.
///
/// A callback starts at its due time plus however late the scheduler let it
/// run; the lateness is never negative. So the due time is the callback time
/// less the least lateness seen over the cycles that follow within `window`
/// microseconds, the frames converted at `rate`. Looking forward, not back:
/// a server that falls behind (jackd's dummy driver re-anchors its schedule
/// after an overrun) moves its due times later, never earlier. The last
/// cycles have less than a window after them, so a recording should go on
/// for a while after what it is to time.
std::vector<double> DueTimes(const std::vector<CycleSeen>& cycles, std::uint32_t rate,
                             double window = 250'000.0);

}  // namespace faderwell::bench
