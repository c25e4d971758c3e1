// The settings store over the real registry, under a key of the test's own
// below HKEY_CURRENT_USER that is removed again afterwards: value types and
// sizes as the registry itself reports them, and the stored bytes read back
// with the registry's own functions.
#include <gtest/gtest.h>

#include <windows.h>

#include <array>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "core/Failure.h"
#include "settings/AccessSettings.h"
#include "settings/WindowsRegistry.h"

namespace faderwell {
namespace {

struct Stored {
    DWORD type{REG_BINARY};
    std::vector<BYTE> bytes;
    bool operator==(const Stored&) const = default;
};
using Values = std::map<std::string, Stored>;

Stored Binary(std::vector<BYTE> bytes) {
    return {REG_BINARY, std::move(bytes)};
}

std::array<std::int32_t, 3> Variables(const ProcessValues& v) {
    return {v.MidiOutIndex, v.SpeedStep, v.Vendor};
}

class WindowsRegistryTest : public testing::Test {
protected:
    static constexpr const char* kTestsKey = "SOFTWARE\\FaderwellTests";

    void SetUp() override {
        // The process id keeps test processes that run at once apart.
        root_ = std::string(kTestsKey) + "\\" + std::to_string(GetCurrentProcessId());
        keyPath_ = root_ + "\\VELDRIN\\FADERWELL";
        RegDeleteTreeA(HKEY_CURRENT_USER, root_.c_str());
    }
    void TearDown() override {
        RegDeleteTreeA(HKEY_CURRENT_USER, root_.c_str());
        RegDeleteKeyA(HKEY_CURRENT_USER, kTestsKey);  // when no other test process holds keys there
        HKEY left = nullptr;
        EXPECT_NE(RegOpenKeyExA(HKEY_CURRENT_USER, root_.c_str(), 0, KEY_READ, &left),
                  ERROR_SUCCESS);
    }

    void Store(const Values& values) {
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, keyPath_.c_str(), 0, nullptr,
                                  REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        for (const auto& [name, value] : values) {
            EXPECT_EQ(RegSetValueExA(key, name.c_str(), 0, value.type, value.bytes.data(),
                                     static_cast<DWORD>(value.bytes.size())),
                      ERROR_SUCCESS);
        }
        RegCloseKey(key);
    }

    /// Every value in the key as the registry reports it; nothing when there is no key.
    std::optional<Values> InRegistry() const {
        HKEY key = nullptr;
        if (RegOpenKeyExA(HKEY_CURRENT_USER, keyPath_.c_str(), 0, KEY_READ, &key) !=
            ERROR_SUCCESS) {
            return std::nullopt;
        }
        Values values;
        for (DWORD index = 0;; ++index) {
            std::array<char, 256> name{};
            DWORD nameLength = name.size();
            std::array<BYTE, 64> data{};
            DWORD size = data.size();
            DWORD type = REG_NONE;
            if (RegEnumValueA(key, index, name.data(), &nameLength, nullptr, &type, data.data(),
                              &size) != ERROR_SUCCESS) {
                break;
            }
            // Read back through the query the store's own reads use.
            std::array<BYTE, 64> queried{};
            DWORD queriedSize = queried.size();
            DWORD queriedType = REG_NONE;
            EXPECT_EQ(RegQueryValueExA(key, name.data(), nullptr, &queriedType, queried.data(),
                                       &queriedSize),
                      ERROR_SUCCESS);
            values[name.data()] = {
                queriedType, std::vector<BYTE>(queried.begin(), queried.begin() + queriedSize)};
        }
        RegCloseKey(key);
        return values;
    }

    std::optional<std::string> Access(ProcessValues& values, std::uint8_t direction,
                                      const std::string& keyPath) {
        WindowsRegistry registry(keyPath);
        try {
            SettingsStore(registry, values).AccessSettings(direction);
        } catch (const Failure& failure) {
            return failure.what();
        }
        return std::nullopt;
    }
    std::optional<std::string> Access(ProcessValues& values, std::uint8_t direction) {
        return Access(values, direction, keyPath_);
    }

