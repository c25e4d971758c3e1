#include <gtest/gtest.h>

#include <optional>
#include <set>
#include <string>

#include "FirstRun.h"
#include "LoadCases.h"
#include "core/Defaults.h"
#include "core/Failure.h"
#include "settings/AccessSettings.h"
#include "settings/memory/InMemoryRegistry.h"

namespace faderwell {
namespace {

using Value = InMemoryRegistry::Value;
using Values = StoredValues;

class Load : public testing::TestWithParam<LoadCase> {};

TEST_P(Load, AppliesWhatIsAcceptedAndStopsAtTheFirstError) {
    const LoadCase& c = GetParam();
    InMemoryRegistry registry;
    registry.values = c.stored;
    registry.failRead = c.failRead;
    ProcessValues values = Defaults::Values();

    EXPECT_EQ(Access(registry, values, SettingsStore::kLoad), c.error);
    EXPECT_EQ(values, c.expected);
    EXPECT_EQ(registry.values, c.stored) << "a load never writes";
}

std::string TypeError(const char* name) {
    return "'" + std::string(name) + "' のデータ型が不正です";
}
const std::optional<std::string> kFine;
Value Of(std::uint32_t type, std::vector<std::uint8_t> bytes) {
    return {type, std::move(bytes)};
}
constexpr std::uint32_t kQword = 11;  // a type the store does not know
using namespace regtype;

}  // namespace

std::vector<LoadCase> LoadCases() {
    return {
        // clang-format off
        LoadCase{"nothing_stored", {}, {1, 3, 0}, kFine},
        LoadCase{"all_three",
                 {{"MIDI_OUT", Binary({2})}, {"SPEED", Binary({5})}, {"VENDOR", Binary({2})}},
                 {2, 5, 2}, kFine},
        LoadCase{"out_of_range_bytes_unchecked_and_unsigned",
                 {{"MIDI_OUT", Binary({255})}, {"SPEED", Binary({200})}, {"VENDOR", Binary({7})}},
                 {255, 200, 7}, kFine},
        LoadCase{"speed_as_dword",
                 {{"MIDI_OUT", Binary({4})}, {"SPEED", Of(kDword, {5, 0, 0, 0})},
                  {"VENDOR", Binary({2})}},
                 {4, 3, 0}, TypeError("SPEED")},
        LoadCase{"midi_out_two_bytes",
                 {{"MIDI_OUT", Binary({2, 0})}, {"SPEED", Binary({5})}, {"VENDOR", Binary({1})}},
                 {1, 3, 0}, TypeError("MIDI_OUT")},
        LoadCase{"empty_binary_keeps_default", {{"SPEED", Binary({})}, {"VENDOR", Binary({2})}},
                 {1, 3, 2}, kFine},
        LoadCase{"none_of_one_byte", {{"SPEED", Of(kNone, {4})}}, {1, 4, 0}, kFine},
        LoadCase{"empty_none_keeps_default", {{"MIDI_OUT", Of(kNone, {})}}, {1, 3, 0}, kFine},
        LoadCase{"other_type_of_one_byte", {{"VENDOR", Of(kQword, {1})}}, {1, 3, 1}, kFine},
        LoadCase{"text_rejected",
                 {{"MIDI_OUT", Binary({3})}, {"SPEED", Binary({4})}, {"VENDOR", Of(kSz, {0})}},
                 {3, 4, 0}, TypeError("VENDOR")},
        LoadCase{"empty_text_rejected_too", {{"SPEED", Of(kSz, {})}}, {1, 3, 0},
                 TypeError("SPEED")},
        LoadCase{"expandable_text_rejected", {{"MIDI_OUT", Of(kExpandSz, {'2', 0})}}, {1, 3, 0},
                 TypeError("MIDI_OUT")},
        LoadCase{"dword_of_one_byte_rejected", {{"SPEED", Of(kDword, {5})}}, {1, 3, 0},
                 TypeError("SPEED")},
        // The chosen output's name comes beside the three bytes and never
        // fails the load: another type leaves the output to its position.
        LoadCase{"output_name",
                 {{"MIDI_OUT", Binary({2})}, {"MIDI_OUT_NAME", Text("Synth \"A\" \\ 1:in")}},
                 {2, 3, 0, "Synth \"A\" \\ 1:in"}, kFine},
        LoadCase{"output_name_of_another_type_ignored",
                 {{"MIDI_OUT", Binary({2})}, {"MIDI_OUT_NAME", Binary({1})},
                  {"SPEED", Binary({5})}, {"VENDOR", Binary({2})}},
                 {2, 5, 2}, kFine},
        LoadCase{"output_name_as_dword_ignored",
                 {{"MIDI_OUT_NAME", Of(kDword, {1, 0, 0, 0})}, {"SPEED", Binary({4})}},
                 {1, 4, 0}, kFine},
        LoadCase{"output_name_kept_when_a_later_value_fails",
                 {{"MIDI_OUT", Binary({4})}, {"MIDI_OUT_NAME", Text("b:in")},
                  {"SPEED", Of(kDword, {5, 0, 0, 0})}},
                 {4, 3, 0, "b:in"}, TypeError("SPEED")},
        LoadCase{"read_error",
                 {{"MIDI_OUT", Binary({2})}, {"SPEED", Binary({5})}, {"VENDOR", Binary({1})}},
                 {2, 3, 0}, "'SPEED' の取得に失敗しました", {"SPEED"}}};
    // clang-format on
}

namespace {

INSTANTIATE_TEST_SUITE_P(Stored, Load, testing::ValuesIn(LoadCases()),
                         [](const auto& test) { return std::string(test.param.label); });

// The in-memory key, which every call opens anew.
struct MemoryKey : testing::Test {
    std::optional<std::string> Access(ProcessValues& values, std::uint8_t direction) {
        const int opens = registry.opens;
        auto error = faderwell::Access(registry, values, direction);
        EXPECT_EQ(registry.opens, opens + 1);
        return error;
    }
    std::optional<Values> Stored() const {
        return registry.keyExists ? std::optional(registry.values) : std::nullopt;
    }
    void Store(const Values& values) {
        for (const auto& [name, value] : values) registry.values[name] = value;
    }
    InMemoryRegistry registry;
};
INSTANTIATE_TYPED_TEST_SUITE_P(Memory, FirstRun, MemoryKey);

TEST(LoadByte, ReplacesOnlyTheLowOrderByte) {
    InMemoryRegistry registry;
    registry.values = {{"SPEED", Binary({0x05})}};
    ProcessValues values{0x1234, -1, 0};
    EXPECT_EQ(Access(registry, values, SettingsStore::kLoad), std::nullopt);
    EXPECT_EQ(values.SpeedStep, static_cast<std::int32_t>(0xFFFFFF05u));
    EXPECT_EQ(values.MidiOutIndex, 0x1234);
}

TEST(Save, WritesLowOrderBytesAndLoadedOutOfRangeValuesUnchanged) {
    InMemoryRegistry registry;
    registry.values = {{"SPEED", Binary({200})}, kForeign};
    ProcessValues values = Defaults::Values();
    ASSERT_EQ(Access(registry, values, SettingsStore::kLoad), std::nullopt);
    values.MidiOutIndex = 0x1FE;
    values.Vendor = -1;
    values.MidiOutName = "ＦＬＵＩＤ \"Synth\":in";

    EXPECT_EQ(Access(registry, values, SettingsStore::kSave), std::nullopt);
    EXPECT_EQ(registry.values, (Values{{"MIDI_OUT", Binary({0xFE})},
                                       {"MIDI_OUT_NAME", Text("ＦＬＵＩＤ \"Synth\":in")},
                                       kForeign,
                                       {"SPEED", Binary({200})},
                                       {"VENDOR", Binary({0xFF})}}));
    EXPECT_EQ(values.MidiOutIndex, 0x1FE) << "a save leaves the variables alone";
}

struct SaveFailureCase {
    const char* label;
    std::set<std::string, std::less<>> failWrite;
    bool failCommit{false};
    const char* reported;  // the value the message names
    Values written;
    friend void PrintTo(const SaveFailureCase& c, std::ostream* os) { *os << c.label; }
};

class SaveFailure : public testing::TestWithParam<SaveFailureCase> {};

TEST_P(SaveFailure, KeepsWhatWasWrittenBeforeAndWritesNothingAfter) {
    const SaveFailureCase& c = GetParam();
    InMemoryRegistry registry;
    registry.failWrite = c.failWrite;
    registry.failCommit = c.failCommit;
    ProcessValues values{2, 5, 1, "Synth"};

    EXPECT_EQ(Access(registry, values, SettingsStore::kSave),
              "'" + std::string(c.reported) + "' の設定に失敗しました");
    EXPECT_EQ(registry.values, c.written);
    EXPECT_EQ(values, (ProcessValues{2, 5, 1, "Synth"}));
}

const Values::value_type kIndex{"MIDI_OUT", Binary({2})};
const Values::value_type kName{"MIDI_OUT_NAME", Text("Synth")};

INSTANTIATE_TEST_SUITE_P(
    AtEachValue, SaveFailure,
    testing::Values(
        SaveFailureCase{"MIDI_OUT", {"MIDI_OUT"}, false, "MIDI_OUT", {}},
        SaveFailureCase{"MIDI_OUT_NAME", {"MIDI_OUT_NAME"}, false, "MIDI_OUT_NAME", {kIndex}},
        SaveFailureCase{"SPEED", {"SPEED"}, false, "SPEED", {kIndex, kName}},
        SaveFailureCase{
            "VENDOR", {"VENDOR"}, false, "VENDOR", {kIndex, kName, {"SPEED", Binary({5})}}},
        // Nothing lasts when the commit fails, and the user hears of it at
        // the first value rather than being told the save went well.
        SaveFailureCase{"commit", {}, true, "MIDI_OUT", {}},
        SaveFailureCase{"commit_after_a_failed_write", {"SPEED"}, true, "MIDI_OUT", {}}),
    [](const auto& test) { return std::string(test.param.label); });

}  // namespace
}  // namespace faderwell
