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

std::vector<ShortMessage> After(std::vector<ShortMessage> noteOffs) {
    const auto rest = ChannelSilencers();
    noteOffs.insert(noteOffs.end(), rest.begin(), rest.end());
    return noteOffs;
}

TEST(SoundingNotesReset, WithNothingSoundingSilencesEveryChannelWithoutResettingControllers) {
    SoundingNotes notes;
    notes.Track(0x6407B0);  // a fader's Control Change is no note
    EXPECT_TRUE(notes.Empty());
    EXPECT_EQ(notes.SilencingWords(), ChannelSilencers());
    for (const ShortMessage word : notes.SilencingWords()) {
        EXPECT_NE((word >> 8) & 0xFF, 121u) << "Reset All Controllers would undo the faders";
    }
}

TEST(SoundingNotesReset, EndsTheHiHatThatWasLeftSoundingFirst) {
    SoundingNotes notes;
    notes.Track(0x642A99);
    notes.Track(0x642A99);  // struck twice, ended once
    EXPECT_EQ(notes.SilencingWords(), After({0x002A89}));
}

TEST(SoundingNotesReset, EndsEachSoundingNoteOnceByChannelThenKey) {
    SoundingNotes notes;
    notes.Track(0x7F4090);  // channel 1, key 64
    notes.Track(0x7F3C9F);  // channel 16, key 60
    notes.Track(0x7F3C90);  // channel 1, key 60
    EXPECT_EQ(notes.SilencingWords(), After({0x003C80, 0x004080, 0x003C8F}));
}

struct EndCase {
    const char* name;
    ShortMessage ending;
    friend void PrintTo(const EndCase& c, std::ostream* os) { *os << c.name; }
};

class NoteEndedByTheProgram : public testing::TestWithParam<EndCase> {};

TEST_P(NoteEndedByTheProgram, IsNotEndedAgain) {
    SoundingNotes notes;
    notes.Track(0x642A99);
    notes.Track(GetParam().ending);
    EXPECT_TRUE(notes.Empty());
    EXPECT_EQ(notes.SilencingWords(), ChannelSilencers());
}

INSTANTIATE_TEST_SUITE_P(Endings, NoteEndedByTheProgram,
                         testing::Values(EndCase{"NoteOff", 0x402A89},
                                         EndCase{"NoteOnWithVelocityZero", 0x002A99}),
                         [](const testing::TestParamInfo<EndCase>& info) {
                             return std::string(info.param.name);
                         });

TEST(SoundingNotesReset, ANoteOnAnotherChannelOrKeyStaysSounding) {
    SoundingNotes notes;
    notes.Track(0x642A99);
    notes.Track(0x002A88);  // channel 9, same key
    notes.Track(0x002B89);  // channel 10, another key
    EXPECT_EQ(notes.SilencingWords(), After({0x002A89}));
    notes.Clear();
    EXPECT_EQ(notes.SilencingWords(), ChannelSilencers());
}

}  // namespace
}  // namespace faderwell::test