    std::string root_;
    std::string keyPath_;
};

std::string TypeError(const char* name) {
    return "'" + std::string(name) + "' のデータ型が不正です";
}

// Another program's value in the same key: never read, never touched.
const Values::value_type kForeign{"OTHER", {REG_SZ, {'x', 0}}};

TEST_F(WindowsRegistryTest, LoadAcceptsBinaryAndUnknownTypesOfAtMostOneByte) {
    struct Case {
        const char* label;
        std::optional<Values> stored;  // nothing: no key at all
        std::array<std::int32_t, 3> expected;
        std::optional<std::string> error;
    };
    const DWORD kQword = REG_QWORD;
    // clang-format off
    const Case cases[] = {
        {"no key", std::nullopt, {1, 3, 0}, std::nullopt},
        {"no value", Values{kForeign}, {1, 3, 0}, std::nullopt},
        {"each present",
         Values{{"MIDI_OUT", Binary({2})}, {"SPEED", Binary({200})}, {"VENDOR", Binary({2})}, kForeign},
         {2, 200, 2},
         std::nullopt},
        {"none and unknown types of one byte",
         Values{{"SPEED", {REG_NONE, {4}}}, {"VENDOR", {kQword, {1}}}},
         {1, 4, 1},
         std::nullopt},
        {"size 0 keeps the default", Values{{"MIDI_OUT", Binary({})}, {"SPEED", Binary({5})}},
         {1, 5, 0}, std::nullopt},
        {"size 2", Values{{"MIDI_OUT", Binary({2, 0})}, {"SPEED", Binary({5})}}, {1, 3, 0},
         TypeError("MIDI_OUT")},
        {"text", Values{{"MIDI_OUT", Binary({4})}, {"SPEED", {REG_SZ, {'5', 0}}}}, {4, 3, 0},
         TypeError("SPEED")},
        {"expandable text", Values{{"VENDOR", {REG_EXPAND_SZ, {}}}}, {1, 3, 0},
         TypeError("VENDOR")},
        {"number", Values{{"SPEED", {REG_DWORD, {5, 0, 0, 0}}}, {"VENDOR", Binary({2})}},
         {1, 3, 0}, TypeError("SPEED")},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        RegDeleteTreeA(HKEY_CURRENT_USER, root_.c_str());
        if (c.stored)
            Store(*c.stored);
        ProcessValues values{1, 3, 0};
        EXPECT_EQ(Access(values, SettingsStore::kLoad), c.error);
        EXPECT_EQ(Variables(values), c.expected);
        // The load creates a missing key and writes nothing.
        EXPECT_EQ(InRegistry(), c.stored.value_or(Values{}));
    }
}

TEST_F(WindowsRegistryTest, SaveWritesThreeOneByteBinariesAndLeavesOtherValuesAlone) {
    Store({kForeign, {"SPEED", {REG_DWORD, {1, 0, 0, 0}}}});
    ProcessValues values{0x1FE, 200, -1};
    EXPECT_EQ(Access(values, SettingsStore::kSave), std::nullopt);
    EXPECT_EQ(InRegistry(), (Values{{"MIDI_OUT", Binary({0xFE})},
                                    {"SPEED", Binary({200})},
                                    {"VENDOR", Binary({0xFF})},
                                    kForeign}));

    ProcessValues loaded{1, 3, 0};
    EXPECT_EQ(Access(loaded, SettingsStore::kLoad), std::nullopt);
    EXPECT_EQ(Variables(loaded), (std::array<std::int32_t, 3>{0xFE, 200, 0xFF}));
}

TEST_F(WindowsRegistryTest, AKeyThatCannotBeCreatedLoadsNothingAndFailsTheSaveAtTheFirstValue) {
    // The registry refuses a key name longer than 255 characters.
    const std::string unusable = keyPath_ + "\\" + std::string(300, 'k');
    ProcessValues values{1, 3, 0};
    EXPECT_EQ(Access(values, SettingsStore::kLoad, unusable), std::nullopt);
    EXPECT_EQ(Variables(values), (std::array<std::int32_t, 3>{1, 3, 0}));
    EXPECT_EQ(Access(values, SettingsStore::kSave, unusable), "'MIDI_OUT' の設定に失敗しました");
}

TEST_F(WindowsRegistryTest, AValueThatChangedSizeSinceTheQueryFailsTheRead) {
    Store({{"SPEED", Binary({5})}, {"VENDOR", Binary({2})}});
    WindowsRegistry registry(keyPath_);
    const auto key = registry.OpenOrCreateKey();
    ASSERT_NE(key, nullptr);
    const auto speed = key->Query("SPEED");
    const auto vendor = key->Query("VENDOR");
    ASSERT_TRUE(speed && vendor);
    EXPECT_EQ(speed->type, REG_BINARY);
    EXPECT_EQ(speed->size, 1u);

    // Another program rewrites both between the query and the read.
    Store({{"SPEED", Binary({5, 0})}, {"VENDOR", Binary({})}});
    std::uint8_t byte = 0;
    EXPECT_FALSE(key->Read("SPEED", &byte, speed->size)) << "grown";
    EXPECT_FALSE(key->Read("VENDOR", &byte, vendor->size)) << "shrunk";
    EXPECT_FALSE(key->Read("MIDI_OUT", &byte, 1)) << "gone";
}

}  // namespace
}  // namespace faderwell
