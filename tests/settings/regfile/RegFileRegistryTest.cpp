#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <ostream>
#include <sstream>
#include <string>

#include "../FirstRun.h"
#include "../LoadCases.h"
#include "core/Defaults.h"
#include "core/Failure.h"
#include "settings/AccessSettings.h"
#include "settings/regfile/RegFile.h"
#include "settings/regfile/RegFileRegistry.h"

namespace faderwell {
namespace {

namespace fs = std::filesystem;

std::string Settings(std::string_view values) {
    return "Windows Registry Editor Version 5.00\n\n"
           "[HKEY_CURRENT_USER\\SOFTWARE\\VELDRIN\\FADERWELL]\n" +
           std::string(values) + "\n";
}

class SettingsFile : public testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "faderwell-test-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        root_ = pattern;
        path_ = root_ / "config" / "veldrin" / "faderwell.reg";
    }
    void TearDown() override { fs::remove_all(root_); }

    static std::string Contents(const fs::path& path) {
        std::ifstream in(path, std::ios::binary);
        std::ostringstream text;
        text << in.rdbuf();
        return text.str();
    }
    static void Store(const fs::path& path, std::string_view text) {
        fs::create_directories(path.parent_path());
        std::ofstream(path, std::ios::binary) << text;
    }

    /// One call through a fresh registry, as each run of the program makes.
    std::optional<std::string> Access(ProcessValues& values, std::uint8_t direction) {
        RegFileRegistry registry(path_);
        return faderwell::Access(registry, values, direction);
    }

    /// Everything under the test's directory: each path with its contents,
    /// so a write that leaves a temporary file behind shows too.
    std::map<std::string, std::string> Tree() const {
        std::map<std::string, std::string> tree;
        for (const auto& entry : fs::recursive_directory_iterator(root_)) {
            tree[entry.path().string()] = entry.is_directory() ? "<dir>" : Contents(entry.path());
        }
        return tree;
    }

    /// Our key's values; nothing while there is none. What the file held
    /// stays ahead of our key, and no temporary file is left beside it.
    std::optional<StoredValues> Stored() const {
        EXPECT_LE(Tree().size(), 3u) << "a temporary file was left beside the file";
        const std::string text = Contents(path_);
        const auto file = RegFile::Parse(text);
        if (!file || !file->HasKey(kSettingsKey))
            return std::nullopt;
        const std::string lead =
            existing_.empty() ? std::string(RegFile::kHeader) + "\n" : existing_;
        EXPECT_TRUE(text.starts_with(lead + "\n[" + std::string(kSettingsKey) + "]\n")) << text;
        StoredValues values;
        for (const RegSection& section : file->Sections())
            for (const RegEntry& entry : section.entries)
                if (section.keyPath == kSettingsKey && entry.value)
                    values[entry.name] = {entry.value->type, entry.value->data};
        return values;
    }
    void Store(const StoredValues& values) {
        RegFile file = RegFile::Parse(Contents(path_)).value();
        file.AddKey(kSettingsKey);
        for (const auto& [name, value] : values)
            file.Set(kSettingsKey, name, RegValue{value.type, value.bytes});
        Store(path_, file.Serialize());
    }

    fs::path root_;
    fs::path path_;
    std::string existing_;  // what the file held before the test
};

// The first run finds neither file nor directories, or a file without our key.
class FileOfAnotherKey : public SettingsFile {
    void SetUp() override {
        SettingsFile::SetUp();
        existing_ = "REGEDIT4\n\n[HKEY_CURRENT_USER\\Other]\n\"A\"=hex:01\n";
        Store(path_, existing_);
    }
};
using FileKeys = testing::Types<SettingsFile, FileOfAnotherKey>;
INSTANTIATE_TYPED_TEST_SUITE_P(File, FirstRun, FileKeys);

TEST_F(SettingsFile, WhatTheStoreWritesReadsBackIdentically) {
    for (const std::int32_t byte : {0, 1, 2, 127, 128, 200, 255}) {
        ProcessValues saved{byte, 255 - byte, byte ^ 0x5A};
        ASSERT_EQ(Access(saved, SettingsStore::kSave), std::nullopt);
        ProcessValues loaded{Defaults::Values()};
        ASSERT_EQ(Access(loaded, SettingsStore::kLoad), std::nullopt);
        EXPECT_EQ(loaded.MidiOutIndex, saved.MidiOutIndex);
        EXPECT_EQ(loaded.SpeedStep, saved.SpeedStep);
        EXPECT_EQ(loaded.Vendor, saved.Vendor);
    }
}

