// Every file of the fuzz corpus, through the real file-backed store: a file
// the parser accepts keeps everything that is not ours across repeated
// saves; a file it refuses is never written. The corpus grows with each long
// fuzz run, and so does this test.

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "SettingsFiles.h"
#include "core/Defaults.h"
#include "settings/AccessSettings.h"
#include "settings/regfile/RegFile.h"

namespace faderwell::test {
namespace {

namespace fs = std::filesystem;

constexpr int kSaves = 3;

bool IEquals(std::string_view a, std::string_view b) {
    const auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; };
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                              [&](char x, char y) { return lower(x) == lower(y); });
}

std::string_view TrimLeft(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    return s;
}

std::string_view TrimRight(std::string_view s) {
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return s;
}

std::string_view WithoutLineEnd(std::string_view line) {
    if (line.ends_with("\r\n"))
        line.remove_suffix(2);
    else if (line.ends_with('\n'))
        line.remove_suffix(1);
    return line;
}

/// The data of a statement of one of our values ("NAME"=data), if it is one.
std::optional<std::string_view> OurStatement(std::string_view line) {
    for (const std::string_view name : {"MIDI_OUT", "SPEED", "VENDOR"}) {
        if (line.size() < name.size() + 2 || line.front() != '"' ||
            !IEquals(line.substr(1, name.size()), name) || line[name.size() + 1] != '"') {
            continue;
        }
        const std::string_view rest = TrimLeft(line.substr(name.size() + 2));
        if (!rest.empty() && rest.front() == '=')
            return TrimLeft(rest.substr(1));
    }
    return std::nullopt;
}

/// The file's text without the statements of our three values in our key
/// (continuation lines included), and without the line end of its last line
/// (a save ends an unfinished last line before it adds one).
std::string Foreign(std::string_view text) {
    std::string kept;
    bool inOurKey = false;
    bool continued = false;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        const std::string_view line =
            text.substr(0, end == std::string_view::npos ? text.size() : end + 1);
        text.remove_prefix(line.size());
        const std::string_view content = TrimLeft(WithoutLineEnd(line));
        if (continued) {
            continued = TrimRight(content).ends_with('\\');
            continue;
        }
        if (content.starts_with('[')) {
            const std::string_view header = TrimRight(content);
            inOurKey =
                header.size() >= 2 && IEquals(header.substr(1, header.size() - 2), kSettingsKey);
        } else if (const auto data = inOurKey ? OurStatement(content) : std::nullopt) {
            continued = data->size() >= 3 && IEquals(data->substr(0, 3), "hex") &&
                        TrimRight(content).ends_with('\\');
            continue;
        }
        kept += line;
    }
    return std::string(WithoutLineEnd(kept));
}

/// One corpus file: kept where ours is not, or never written when refused.
void CheckCorpusFile(const fs::path& source) {
    const std::string original = ReadBytes(source);
    ScratchTree tree;
    WriteBytes(tree.File(), original);
    ProcessValues values{Defaults::Values()};
    const auto loadError = Access(tree.File(), values, SettingsStore::kLoad);

    const auto parsed = RegFile::Parse(original);
    if (!parsed) {
        EXPECT_EQ(Describe(loadError, values), "- 1,3,0");
        values = ProcessValues{7, 1, 1};
        EXPECT_EQ(Access(tree.File(), values, SettingsStore::kSave),
                  "'MIDI_OUT' の設定に失敗しました");
        EXPECT_TRUE(ReadBytes(tree.File()) == original) << "a refused file was written";
        EXPECT_EQ(TemporaryFiles(tree.File()), 0);
        return;
    }

    // Opening adds our key when it is missing, and nothing else.
    const std::string opened = ReadBytes(tree.File());
    if (parsed->HasKey(kSettingsKey)) {
        EXPECT_TRUE(opened == original);
    } else {
        EXPECT_TRUE(opened.starts_with(WithoutLineEnd(original)));
    }

    std::mt19937 random(static_cast<unsigned>(original.size()));
    for (int save = 0; save < kSaves; ++save) {
        values = ProcessValues{static_cast<std::int32_t>(random() & 0xFF),
                               static_cast<std::int32_t>(random() & 0xFF),
                               static_cast<std::int32_t>(random() & 0xFF)};
        ASSERT_EQ(Access(tree.File(), values, SettingsStore::kSave), std::nullopt);
        const std::string text = ReadBytes(tree.File());
        ProcessValues loaded{Defaults::Values()};
        ASSERT_EQ(Access(tree.File(), loaded, SettingsStore::kLoad), std::nullopt);
        EXPECT_EQ(Describe(std::nullopt, loaded), Describe(std::nullopt, values));
        EXPECT_TRUE(Foreign(text) == Foreign(opened))
            << "save " << save << " changed what is not ours:\n"
            << text;
    }
    EXPECT_EQ(TemporaryFiles(tree.File()), 0);
}

// One test over the whole corpus: it holds hundreds of files once fuzzing
// has grown it, too many for a process each.
TEST(SettingsCorpus, EveryFileKeepsWhatIsNotOursAcrossSavesOrIsNeverWritten) {
    std::vector<fs::path> files;
    for (const auto& entry : fs::directory_iterator(FADERWELL_SETTINGS_CORPUS)) {
        files.push_back(entry.path());
    }
    std::sort(files.begin(), files.end());
    ASSERT_FALSE(files.empty());
    for (const fs::path& file : files) {
        SCOPED_TRACE(file.filename().string());
        CheckCorpusFile(file);
        if (HasFatalFailure())
            return;
    }
}

}  // namespace
}  // namespace faderwell::test
