#pragma once

#include <utility>
#include <vector>

#include "core/Defaults.h"
#include "core/Messages.h"
#include "core/MidiSink.h"
#include "core/PeriodicTimer.h"
#include "core/ProcessValues.h"

namespace faderwell::test {

/// The Control Changes the master sends to channels first..last, in order.
inline std::vector<ShortMessage> Volumes(int firstChannel, int lastChannel, int position,
                                         int controller = 0) {
    std::vector<ShortMessage> words;
    for (int ch = firstChannel; ch <= lastChannel; ++ch) {
        words.push_back(ChannelVolumeMessage(ch, controller, position));
    }
    return words;
}

/// What a fade sends on the ticks that land on `positions`, each tick led by
/// the hi-hat when the drum box is on.
inline std::vector<ShortMessage> FadeTicks(const std::vector<int>& positions, bool hiHat = false) {
    std::vector<ShortMessage> words;
    for (const int position : positions) {
        if (hiHat)
            words.push_back(HiHatTick());
        const auto tick = Volumes(1, 16, position);
        words.insert(words.end(), tick.begin(), tick.end());
    }
    return words;
}

/// Positions from `from` to `to`, one step at a time, either way.
inline std::vector<int> Steps(int from, int to) {
    std::vector<int> positions;
    for (int p = from;; p += from < to ? 1 : -1) {
        positions.push_back(p);
        if (p == to)
            break;
    }
    return positions;
}

/// Records every word in the order it was sent.
class RecordingSink : public MidiSink {
public:
    void SendShortMessage(ShortMessage word) override { words.push_back(word); }
    std::vector<ShortMessage> Take() { return std::exchange(words, {}); }
    std::vector<ShortMessage> words;
};

/// A timer driven by hand: the test fires ticks and reads the state.
class ManualTimer : public PeriodicTimer {
public:
    bool SetEnabled(bool enabled) override {
        if (enabled && !available)
            return false;
        enabled_ = enabled;
        return true;
    }
    bool Enabled() const override { return enabled_; }
    void SetInterval(int milliseconds) override { interval_ = milliseconds; }
    int Interval() const override { return interval_; }

    bool available{true};

private:
    bool enabled_{false};
    int interval_{Defaults::kFadeInterval};
};

}  // namespace faderwell::test
