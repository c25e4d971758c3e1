#pragma once

#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "core/ProcessValues.h"

namespace faderwell::test {

/// A private directory tree for one test, removed afterwards; the settings
/// file lives at <root>/veldrin/faderwell.reg.
class ScratchTree {
public:
    ScratchTree();
    ~ScratchTree();
    ScratchTree(const ScratchTree&) = delete;
    ScratchTree& operator=(const ScratchTree&) = delete;

    const std::filesystem::path& Root() const { return root_; }
    std::filesystem::path Directory() const { return root_ / "veldrin"; }
    std::filesystem::path File() const { return Directory() / "faderwell.reg"; }

private:
    std::filesystem::path root_;
};

std::string ReadBytes(const std::filesystem::path& path);
void WriteBytes(const std::filesystem::path& path, std::string_view bytes);

/// Everything below `root` (not following links): each relative path with
/// its kind, permission bits and, for files, their bytes. Two equal
/// snapshots mean nothing was created, removed, changed or left behind.
std::map<std::string, std::string> Snapshot(const std::filesystem::path& root);

/// Leftover temporary files of interrupted saves beside the settings file.
int TemporaryFiles(const std::filesystem::path& settingsFile);

/// One load or save through a fresh file-backed registry, as each run of the
/// program makes it; the failure's message when one is raised.
std::optional<std::string> Access(const std::filesystem::path& file, ProcessValues& values,
                                  std::uint8_t direction);

/// "-" or the failure's message, then the three variables: "- 4,5,2".
std::string Describe(const std::optional<std::string>& error, const ProcessValues& values);

/// A settings file as people keep them: notes, someone else's section, a
/// value of their own inside our key, and our three values.
std::string StoredFile(const ProcessValues& values);

}  // namespace faderwell::test