TEST_F(SettingsFile, TheOutputNameGoesBesideTheIndexAndReadsBackWithQuotesAndAnyCharacter) {
    const std::string name = "ＦＬＵＩＤ \"Synth\" \\ 1:in";
    ProcessValues saved{3, 3, 0, name};
    ASSERT_EQ(Access(saved, SettingsStore::kSave), std::nullopt);
    EXPECT_EQ(Contents(path_), Settings("\"MIDI_OUT\"=hex:03\n"
                                        "\"MIDI_OUT_NAME\"=\"ＦＬＵＩＤ \\\"Synth\\\" \\\\ 1:in\"\n"
                                        "\"SPEED\"=hex:03\n\"VENDOR\"=hex:00\n"));
    // Text that a quoted string cannot hold is written as hex and reads back the same.
    for (const std::string& stored : {name, std::string("two\r\nlines")}) {
        saved.MidiOutName = stored;
        ASSERT_EQ(Access(saved, SettingsStore::kSave), std::nullopt);
        ProcessValues loaded{Defaults::Values()};
        ASSERT_EQ(Access(loaded, SettingsStore::kLoad), std::nullopt);
        EXPECT_EQ(loaded, saved);
    }
}

TEST_F(SettingsFile, ForeignValuesAndSectionsSurviveASaveByteForByte) {
    const std::string foreign =
        "Windows Registry Editor Version 5.00\r\n"
        "; my notes\r\n"
        "\r\n"
        "[HKEY_CURRENT_USER\\Software\\Someone]\r\n"
        "\"Data\"=hex:00,01,\\\r\n"
        "  02\r\n"
        "\"Removed\"=-\r\n"
        "\r\n"
        "[HKEY_CURRENT_USER\\SOFTWARE\\VELDRIN\\FADERWELL]\r\n"
        "\"Theme\"=\"dark\"\r\n"
        "\"SPEED\"=hex:05\r\n";
    Store(path_, foreign);
    ProcessValues values{Defaults::Values()};
    ASSERT_EQ(Access(values, SettingsStore::kLoad), std::nullopt);
    EXPECT_EQ(values.SpeedStep, 5);
    EXPECT_EQ(Contents(path_), foreign) << "a load writes nothing when the key exists";

    values.SpeedStep = 2;
    ASSERT_EQ(Access(values, SettingsStore::kSave), std::nullopt);
    // SPEED is rewritten in place; the new values follow the key's last value
    // with the file's own line ends.
    std::string expected = foreign;
    expected.replace(expected.find("\"SPEED\"=hex:05"), 14, "\"SPEED\"=hex:02");
    expected += "\"MIDI_OUT\"=hex:01\r\n\"VENDOR\"=hex:00\r\n";
    EXPECT_EQ(Contents(path_), expected);
}

// The shared load table, each case written as the file states it.
class FileLoad : public SettingsFile, public testing::WithParamInterface<LoadCase> {};

TEST_P(FileLoad, TakesTheTypesAndSizesTheFileStates) {
    const LoadCase& c = GetParam();
    Store(c.stored);
    const std::string text = Contents(path_);
    ProcessValues values{Defaults::Values()};

    EXPECT_EQ(Access(values, SettingsStore::kLoad), c.error) << text;
    EXPECT_EQ(values, c.expected) << text;
    EXPECT_EQ(Contents(path_), text) << "a load never writes";
}

INSTANTIATE_TEST_SUITE_P(Stored, FileLoad, testing::ValuesIn(WithoutFailingReads(LoadCases())),
                         [](const auto& test) { return std::string(test.param.label); });

// What only hand-written text holds: the editor's notations and names in
// another case.
struct TypeCase {
    const char* label;
    std::string values;
    ProcessValues expected;
    std::optional<std::string> error;
    friend void PrintTo(const TypeCase& c, std::ostream* os) { *os << c.label; }
};

class StoredTypes : public SettingsFile, public testing::WithParamInterface<TypeCase> {};

