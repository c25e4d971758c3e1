// The output port's own logic against the in-memory MIDI service: the list,
// opening by list index with its result byte, the caption, and where words
// go after a failed open.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "core/Defaults.h"
#include "core/Messages.h"
#include "core/OutputList.h"
#include "midi/MidiOutPort.h"
#include "midi/memory/InMemoryMidiOutService.h"

namespace faderwell::test {
namespace {

using Calls = std::vector<std::string>;
using Service = InMemoryMidiOutService;

class MidiOutPortTest : public testing::Test {
protected:
    void WithDevices(std::vector<std::string> names) {
        service.devices = std::move(names);
        port.BuildOutputList();
        service.calls.clear();
    }

    Service service;
    ProcessValues values{Defaults::Values()};
    MidiOutPort port{service, values};
};

struct ListCase {
    std::vector<std::string> devices;
    Calls entries;
    unsigned count;
};

TEST_F(MidiOutPortTest, ListIsNoneMapperThenEveryDeviceInDeviceOrder) {
    std::vector<std::string> many;
    for (int device = 0; device < 257; ++device) many.push_back("Port " + std::to_string(device));
    const ListCase cases[] = {
        {{}, {"(None)", "MIDI MAPPER"}, 0},
        // Unsorted, duplicates kept.
        {{"Synth B", "Synth A", "Synth B"},
         {"(None)", "MIDI MAPPER", "Synth B", "Synth A", "Synth B"},
         3},
        {many, {"(None)", "MIDI MAPPER", "Port 0"}, 1},  // the count is kept in eight bits
    };
    for (const ListCase& c : cases) {
        service.devices = c.devices;
        service.calls.clear();
        port.BuildOutputList();
        EXPECT_EQ(port.Entries(), c.entries);
        EXPECT_EQ(port.DeviceCount(), c.count);
    }
    EXPECT_EQ(service.calls, (Calls{"count", "name 0"}));  // names asked only within the count
}

struct OpenCase {
    const char* name;
    int index;
    std::set<unsigned> failing;
    std::uint8_t result;
    Calls calls;        // after the reset and close every open begins with
    const char* entry;  // in the caption's brackets after a successful open
    friend void PrintTo(const OpenCase& c, std::ostream* os) { *os << c.name; }
};

class OpenByIndex : public MidiOutPortTest, public testing::WithParamInterface<OpenCase> {};

TEST_P(OpenByIndex, ResetsAndClosesThenOpensWhatTheIndexStandsFor) {
    const OpenCase& c = GetParam();
    service.failingOpens = c.failing;
    WithDevices({"Synth A", "USB MIDI Interface 1"});
    EXPECT_EQ(port.Pick(c.index), c.result);
    Calls expected{"reset", "close"};
    expected.insert(expected.end(), c.calls.begin(), c.calls.end());
    EXPECT_EQ(service.calls, expected);
    EXPECT_EQ(values.MidiOutIndex, c.index);  // kept even when the open fails
    EXPECT_EQ(service.open, c.result == 0 && c.index != 0);
    if (c.result == 0) {
        EXPECT_EQ(port.Caption(), "Faderwell Standard [" + std::string(c.entry) + "]");
    }
}

INSTANTIATE_TEST_SUITE_P(
    Indices, OpenByIndex,
    testing::Values(
        OpenCase{"None", 0, {}, 0, {}, "(None)"},
        OpenCase{"Mapper", 1, {}, 0, {"open mapper"}, "MIDI MAPPER"},
        OpenCase{"FirstDevice", 2, {}, 0, {"open 0"}, "Synth A"},
        OpenCase{"SecondDevice", 3, {}, 0, {"open 1"}, "USB MIDI Interface 1"},
        OpenCase{"BeyondTheList", 5, {}, Service::kOpenError, {"open 3"}, ""},
        OpenCase{"LastStoredIndex", 255, {}, Service::kOpenError, {"open 253"}, ""},
        OpenCase{"Negative", -1, {}, 1, {}, ""},
        OpenCase{"MapperFails", 1, {Service::kMapper}, Service::kOpenError, {"open mapper"}, ""},
        OpenCase{"DeviceFails", 3, {1}, Service::kOpenError, {"open 1"}, ""}),
    [](const testing::TestParamInfo<OpenCase>& test) { return std::string(test.param.name); });

struct NameCase {
    const char* name;
    std::vector<std::string> devices;
    DeviceNaming naming;
    int storedIndex;
    std::string storedName;
    int index;                     // MidiOutIndex after start-up's open
    int chosen;                    // the entry the list shows chosen
    std::vector<unsigned> opened;  // what start-up's open reached
    std::string nameAfter;         // what the next save stores beside the index
    const char* said;              // in the one line said, or nullptr for none
    friend void PrintTo(const NameCase& c, std::ostream* os) { *os << c.name; }
};

class StoredName : public MidiOutPortTest, public testing::WithParamInterface<NameCase> {};

TEST_P(StoredName, FindsTheChosenDeviceWhereverItStandsNowAndNothingElse) {
    const NameCase& c = GetParam();
    service.devices = c.devices;
    service.namings.assign(c.devices.size(), c.naming);
    values.MidiOutIndex = c.storedIndex;
    values.MidiOutName = c.storedName;
    std::vector<std::string> said;
    port.SetNotices([&said](std::string_view line) { said.emplace_back(line); });

    port.BuildOutputList();
    EXPECT_EQ(port.ChosenEntry(), c.chosen);
    const std::uint8_t result = port.OpenStoredOutput();
    EXPECT_EQ(result == 0, !c.opened.empty() || c.index == OutputList::kNone);
    EXPECT_EQ(values.MidiOutIndex, c.index);
    EXPECT_EQ(service.opened, c.opened);
    EXPECT_EQ(values.MidiOutName, c.nameAfter);
    if (c.said) {
        ASSERT_EQ(said.size(), 1u);
        EXPECT_TRUE(said[0].starts_with("Faderwell Standard: ")) << said[0];
        EXPECT_NE(said[0].find(c.said), std::string::npos) << said[0];
    } else {
        EXPECT_EQ(said, std::vector<std::string>{});
    }
}

constexpr auto kJack = DeviceNaming::kJackPort;
constexpr auto kAlsa = DeviceNaming::kAlsaSequencer;
const std::string kFluid = "fluidsynth:midi_00";
const std::string kFluidAlsa = "FLUID Synth (1234):Synth input port (1234:0) 128:0";
const std::string kFluidAlsaAgain = "FLUID Synth (5678):Synth input port (5678:0) 129:0";

INSTANTIATE_TEST_SUITE_P(
    Cases, StoredName,
    testing::Values(
        // clang-format off
        NameCase{"MovedDown", {"midi-monitor:input", kFluid}, kJack, 2, kFluid, 3, 3, {1}, kFluid,
                 nullptr},
        NameCase{"MovedUp", {kFluid, "other:in"}, kJack, 5, kFluid, 2, 2, {0}, kFluid, nullptr},
        // Nothing is opened in its place, and both values are kept for the next start.
        NameCase{"Vanished", {"midi-monitor:input", "other:in"}, kJack, 2, kFluid, 2, -1, {},
                 kFluid, "\"fluidsynth:midi_00\" is not listed"},
        NameCase{"SameNameTwiceTheStoredPositionWins", {"Synth", "Synth", "Synth"}, kJack, 3,
                 "Synth", 3, 3, {1}, "Synth", nullptr},
        NameCase{"SameNameTwiceElsewhereTheFirstWins", {"Other", "Synth", "Synth"}, kJack, 2,
                 "Synth", 3, 3, {1}, "Synth", nullptr},
        // The client, port and process numbers are new; the next save stores the new name.
        NameCase{"AlsaNumbersChanged", {"Midi Through:Midi Through Port-0 14:0", kFluidAlsaAgain},
                 kAlsa, 2, kFluidAlsa, 3, 3, {1}, kFluidAlsaAgain, nullptr},
        NameCase{"AlsaWordsInBracketsStillCount",
                 {"Synth (right):in 129:0", "Synth (left):in 130:0"}, kAlsa, 2,
                 "Synth (left):in 128:0", 3, 3, {1}, "Synth (left):in 130:0", nullptr},
        // Two colons make no number group: the brackets and the address are words.
        NameCase{"AlsaTwoColonsAreNoNumberGroup", {"Synth (1:2:3):in 1:2:3"}, kAlsa, 2,
                 "Synth (4:5:6):in 4:5:6", 2, -1, {}, "Synth (4:5:6):in 4:5:6",
                 "\"Synth (4:5:6):in 4:5:6\" is not listed"},
        // A JACK name drops only its process numbers, not what looks like
        // an ALSA address; a name that matches exactly wins over one that
        // matches without them.
        NameCase{"JackProcessNumberChanged", {"other:in", "FLUID Synth (5678):in (5678:0)"},
                 kJack, 3, "FLUID Synth (1234):in (1234:0)", 3, 3, {1},
                 "FLUID Synth (5678):in (5678:0)", nullptr},
        NameCase{"JackKeepsWhatLooksLikeAnAlsaAddress", {"Synth:in 129:0"}, kJack, 2,
                 "Synth:in 128:0", 2, -1, {}, "Synth:in 128:0", "\"Synth:in 128:0\""},
        NameCase{"JackExactNameWins", {"Synth (4242):in", "Synth (77):in"}, kJack, 2,
                 "Synth (77):in", 3, 3, {1}, "Synth (77):in", nullptr},
        NameCase{"LastingNamesCompareWhole", {"Synth (5678)"}, DeviceNaming::kLasting, 2,
                 "Synth (1234)", 2, -1, {}, "Synth (1234)", "\"Synth (1234)\""},
        // Settings from before names were stored: the position counts, and
        // what it opens is named at the next save.
        NameCase{"NoStoredName", {"a:in", "b:in"}, kJack, 3, "", 3, 3, {1}, "b:in", nullptr},
        NameCase{"NoStoredNameAndThePositionIsGone", {"a:in"}, kJack, 5, "", 5, -1, {}, "",
                 "number 5 of the list: the device is gone"},
        NameCase{"MapperByPosition", {"MIDI MAPPER"}, kJack, 1, "MIDI MAPPER", 1, 1,
                 {Service::kMapper}, "MIDI MAPPER", nullptr},
        NameCase{"NoneByPosition", {"Synth"}, kJack, 0, "(None)", 0, 0, {}, "(None)", nullptr}),
    // clang-format on
    [](const testing::TestParamInfo<NameCase>& test) { return std::string(test.param.name); });

TEST_F(MidiOutPortTest, SaysOnceAtTheListWhenThereIsNoMidiSystemAndWhyEachOpenFails) {
    std::vector<std::string> said;
    port.SetNotices([&said](std::string_view line) { said.emplace_back(line); });
    service.missingSystemAdvice = "no MIDI system found";
    service.failingOpens = {Service::kMapper};
    port.BuildOutputList();
    port.Pick(OutputList::kMapper);
    port.Pick(OutputList::kNone);
    EXPECT_EQ(said, (std::vector<std::string>{
                        "Faderwell Standard: no MIDI system found",
                        "Faderwell Standard: cannot open the MIDI output \"MIDI MAPPER\": the "
                        "device is gone"}));
}

struct ResultCase {
    unsigned code;
    std::uint8_t result;
    friend void PrintTo(const ResultCase& c, std::ostream* os) { *os << "code " << c.code; }
};

class ResultByte : public MidiOutPortTest, public testing::WithParamInterface<ResultCase> {};

TEST_P(ResultByte, IsTheLowByteOfTheCodeAndNeverZeroForAFailure) {
    service.openErrorCode = GetParam().code;
    service.failingOpens = {Service::kMapper};
    WithDevices({"Synth A"});
    EXPECT_EQ(port.Pick(1), GetParam().result);
}

INSTANTIATE_TEST_SUITE_P(Codes, ResultByte,
                         testing::Values(ResultCase{2, 2}, ResultCase{0x1F4, 0xF4},
                                         ResultCase{0x100, 1}, ResultCase{0xFFFFFF00, 1}));

TEST_F(MidiOutPortTest, EveryOpenIncludingTheFirstBeginsWithResetAndClose) {
    WithDevices({"Synth A"});
    values.MidiOutIndex = 1;
    port.OpenMidiPort();  // the first open: nothing is open yet
    port.Pick(2);
    port.Pick(2);  // the same entry again is closed and opened anew
    port.Pick(0);
    port.Pick(2);
    port.ResetAndClose();  // the exit command
    EXPECT_EQ(service.calls,
              (Calls{"reset", "close", "open mapper", "reset", "close", "open 0", "reset", "close",
                     "open 0", "reset", "close", "reset", "close", "open 0", "reset", "close"}));
    EXPECT_FALSE(service.open);
}

TEST_F(MidiOutPortTest, WordsGoOneCallEachInOrderToTheOpenOutput) {
    WithDevices({"Synth A"});
    ASSERT_EQ(port.Pick(2), 0);
    const auto kit = DrumKitSelect(kVendorYamaha);
    for (const ShortMessage word : kit) port.SendShortMessage(word);
    port.SendShortMessage(HiHatTick());
    EXPECT_EQ(service.delivered, (std::vector<ShortMessage>{kit[0], kit[1], kit[2], HiHatTick()}));
    EXPECT_EQ(std::count(service.calls.begin(), service.calls.end(), "send"), 4);
}

TEST_F(MidiOutPortTest, AfterAFailedOpenThePreviousOutputIsClosedAndWordsGoNowhere) {
    service.failingOpens = {1};
    WithDevices({"Synth A", "Synth B"});
    ASSERT_EQ(port.Pick(2), 0);
    port.SendShortMessage(HiHatTick());
    ASSERT_NE(port.Pick(3), 0);
    port.SendShortMessage(ChannelVolumeMessage(1, 7, 27));
    port.SendShortMessage(HiHatTick());
    EXPECT_EQ(service.delivered, std::vector<ShortMessage>{HiHatTick()});
    EXPECT_FALSE(service.open);
    EXPECT_EQ(service.opened, std::vector<unsigned>{0});
}

}  // namespace
}  // namespace faderwell::test
