#pragma once

#include <gtest/gtest.h>

#include "Doubles.h"
#include "core/Defaults.h"
#include "core/Mixer.h"

namespace faderwell::test {

class MixerTest : public testing::Test {
protected:
    RecordingSink sink;
    ManualTimer timer;
    ProcessValues values{Defaults::Values()};
    Mixer mixer{sink, timer, values};

    bool AllLinks(bool ticked, bool enabled) {
        for (int ch = 1; ch <= Mixer::kChannels; ++ch) {
            if (mixer.C(ch).Ticked() != ticked || mixer.C(ch).Enabled() != enabled)
                return false;
        }
        return true;
    }
};

}  // namespace faderwell::test
