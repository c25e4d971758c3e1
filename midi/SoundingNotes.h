#pragma once

#include <bitset>
#include <cstdint>
#include <vector>

#include "core/Messages.h"

namespace faderwell {

/// The reset for outputs whose platform has none: it silences what this
/// program left sounding without touching what the faders set. It keeps
/// track of the notes switched on and not off from the words sent.
class SoundingNotes {
public:
    /// Notes the word if it switches a note on or off.
    void Track(ShortMessage word);
    /// Note Off for every sounding note (channel by channel, key by key),
    /// then Sustain off and All Notes Off on each of the sixteen channels.
    /// Reset All Controllers is left out: it would undo what the faders set.
    std::vector<ShortMessage> SilencingWords() const;
    /// Forgets every note, once the silencing words have been sent.
    void Clear() { sounding_.reset(); }
    bool Empty() const { return sounding_.none(); }

private:
    static constexpr std::size_t kKeys = midi::kDataMax + 1;
    std::bitset<midi::kChannelCount * kKeys> sounding_;
};

}  // namespace faderwell
