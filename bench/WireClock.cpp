#include "bench/WireClock.h"

#include <cstddef>
#include <deque>

namespace faderwell::bench {

std::vector<double> DueTimes(const std::vector<CycleSeen>& cycles, std::uint32_t rate,
                             double window) {
    const std::size_t count = cycles.size();
    const double microsecondsPerFrame = 1e6 / static_cast<double>(rate);
    // Frame times wrap around at 2^32; their differences do not.
    std::vector<double> frameMicroseconds(count);
    std::vector<double> lead(count);  // callback time less the frames' own time
    double frames = 0;
    for (std::size_t i = 0; i < count; ++i) {
        if (i > 0)
            frames += static_cast<std::int32_t>(cycles[i].frame - cycles[i - 1].frame);
        frameMicroseconds[i] = frames * microsecondsPerFrame;
        lead[i] = static_cast<double>(cycles[i].microseconds) - frameMicroseconds[i];
    }
    // Least lead over [i, the last cycle within the window]: a sliding
    // minimum from the end, indices kept in a deque of rising leads.
    std::vector<double> due(count);
    std::deque<std::size_t> rising;
    std::size_t end = count;  // one past the window's last cycle
    for (std::size_t i = count; i-- > 0;) {
        while (!rising.empty() && lead[rising.back()] >= lead[i]) rising.pop_back();
        rising.push_back(i);
        while (end > i + 1 && frameMicroseconds[end - 1] - frameMicroseconds[i] > window) {
            --end;
            if (rising.front() == end)
                rising.pop_front();
        }
        due[i] = lead[rising.front()] + frameMicroseconds[i];
    }
    return due;
}

}  // namespace faderwell::bench
