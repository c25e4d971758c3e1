#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace faderwell {

/// Registry value types, with the registry's own numbers.
namespace regtype {
inline constexpr std::uint32_t kNone = 0;
inline constexpr std::uint32_t kSz = 1;
inline constexpr std::uint32_t kExpandSz = 2;
inline constexpr std::uint32_t kBinary = 3;
inline constexpr std::uint32_t kDword = 4;
}  // namespace regtype

struct ValueInfo {
    std::uint32_t type{regtype::kNone};
    std::uint32_t size{0};  // bytes
};

/// One open settings key: the narrow layer the settings store talks to.
class RegistryKey {
public:
    virtual ~RegistryKey() = default;
    /// Type and size of a value; nothing when it does not exist or cannot be read.
    virtual std::optional<ValueInfo> Query(std::string_view name) = 0;
    /// Copies exactly `size` bytes of the value into `buffer`; false when the
    /// value is gone, has another size now, or cannot be read.
    virtual bool Read(std::string_view name, std::uint8_t* buffer, std::uint32_t size) = 0;
    /// Writes a one-byte binary value, or holds it for Commit; false when it
    /// cannot be written.
    virtual bool WriteBinaryByte(std::string_view name, std::uint8_t byte) = 0;
    /// The text of a string value (REG_SZ) in UTF-8, up to its first NUL;
    /// nothing when the value is missing, of another type, longer than
    /// `maxBytes`, or cannot be read.
    virtual std::optional<std::string> ReadText(std::string_view name, std::uint32_t maxBytes) = 0;
    /// Writes a string value (REG_SZ) holding `text` (UTF-8), or holds it
    /// for Commit; false when it cannot be written.
    virtual bool WriteText(std::string_view name, std::string_view text) = 0;
    /// Makes the writes held so far lasting, all of them or none, so that a
    /// crash never leaves some values of one save without the others; false
    /// when none could be. Keys that write at once have nothing to do.
    virtual bool Commit() { return true; }
};

/// The key the settings live in, as the registry editor writes it.
inline constexpr std::string_view kSettingsKey = "HKEY_CURRENT_USER\\SOFTWARE\\VELDRIN\\FADERWELL";
/// The same key below the current user's root, as the Windows registry opens it.
inline constexpr std::string_view kSettingsKeyPath =
    kSettingsKey.substr(std::string_view("HKEY_CURRENT_USER\\").size());

/// Where the settings key lives: kSettingsKey.
class Registry {
public:
    virtual ~Registry() = default;
    /// Opens the key, creating it and any missing key above it; null when it
    /// can be neither opened nor created.
    virtual std::unique_ptr<RegistryKey> OpenOrCreateKey() = 0;
};

}  // namespace faderwell
