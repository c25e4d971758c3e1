#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>

namespace faderwell {

/// The file the path finally names, so that a symlinked file stays a symlink
/// and its target is what gets replaced.
std::filesystem::path ResolveSymlinks(std::filesystem::path path);

enum class ReadStatus { kRead, kMissing, kFailed };

/// Reads the whole file into `text`, refusing anything that is not a regular
/// file or is bigger than `maxSize` (also when it grows while being read). A
/// FIFO in the file's place fails at once instead of blocking.
ReadStatus ReadWholeFile(const std::filesystem::path& path, std::size_t maxSize, std::string& text);

/// Replaces `path` with `text` so that a crash, a kill or a full disk leaves
/// either the old file or the new one whole: a temporary file beside it is
/// written and flushed, then renamed over it, and the directory is flushed.
/// A new file is the user's own (0600); a replaced one keeps its mode, and
/// one its owner may not write is refused. Temporary files that killed saves
/// left behind are removed on the way.
bool ReplaceFile(const std::filesystem::path& path, std::string_view text);

}  // namespace faderwell
