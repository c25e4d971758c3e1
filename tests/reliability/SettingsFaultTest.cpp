// Settings-file faults on a real file system: each is set up, a child process
// then loads (with the defaults start-up sets) and saves (other values), and
// the test checks what the user is told and that nothing on disk changed.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <functional>
#include <random>

#include "ForkedChild.h"
#include "SettingsFiles.h"
#include "core/Defaults.h"
#include "settings/AccessSettings.h"

namespace faderwell::test {
namespace {

namespace fs = std::filesystem;

constexpr ProcessValues kStored{4, 5, 2};
constexpr ProcessValues kDefaults = Defaults::Values();
constexpr ProcessValues kChanged{7, 1, 1};
const std::string kWriteError = "'MIDI_OUT' の設定に失敗しました";

std::string Garbage(std::size_t size) {
    std::mt19937 random(20000831);
    std::string bytes(size, '\0');
    for (char& byte : bytes) byte = static_cast<char>(random() & 0xFF);
    return bytes;
}

/// The settings file as the registry editor of Windows exports it: UTF-16LE.
std::string Utf16Export() {
    const std::string text =
        "Windows Registry Editor Version 5.00\r\n\r\n"
        "[HKEY_CURRENT_USER\\SOFTWARE\\VELDRIN\\FADERWELL]\r\n"
        "\"SPEED\"=hex:05\r\n";
    std::string bytes = "\xFF\xFE";
    for (const char c : text) {
        bytes += c;
        bytes += '\0';
    }
    return bytes;
}

ChildLimits Unprivileged() {
    ChildLimits limits;
    limits.unprivileged = true;
    return limits;
}

ChildLimits SizeLimit(std::size_t bytes) {
    ChildLimits limits;
    limits.maxFileSize = bytes;
    return limits;
}

ChildLimits Timeout(unsigned seconds) {
    ChildLimits limits;
    limits.timeoutSeconds = seconds;
    return limits;
}

struct FaultCase {
    const char* label;
    std::function<void(const ScratchTree&)> setUp;
    ChildLimits limits{};
    /// Whether the fault is really in effect for the child (run there first).
    std::function<bool(const ScratchTree&)> inEffect{};
    std::string load;  // Describe() of the load
    std::string save;  // Describe() of the save
};

void PrintTo(const FaultCase& fault, std::ostream* out) {
    *out << fault.label;
}

void StoreFile(const ScratchTree& tree) {
    WriteBytes(tree.File(), StoredFile(kStored));
}

bool CannotWrite(const fs::path& path) {
    return ::faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) != 0 && errno == EACCES;
}

/// Writing one byte past `limit` really fails in the child.
std::function<bool(const ScratchTree&)> SizeLimitHolds(std::size_t limit) {
    return [limit](const ScratchTree& tree) {
        const fs::path probe = tree.Root() / "probe";
        const int fd = ::open(probe.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const std::string bytes(limit + 1, 'x');
        const bool cut = fd >= 0 && ::write(fd, bytes.data(), bytes.size()) !=
                                        static_cast<ssize_t>(bytes.size());
        if (fd >= 0)
            ::close(fd);
        ::unlink(probe.c_str());
        return cut;
    };
}

std::vector<FaultCase> Faults() {
    const std::size_t size = StoredFile(kStored).size();
    const std::string loadedStored = Describe(std::nullopt, kStored);
    const std::string silentDefaults = Describe(std::nullopt, kDefaults);
    const std::string refused = Describe(kWriteError, kChanged);
    return {
        {"directory_read_only",
         [](const ScratchTree& tree) {
             StoreFile(tree);
             fs::permissions(tree.Directory(), fs::perms::owner_read | fs::perms::owner_exec);
         },
         Unprivileged(), [](const ScratchTree& tree) { return CannotWrite(tree.Directory()); },
         loadedStored, refused},
        {"directory_read_only_without_file",
         [](const ScratchTree& tree) {
             fs::permissions(tree.Directory(), fs::perms::owner_read | fs::perms::owner_exec);
         },
         Unprivileged(), [](const ScratchTree& tree) { return CannotWrite(tree.Directory()); },
         silentDefaults, refused},
        {"file_read_only",
         [](const ScratchTree& tree) {
             StoreFile(tree);
             fs::permissions(tree.File(), fs::perms::owner_read);
         },
         Unprivileged(), [](const ScratchTree& tree) { return CannotWrite(tree.File()); },
         loadedStored, refused},
        {"file_unreadable",
         [](const ScratchTree& tree) {
             StoreFile(tree);
             fs::permissions(tree.File(), fs::perms::owner_write);
         },
         Unprivileged(),
         [](const ScratchTree& tree) {
             return ::faccessat(AT_FDCWD, tree.File().c_str(), R_OK, AT_EACCESS) != 0;
         },
         silentDefaults, refused},
        {"file_is_a_directory",
         [](const ScratchTree& tree) {
             fs::create_directories(tree.File());
             WriteBytes(tree.File() / "keep", "mine");
         },
         {},
         {},
         silentDefaults,
         refused},
        {"file_is_a_fifo",
         [](const ScratchTree& tree) {
             if (::mkfifo(tree.File().c_str(), 0600) != 0)
                 throw std::runtime_error("mkfifo");
         },
         Timeout(5),
         {},
         silentDefaults,
         refused},
        {"size_limit_zero", StoreFile, SizeLimit(0), SizeLimitHolds(0), loadedStored, refused},
        {"size_limit_mid_write", StoreFile, SizeLimit(size / 2), SizeLimitHolds(size / 2),
         loadedStored, refused},
        {"size_limit_last_byte", StoreFile, SizeLimit(size - 1), SizeLimitHolds(size - 1),
         loadedStored, refused},
        {"size_limit_without_file", [](const ScratchTree&) {}, SizeLimit(10), SizeLimitHolds(10),
         silentDefaults, refused},
        {"binary_garbage",
         [](const ScratchTree& tree) { WriteBytes(tree.File(), Garbage(4096)); },
         {},
         {},
         silentDefaults,
         refused},
        {"utf16_export",
         [](const ScratchTree& tree) { WriteBytes(tree.File(), Utf16Export()); },
         {},
         {},
         silentDefaults,
         refused},
        {"nul_inside",
         [](const ScratchTree& tree) {
             std::string text = StoredFile(kStored);
             text[text.size() / 2] = '\0';
             WriteBytes(tree.File(), text);
         },
         {},
         {},
         silentDefaults,
         refused},
        {"cut_in_a_continued_value",
         [](const ScratchTree& tree) {
             const std::string text = StoredFile(kStored);
             WriteBytes(tree.File(), text.substr(0, text.find("  16,17")));
         },
         {},
         {},
         silentDefaults,
         refused},
        {"latin1_in_a_comment",
         [](const ScratchTree& tree) {
             WriteBytes(tree.File(),
                        "REGEDIT4\n; caf\xE9\n"
                        "[HKEY_CURRENT_USER\\SOFTWARE\\VELDRIN\\FADERWELL]\n"
                        "\"SPEED\"=hex:05\n");
         },
         {},
         {},
         silentDefaults,
         refused},
    };
}

class SettingsFault : public testing::TestWithParam<FaultCase> {};

/// Loads, then saves, in a child held to the case's limits.
std::string LoadThenSave(const ScratchTree& tree, const FaultCase& fault) {
    const ChildOutcome outcome = RunInChild(fault.limits, [&] {
        if (fault.inEffect && !fault.inEffect(tree))
            return std::string("the fault is not in effect");
        ProcessValues values = kDefaults;
        std::string result = Describe(Access(tree.File(), values, SettingsStore::kLoad), values);
        values = kChanged;
        result += " | " + Describe(Access(tree.File(), values, SettingsStore::kSave), values);
        return result;
    });
    return outcome.Describe();
}

TEST_P(SettingsFault, IsReportedExactlyOnceAndLosesNothing) {
    const FaultCase& fault = GetParam();
    ScratchTree tree;
    fault.setUp(tree);
    if (fault.limits.unprivileged)
        GiveToUnprivilegedUser(tree.Root().string());
    const auto before = Snapshot(tree.Root());

    EXPECT_EQ(LoadThenSave(tree, fault), "exit 0: " + fault.load + " | " + fault.save);
    EXPECT_EQ(Snapshot(tree.Root()), before);
}

INSTANTIATE_TEST_SUITE_P(File, SettingsFault, testing::ValuesIn(Faults()),
                         [](const auto& test) { return std::string(test.param.label); });

/// The same harness with the fault taken away: the child reaches and writes
/// the file, so the refusals above come from the faults and not from the
/// harness (an unprivileged child that could not reach the tree at all would
/// "pass" every row).
class HarnessControl : public testing::TestWithParam<ChildLimits> {};

TEST_P(HarnessControl, SavesWhenNothingIsWrong) {
    ScratchTree tree;
    StoreFile(tree);
    if (GetParam().unprivileged)
        GiveToUnprivilegedUser(tree.Root().string());
    FaultCase noFault{"none", StoreFile, GetParam(), {}, "", ""};
    EXPECT_EQ(LoadThenSave(tree, noFault), "exit 0: " + Describe(std::nullopt, kStored) + " | " +
                                               Describe(std::nullopt, kChanged));
    EXPECT_EQ(ReadBytes(tree.File()), StoredFile(kChanged));
    EXPECT_EQ(TemporaryFiles(tree.File()), 0);
}

INSTANTIATE_TEST_SUITE_P(Limits, HarnessControl,
                         testing::Values(Unprivileged(), SizeLimit(StoredFile(kStored).size())),
                         [](const auto& test) {
                             return std::string(test.param.unprivileged ? "unprivileged"
                                                                        : "size_limit_just_enough");
                         });

}  // namespace
}  // namespace faderwell::test
