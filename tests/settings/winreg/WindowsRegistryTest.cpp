// The settings store over the real registry, under a key of the test's own
// below HKEY_CURRENT_USER that is removed again afterwards: value types and
// sizes as the registry itself reports them, and the stored bytes read back
// with the registry's own functions.
#include <gtest/gtest.h>

#include <windows.h>

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "../FirstRun.h"
#include "../LoadCases.h"
#include "core/Defaults.h"
#include "core/Failure.h"
#include "settings/AccessSettings.h"
#include "settings/winreg/WindowsRegistry.h"

namespace faderwell {
namespace {

using Values = StoredValues;

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

    /// Every value in the key, read back with RegQueryValueExA; nothing when
    /// there is no key.
    std::optional<Values> Stored() const {
        HKEY key = nullptr;
        if (RegOpenKeyExA(HKEY_CURRENT_USER, keyPath_.c_str(), 0, KEY_READ, &key) !=
            ERROR_SUCCESS) {
            return std::nullopt;
        }
        Values values;
        std::array<char, 256> name{};
        for (DWORD index = 0;; ++index) {
            DWORD nameLength = name.size();
            if (RegEnumValueA(key, index, name.data(), &nameLength, nullptr, nullptr, nullptr,
                              nullptr) != ERROR_SUCCESS) {
                break;
            }
            std::array<BYTE, 64> data{};
            DWORD size = data.size();
            DWORD type = REG_NONE;
            EXPECT_EQ(RegQueryValueExA(key, name.data(), nullptr, &type, data.data(), &size),
                      ERROR_SUCCESS);
            values[name.data()] = {type, std::vector<BYTE>(data.begin(), data.begin() + size)};
        }
        RegCloseKey(key);
        return values;
    }

    std::optional<std::string> Access(ProcessValues& values, std::uint8_t direction,
                                      const std::string& keyPath) {
        WindowsRegistry registry(keyPath);
        return faderwell::Access(registry, values, direction);
    }
    std::optional<std::string> Access(ProcessValues& values, std::uint8_t direction) {
        return Access(values, direction, keyPath_);
    }

    std::string root_;
    std::string keyPath_;
};

class RealRegistryLoad : public WindowsRegistryTest,
                         public testing::WithParamInterface<LoadCase> {};

TEST_P(RealRegistryLoad, TakesTheTypesAndSizesTheRegistryReports) {
    const LoadCase& c = GetParam();
    Values stored = c.stored;
    stored.insert(kForeign);
    Store(stored);
    ProcessValues values{Defaults::Values()};

    EXPECT_EQ(Access(values, SettingsStore::kLoad), c.error);
    EXPECT_EQ(values, c.expected);
    EXPECT_EQ(Stored(), stored) << "a load never writes";
}

// A read that fails for real is below.
INSTANTIATE_TEST_SUITE_P(Stored, RealRegistryLoad,
                         testing::ValuesIn(WithoutFailingReads(LoadCases())),
                         [](const auto& test) { return std::string(test.param.label); });

INSTANTIATE_TYPED_TEST_SUITE_P(Registry, FirstRun, WindowsRegistryTest);

TEST_F(WindowsRegistryTest, TheOutputNameIsAStringValueThatKeepsEveryCharacter) {
    // Beyond the ANSI code page, with the quotes and backslash a file escapes.
    const std::string name = "ＦＬＵＩＤ \"Synth\" \\ 1:in";
    ProcessValues values{3, 3, 0, name};
    ASSERT_EQ(Access(values, SettingsStore::kSave), std::nullopt);

    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, keyPath_.c_str(), 0, KEY_READ, &key), ERROR_SUCCESS);
    std::array<wchar_t, 64> text{};
    DWORD size = sizeof text;
    DWORD type = REG_NONE;
    EXPECT_EQ(RegQueryValueExW(key, L"MIDI_OUT_NAME", nullptr, &type,
                               reinterpret_cast<BYTE*>(text.data()), &size),
              ERROR_SUCCESS);
    RegCloseKey(key);
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(std::wstring(text.data()), L"\xFF26\xFF2C\xFF35\xFF29\xFF24 \"Synth\" \\ 1:in");

    ProcessValues loaded{Defaults::Values()};
    EXPECT_EQ(Access(loaded, SettingsStore::kLoad), std::nullopt);
    EXPECT_EQ(loaded, values);
}

TEST_F(WindowsRegistryTest, AKeyThatCannotBeCreatedLoadsNothingAndFailsTheSaveAtTheFirstValue) {
    // The registry refuses a key name longer than 255 characters.
    const std::string unusable = keyPath_ + "\\" + std::string(300, 'k');
    ProcessValues values{Defaults::Values()};
    EXPECT_EQ(Access(values, SettingsStore::kLoad, unusable), std::nullopt);
    EXPECT_EQ(values, (ProcessValues{1, 3, 0}));
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
