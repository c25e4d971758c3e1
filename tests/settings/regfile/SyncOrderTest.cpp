// The order in which a save reaches the disk: the new text is written to a
// temporary file, that file is synced, renamed over the settings file, and
// the directory is synced so the rename itself lasts. Leaving out either sync
// changes nothing a test could read back, so the calls themselves are
// watched: this executable is linked with the file calls wrapped
// (--wrap=write,fsync,fdatasync,rename), and each wrapper notes its call
// before passing it on.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "../LoadCases.h"
#include "settings/AccessSettings.h"
#include "settings/regfile/RegFileRegistry.h"

namespace {

namespace fs = std::filesystem;

bool recording = false;
std::vector<std::string> calls;

std::string PathOf(int fd) {
    std::error_code error;
    return fs::read_symlink("/proc/self/fd/" + std::to_string(fd), error).string();
}

/// Notes a call on `fd`, once for a run of the same call (a write may take
/// several).
void Note(const char* call, int fd) {
    struct stat info {};
    if (!recording || ::fstat(fd, &info) != 0 || !(S_ISREG(info.st_mode) || S_ISDIR(info.st_mode)))
        return;
    std::string entry = std::string(call) + " " + PathOf(fd);
    if (calls.empty() || calls.back() != entry)
        calls.push_back(std::move(entry));
}

}  // namespace

extern "C" {
ssize_t __real_write(int fd, const void* data, size_t size);
int __real_fsync(int fd);
int __real_fdatasync(int fd);
int __real_rename(const char* from, const char* to);

ssize_t __wrap_write(int fd, const void* data, size_t size) {
    Note("write", fd);
    return __real_write(fd, data, size);
}
int __wrap_fsync(int fd) {
    Note("sync", fd);
    return __real_fsync(fd);
}
int __wrap_fdatasync(int fd) {
    Note("sync", fd);
    return __real_fdatasync(fd);
}
int __wrap_rename(const char* from, const char* to) {
    if (recording) {
        calls.push_back("rename " + fs::weakly_canonical(from).string() + " " +
                        fs::weakly_canonical(to).string());
    }
    return __real_rename(from, to);
}
}

namespace faderwell {
namespace {

TEST(SaveOrder, WritesSyncsTheFileRenamesAndSyncsTheDirectory) {
    std::string pattern = (fs::temp_directory_path() / "faderwell-sync-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    const fs::path directory = fs::canonical(pattern);
    const fs::path path = directory / "faderwell.reg";
    RegFileRegistry registry(path);
    ProcessValues values{2, 5, 1, "Synth"};
    ASSERT_EQ(Access(registry, values, SettingsStore::kLoad), std::nullopt);  // makes the file

    recording = true;
    const auto error = Access(registry, values, SettingsStore::kSave);
    recording = false;
    fs::remove_all(directory);

    ASSERT_EQ(error, std::nullopt);
    ASSERT_EQ(calls.size(), 4U) << testing::PrintToString(calls);
    const std::string temporary = calls[0].substr(std::string("write ").size());
    EXPECT_EQ(fs::path(temporary).parent_path(), directory) << "written beside the file";
    EXPECT_EQ(calls, (std::vector<std::string>{
                         "write " + temporary,
                         "sync " + temporary,
                         "rename " + temporary + " " + path.string(),
                         "sync " + directory.string(),
                     }));
}

}  // namespace
}  // namespace faderwell
