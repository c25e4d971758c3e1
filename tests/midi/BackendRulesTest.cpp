// The platform-free rules the backends share: the capability record's name
// field, a word's bytes on the wire, and the reset where the platform has none.
#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "midi/ProductName.h"
#include "midi/SoundingNotes.h"
#include "midi/WireBytes.h"

namespace faderwell::test {
namespace {

std::array<char, kProductNameField> Field(std::string_view bytes) {
    std::array<char, kProductNameField> field;
    field.fill('#');  // what an earlier query may have left behind
    std::copy(bytes.begin(), bytes.end(), field.begin());
    return field;
}

struct NameCase {
    const char* name;
    std::string bytes;
    std::string shown;
    friend void PrintTo(const NameCase& c, std::ostream* os) { *os << c.name; }
};

class ProductNameField : public testing::TestWithParam<NameCase> {};

TEST_P(ProductNameField, EndsAtTheFirstZeroByteOrFillsAllThirtyTwo) {
    const auto field = Field(GetParam().bytes);
    EXPECT_EQ(ProductName(field), GetParam().shown);
}

INSTANTIATE_TEST_SUITE_P(
    Names, ProductNameField,
    testing::Values(NameCase{"Terminated", std::string("Microsoft GS Wavetable Synth\0", 29),
                             "Microsoft GS Wavetable Synth"},
                    NameCase{"FillsTheField", "ABCDEFGHIJKLMNOPQRSTUVWXYZ012345",
                             "ABCDEFGHIJKLMNOPQRSTUVWXYZ012345"},
                    NameCase{"ZeroAtTheLastByte",
                             std::string("ABCDEFGHIJKLMNOPQRSTUVWXYZ01234\0", 32),
                             "ABCDEFGHIJKLMNOPQRSTUVWXYZ01234"},
                    NameCase{"TextAfterTheZeroIsNotShown", std::string("Synth\0Old", 9), "Synth"},
                    NameCase{"Empty", std::string("\0", 1), ""},
                    NameCase{"AnsiBytesPassUnchanged", std::string("\x83\x8A\x83\x5E\0", 5),
                             "\x83\x8A\x83\x5E"}),
    [](const testing::TestParamInfo<NameCase>& info) { return std::string(info.param.name); });

struct WireCase {
    const char* name;
    ShortMessage word;
    std::vector<std::uint8_t> bytes;
    friend void PrintTo(const WireCase& c, std::ostream* os) { *os << c.name; }
};

class WireBytesOf : public testing::TestWithParam<WireCase> {};

TEST_P(WireBytesOf, StatusFirstThenAsManyDataBytesAsTheMessageHas) {
    const WireBytes wire = ToWireBytes(GetParam().word);
    EXPECT_EQ(std::vector<std::uint8_t>(wire.bytes.begin(), wire.bytes.begin() + wire.size),
              GetParam().bytes);
}

INSTANTIATE_TEST_SUITE_P(
    Words, WireBytesOf,
    testing::Values(WireCase{"ControlChange", 0x6407B0, {0xB0, 0x07, 0x64}},
                    WireCase{"ControlChangeValueZero", 0x0020B9, {0xB9, 0x20, 0x00}},
                    WireCase{"ProgramChangeHasOneDataByte", 0x0000C9, {0xC9, 0x00}},
                    WireCase{"ChannelPressureHasOneDataByte", 0x0040D3, {0xD3, 0x40}},
                    WireCase{"NoteOn", 0x642A99, {0x99, 0x2A, 0x64}},
                    WireCase{"NoteOff", 0x002A89, {0x89, 0x2A, 0x00}},
                    WireCase{"PitchBend", 0x4000E0, {0xE0, 0x00, 0x40}},
                    WireCase{"SongPosition", 0x0102F2, {0xF2, 0x02, 0x01}},
                    WireCase{"SongSelect", 0x0005F3, {0xF3, 0x05}},
                    WireCase{"TimingClock", 0x0000F8, {0xF8}},
                    WireCase{"NoStatusByte", 0x00407F, {}},
                    WireCase{"SystemExclusiveDoesNotFit", 0x7E7EF0, {}}),
    [](const testing::TestParamInfo<WireCase>& info) { return std::string(info.param.name); });

std::vector<ShortMessage> ChannelSilencers() {
    std::vector<ShortMessage> words;
    for (int channel = 1; channel <= midi::kChannelCount; ++channel) {
        words.push_back(PackShortMessage(0xAF + channel, 64, 0));   // Sustain off
        words.push_back(PackShortMessage(0xAF + channel, 123, 0));  // All Notes Off
    }
    return words;
}

struct ResetCase {
    const char* name;
    std::vector<ShortMessage> tracked;
    std::vector<ShortMessage> noteOffs;  // ahead of the channel silencers
    friend void PrintTo(const ResetCase& c, std::ostream* os) { *os << c.name; }
};

class SoundingNotesReset : public testing::TestWithParam<ResetCase> {};

TEST_P(SoundingNotesReset, EndsEachSoundingNoteOnceThenSilencesEveryChannel) {
    SoundingNotes notes;
    for (const ShortMessage word : GetParam().tracked) notes.Track(word);
    EXPECT_EQ(notes.Empty(), GetParam().noteOffs.empty());
    auto expected = GetParam().noteOffs;
    const auto silencers = ChannelSilencers();
    expected.insert(expected.end(), silencers.begin(), silencers.end());
    EXPECT_EQ(notes.SilencingWords(), expected);
    for (const ShortMessage word : notes.SilencingWords()) {
        EXPECT_NE((word >> 8) & 0xFF, 121u) << "Reset All Controllers would undo the faders";
    }
    notes.Clear();
    EXPECT_EQ(notes.SilencingWords(), silencers);
}

INSTANTIATE_TEST_SUITE_P(
    Tracked, SoundingNotesReset,
    testing::Values(
        ResetCase{"AFadersControlChangeIsNoNote", {0x6407B0}, {}},
        ResetCase{"HiHatStruckTwiceEndedOnce", {0x642A99, 0x642A99}, {0x002A89}},
        // Channel 1 key 64, channel 16 key 60, channel 1 key 60: by channel, then key.
        ResetCase{
            "ByChannelThenKey", {0x7F4090, 0x7F3C9F, 0x7F3C90}, {0x003C80, 0x004080, 0x003C8F}},
        ResetCase{"EndedByNoteOff", {0x642A99, 0x402A89}, {}},
        ResetCase{"EndedByNoteOnWithVelocityZero", {0x642A99, 0x002A99}, {}},
        // Channel 9 with the same key, channel 10 with another key.
        ResetCase{"OtherChannelOrKeyEndsNothing", {0x642A99, 0x002A88, 0x002B89}, {0x002A89}}),
    [](const testing::TestParamInfo<ResetCase>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace faderwell::test
