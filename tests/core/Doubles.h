#pragma once

#include <vector>

#include "core/Seams.h"

namespace faderwell::test {

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
        if (enabled && !available) return false;
        if (enabled != enabled_) ++restarts;
        enabled_ = enabled;
        return true;
    }
    bool Enabled() const override { return enabled_; }
    void SetInterval(int milliseconds) override { interval_ = milliseconds; }
    int Interval() const override { return interval_; }

    bool available{true};
    int restarts{0};

private:
    bool enabled_{false};
    int interval_{150};
};

}  // namespace faderwell::test