TEST_P(StoredTypes, ReachTheStoreAsTheirRegistryTypes) {
    Store(path_, Settings(GetParam().values));
    ProcessValues values{Defaults::Values()};
    EXPECT_EQ(Access(values, SettingsStore::kLoad), GetParam().error);
    EXPECT_EQ(values.MidiOutIndex, GetParam().expected.MidiOutIndex);
    EXPECT_EQ(values.SpeedStep, GetParam().expected.SpeedStep);
    EXPECT_EQ(values.Vendor, GetParam().expected.Vendor);
    EXPECT_EQ(values.MidiOutName, GetParam().expected.MidiOutName);
}

INSTANTIATE_TEST_SUITE_P(
    File, StoredTypes,
    testing::Values(
        TypeCase{
            "none_and_empty", "\"SPEED\"=hex(0):04\n\"VENDOR\"=hex:\n", {1, 4, 0}, std::nullopt},
        TypeCase{"other_type_and_case", "\"midi_out\"=hex(b):00\n", {0, 3, 0}, std::nullopt},
        TypeCase{"output_name_as_hex_is_ignored",
                 "\"MIDI_OUT_NAME\"=hex:41,00\n\"SPEED\"=hex:04\n",
                 {1, 4, 0},
                 std::nullopt}),
    [](const auto& test) { return std::string(test.param.label); });

// Where the settings cannot be written, or not understood, the key cannot be
// opened: a load keeps the defaults silently, a save fails at its first value,
// and nothing on disk changes.
enum class Place { kFile, kParentIsAFile, kFileIsADirectory, kUnknown };

struct UnusableCase {
    const char* label;
    Place place;
    std::string contents;  // what lies at the place
    friend void PrintTo(const UnusableCase& c, std::ostream* os) { *os << c.label; }
};

class Unusable : public SettingsFile, public testing::WithParamInterface<UnusableCase> {};

TEST_P(Unusable, IsAKeyThatCannotBeOpenedAndNothingIsWritten) {
    const UnusableCase& c = GetParam();
    switch (c.place) {
        case Place::kFile:
            Store(path_, c.contents);
            break;
        case Place::kParentIsAFile:
            Store(root_ / "blocker", c.contents);
            path_ = root_ / "blocker" / "veldrin" / "faderwell.reg";
            break;
        case Place::kFileIsADirectory:
            fs::create_directories(path_ / "inside");
            break;
        case Place::kUnknown:
            path_.clear();
            break;
    }
    const auto before = Tree();
    ProcessValues values{Defaults::Values()};
    EXPECT_EQ(Access(values, SettingsStore::kLoad), std::nullopt);
    EXPECT_EQ(values.SpeedStep, 3);
    values.SpeedStep = 5;
    EXPECT_EQ(Access(values, SettingsStore::kSave), "'MIDI_OUT' の設定に失敗しました");
    EXPECT_TRUE(Tree() == before) << "something on disk changed";
}

INSTANTIATE_TEST_SUITE_P(
    Places, Unusable,
    testing::Values(
        UnusableCase{"not_a_registry_file", Place::kFile, "not a registry file\n"},
        UnusableCase{"bad_hex", Place::kFile, Settings("\"SPEED\"=hex:zz\n")},
        UnusableCase{"nul_byte", Place::kFile,
                     Settings("\"SPEED\"=hex:05\n") + std::string(1, '\0')},
        UnusableCase{"not_utf8", Place::kFile, Settings("; caf\xE9\n\"SPEED\"=hex:05\n")},
        UnusableCase{"too_big", Place::kFile,
                     Settings("\"SPEED\"=hex:05\n") + std::string(RegFile::kMaxSize, ';')},
        UnusableCase{"parent_is_a_file", Place::kParentIsAFile, "precious"},
        UnusableCase{"file_is_a_directory", Place::kFileIsADirectory, ""},
        UnusableCase{"unknown_location", Place::kUnknown, ""}),
    [](const auto& test) { return std::string(test.param.label); });

