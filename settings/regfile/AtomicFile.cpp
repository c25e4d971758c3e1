#include "settings/regfile/AtomicFile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <optional>
#include <string>
#include <system_error>
#include <utility>

namespace faderwell {

namespace {

constexpr int kMaxSymlinkHops = 40;
/// Each try lost a new temporary file to another save's clean-up, which
/// needs that save to land in the microseconds between two calls of ours.
constexpr int kMaxTemporaryAttempts = 16;
constexpr mode_t kNewFileMode = 0600;  // settings are the user's own business

class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor(FileDescriptor&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    ~FileDescriptor() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    int get() const { return fd_; }
    /// Closes now, reporting whether the close succeeded.
    bool Close() {
        const int fd = std::exchange(fd_, -1);
        return fd < 0 || ::close(fd) == 0;
    }

private:
    int fd_{-1};
};

bool WriteAll(int fd, std::string_view text) {
    while (!text.empty()) {
        const ssize_t count = ::write(fd, text.data(), text.size());
        if (count < 0 && errno == EINTR)
            continue;
        if (count <= 0)
            return false;
        text.remove_prefix(static_cast<std::size_t>(count));
    }
    return true;
}

bool SyncDirectory(const std::filesystem::path& directory) {
    FileDescriptor fd(::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    return fd.get() >= 0 && ::fsync(fd.get()) == 0 && fd.Close();
}

constexpr std::string_view kTemporarySuffix = "XXXXXX";  // mkstemp's pattern

/// ".faderwell.reg." for "faderwell.reg": how its temporary files begin.
std::string TemporaryPrefix(const std::filesystem::path& path) {
    // Appended piece by piece: GCC 12 at -O2 takes "." + std::string for an
    // overlapping copy (-Wrestrict).
    std::string prefix = ".";
    prefix += path.filename().string();
    prefix += '.';
    return prefix;
}

/// Removes the temporary files that saves killed mid-write left beside
/// `path`. A save holds a lock on its temporary file from creation until the
/// rename is done, so a file whose lock can be taken belongs to no running
/// save. The name must still be that file's when the lock is had: a save
/// that ended meanwhile has renamed it away.
void RemoveLeftovers(const std::filesystem::path& directory, const std::filesystem::path& path) {
    const std::string prefix = TemporaryPrefix(path);
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(directory, error)) {
        const std::string name = entry.path().filename().string();
        if (name.size() != prefix.size() + kTemporarySuffix.size() || !name.starts_with(prefix))
            continue;
        FileDescriptor fd(
            ::open(entry.path().c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
        struct stat locked {};
        struct stat named {};
        if (fd.get() >= 0 && ::fstat(fd.get(), &locked) == 0 && S_ISREG(locked.st_mode) &&
            ::flock(fd.get(), LOCK_EX | LOCK_NB) == 0 &&
            ::lstat(entry.path().c_str(), &named) == 0 && named.st_dev == locked.st_dev &&
            named.st_ino == locked.st_ino) {
            ::unlink(entry.path().c_str());
        }
    }
}

/// A new temporary file beside the file it will replace, locked. Another
/// save's clean-up may take the lock between the creation and ours and
/// remove the file; then the next name is tried.
std::optional<std::pair<FileDescriptor, std::string>> CreateLockedTemporary(
    const std::filesystem::path& directory, const std::filesystem::path& path) {
    for (int attempt = 0; attempt < kMaxTemporaryAttempts; ++attempt) {
        std::string temporary =
            (directory / (TemporaryPrefix(path) + std::string(kTemporarySuffix))).string();
        FileDescriptor fd(::mkstemp(temporary.data()));
        if (fd.get() < 0)
            return std::nullopt;
        struct stat info {};
        if (::flock(fd.get(), LOCK_EX | LOCK_NB) == 0 && ::fstat(fd.get(), &info) == 0 &&
            info.st_nlink > 0) {
            return std::pair{std::move(fd), std::move(temporary)};
        }
        // Whoever holds the lock removes the file; one we hold but lost to
        // that clean-up has no name left to remove.
    }
    return std::nullopt;
}

}  // namespace

std::filesystem::path ResolveSymlinks(std::filesystem::path path) {
    std::error_code error;
    for (int hop = 0; hop < kMaxSymlinkHops && std::filesystem::is_symlink(path, error); ++hop) {
        const std::filesystem::path link = std::filesystem::read_symlink(path, error);
        if (error)
            break;
        path = link.is_absolute() ? link : path.parent_path() / link;
    }
    return path;
}

ReadStatus ReadWholeFile(const std::filesystem::path& path, std::size_t maxSize,
                         std::string& text) {
    // Without O_NONBLOCK a FIFO in the file's place would hang start-up until
    // someone opened it for writing; a regular file ignores the flag.
    FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (fd.get() < 0)
        return errno == ENOENT ? ReadStatus::kMissing : ReadStatus::kFailed;
    struct stat info {};
    if (::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode) ||
        static_cast<std::uintmax_t>(info.st_size) > maxSize) {
        return ReadStatus::kFailed;
    }
    text.clear();
    char buffer[16384];
    while (true) {
        const ssize_t count = ::read(fd.get(), buffer, sizeof buffer);
        if (count < 0 && errno == EINTR)
            continue;
        if (count < 0)
            return ReadStatus::kFailed;
        if (count == 0)
            break;
        text.append(buffer, static_cast<std::size_t>(count));
        if (text.size() > maxSize)
            return ReadStatus::kFailed;  // grew meanwhile
    }
    return ReadStatus::kRead;
}

bool ReplaceFile(const std::filesystem::path& path, std::string_view text) {
    std::filesystem::path directory = path.parent_path();
    if (directory.empty())
        directory = ".";
    mode_t mode = kNewFileMode;
    struct stat info {};
    if (::stat(path.c_str(), &info) == 0) {
        mode = info.st_mode & 07777;
        // The rename would replace a file its owner made read-only; refuse,
        // as the registry refuses a key the user may not write.
        if (::faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) != 0)
            return false;
    }

    RemoveLeftovers(directory, path);
    auto created = CreateLockedTemporary(directory, path);
    if (!created)
        return false;
    auto& [fd, temporary] = *created;
    // The lock (and so the descriptor) is held until the rename is done, or
    // the file removed: until then another save's clean-up takes the file
    // for a killed save's leftover.
    const bool replaced = WriteAll(fd.get(), text) && ::fchmod(fd.get(), mode) == 0 &&
                          ::fsync(fd.get()) == 0 && ::rename(temporary.c_str(), path.c_str()) == 0;
    if (!replaced)
        ::unlink(temporary.c_str());
    if (!fd.Close() || !replaced)
        return false;
    // The rename itself must reach the disk before the write counts as done.
    return SyncDirectory(directory);
}

}  // namespace faderwell
