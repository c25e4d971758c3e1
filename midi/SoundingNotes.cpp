#include "midi/SoundingNotes.h"

namespace faderwell {

void SoundingNotes::Track(ShortMessage word) {
    const auto status = static_cast<std::uint8_t>(word);
    const std::uint8_t kind = KindOf(status);
    if (kind != midi::kNoteOn && kind != midi::kNoteOff)
        return;
    const std::size_t channel = status & midi::kChannelMask;
    const std::size_t key = (word >> 8) & midi::kDataMask;
    const auto velocity = static_cast<std::uint8_t>((word >> 16) & midi::kDataMask);
    // A Note On with velocity 0 is a Note Off.
    sounding_.set(channel * kKeys + key, kind == midi::kNoteOn && velocity != 0);
}

std::vector<ShortMessage> SoundingNotes::SilencingWords() const {
    std::vector<ShortMessage> words;
    for (int channel = 1; channel <= midi::kChannelCount; ++channel) {
        for (std::size_t key = 0; key < kKeys; ++key) {
            if (sounding_.test(static_cast<std::size_t>(channel - 1) * kKeys + key)) {
                words.push_back(PackShortMessage(ChannelStatus(midi::kNoteOff, channel),
                                                 static_cast<std::uint8_t>(key), 0));
            }
        }
    }
    for (int channel = 1; channel <= midi::kChannelCount; ++channel) {
        const auto status = ChannelStatus(midi::kControlChange, channel);
        words.push_back(PackShortMessage(status, midi::kSustainPedal, 0));
        words.push_back(PackShortMessage(status, midi::kAllNotesOff, 0));
    }
    return words;
}

}  // namespace faderwell