TEST_F(SettingsFile, WriteThatWouldOutgrowTheLimitFailsAfterEarlierValuesAreWritten) {
    // Room for the MIDI_OUT line, not for the SPEED line after it.
    const std::string base = Settings("");
    const std::size_t midiOutLine = std::string("\"MIDI_OUT\"=hex:01\n").size();
    const std::string padding(RegFile::kMaxSize - base.size() - midiOutLine - 5, ';');
    Store(path_, base + padding + "\n");
    ProcessValues values{Defaults::Values()};
    EXPECT_EQ(Access(values, SettingsStore::kSave), "'SPEED' の設定に失敗しました");

    const std::string written = Contents(path_);
    EXPECT_LE(written.size(), RegFile::kMaxSize);
    const auto file = RegFile::Parse(written);
    ASSERT_TRUE(file.has_value());
    EXPECT_EQ(file->Find(kSettingsKey, "MIDI_OUT"), (RegValue{3, {1}}));
    EXPECT_EQ(file->Find(kSettingsKey, "SPEED"), std::nullopt);
}

TEST_F(SettingsFile, SaveThatFillsTheFileToTheLimitSucceedsAndOneByteMoreFails) {
    // How many bytes a save adds to a file that holds none of our values.
    const std::string base = Settings("");
    Store(path_, base);
    ProcessValues values{Defaults::Values()};
    ASSERT_EQ(Access(values, SettingsStore::kSave), std::nullopt);
    const std::size_t added = Contents(path_).size() - base.size();

    for (const std::size_t over : {0u, 1u}) {
        SCOPED_TRACE(over);
        const std::size_t comment = RegFile::kMaxSize - base.size() - added - 1 + over;
        Store(path_, base + std::string(comment, ';') + "\n");
        const auto error = Access(values, SettingsStore::kSave);
        if (over == 0) {
            EXPECT_EQ(error, std::nullopt);
            EXPECT_EQ(Contents(path_).size(), RegFile::kMaxSize);
            // ...and the next start reads it.
            ProcessValues loaded{Defaults::Values()};
            EXPECT_EQ(Access(loaded, SettingsStore::kLoad), std::nullopt);
        } else {
            EXPECT_EQ(error, "'VENDOR' の設定に失敗しました");
            EXPECT_LT(Contents(path_).size(), RegFile::kMaxSize);
        }
    }
}

TEST_F(SettingsFile, SymlinkedFileStaysALinkAndItsTargetKeepsItsPermissions) {
    const fs::path target = root_ / "dotfiles" / "faderwell.reg";
    Store(target, Settings(""));
    const auto readable = fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
                          fs::perms::others_read;
    fs::permissions(target, readable);
    fs::create_directories(path_.parent_path());
    fs::create_symlink(target, path_);
    ProcessValues values{2, 4, 1};
    ASSERT_EQ(Access(values, SettingsStore::kSave), std::nullopt);
    EXPECT_TRUE(fs::is_symlink(path_));
    EXPECT_EQ(Contents(target),
              Settings("\"MIDI_OUT\"=hex:02\n\"SPEED\"=hex:04\n\"VENDOR\"=hex:01\n"));
    EXPECT_EQ(fs::status(target).permissions() & fs::perms::all, readable);
}

struct PathCase {
    const char* label;
    const char* xdg;
    const char* home;
    const char* expected;
    friend void PrintTo(const PathCase& c, std::ostream* os) { *os << c.label; }
};

class DefaultPath : public testing::TestWithParam<PathCase> {};

TEST_P(DefaultPath, FollowsTheBaseDirectoryRules) {
    EXPECT_EQ(SettingsFilePathFrom(GetParam().xdg, GetParam().home), fs::path(GetParam().expected));
}

INSTANTIATE_TEST_SUITE_P(
    Environment, DefaultPath,
    testing::Values(PathCase{"xdg", "/x/cfg", "/home/u", "/x/cfg/veldrin/faderwell.reg"},
                    PathCase{"no_xdg", nullptr, "/home/u", "/home/u/.config/veldrin/faderwell.reg"},
                    PathCase{"empty_xdg", "", "/home/u", "/home/u/.config/veldrin/faderwell.reg"},
                    PathCase{"relative_xdg", "cfg", "/home/u",
                             "/home/u/.config/veldrin/faderwell.reg"},
                    PathCase{"nothing_known", nullptr, "", ""}),
    [](const auto& test) { return std::string(test.param.label); });

}  // namespace
}  // namespace faderwell
