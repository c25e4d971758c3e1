#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace faderwell {

/// One registry value: its type number and its bytes, as the registry holds them
/// (text includes its terminating NUL, a 32-bit number is four bytes, low first).
struct RegValue {
    std::uint32_t type{0};
    std::vector<std::uint8_t> data;
    bool operator==(const RegValue&) const = default;
};

/// A value of one section as the file states it; `value` is empty for a
/// deletion ("NAME"=-).
struct RegEntry {
    std::string name;  // empty for the default value "@"
    std::optional<RegValue> value;
    bool operator==(const RegEntry&) const = default;
};

/// A section as the file states it, with its values in file order.
struct RegSection {
    std::string keyPath;  // as written between the brackets
    std::vector<RegEntry> entries;
    bool operator==(const RegSection&) const = default;
};

/// A registry editor export file (version 5.00 or REGEDIT4), held as the text
/// it was read from: only what is changed is written anew, so comments,
/// foreign sections and foreign values go back byte for byte.
///
/// Pure text in, text out; no I/O.
class RegFile {
public:
    /// Files bigger than this are refused; nobody's settings are that large.
    static constexpr std::size_t kMaxSize = std::size_t{1} << 20;
    static constexpr std::string_view kHeader = "Windows Registry Editor Version 5.00";
    static constexpr std::string_view kOldHeader = "REGEDIT4";

    /// A file holding nothing at all (no header yet).
    RegFile() = default;

    /// Parses `text`. Nothing when it is not a file this parser understands
    /// completely: too big, not UTF-8, a NUL byte, a missing header, a line
    /// that is neither blank, a comment, a section nor a well-formed value.
    /// An empty text is an empty file.
    static std::optional<RegFile> Parse(std::string_view text);

    /// The file's text: exactly the parsed text when nothing was changed.
    std::string Serialize() const;

    /// Every section, in file order, with what each states.
    std::vector<RegSection> Sections() const;

    /// Whether `keyPath` has a section (the names of keys and values compare
    /// without regard to ASCII case, as in the registry).
    bool HasKey(std::string_view keyPath) const;
    /// Adds an empty section for `keyPath` at the end when it has none (and
    /// the header when the file is empty).
    void AddKey(std::string_view keyPath);

    /// The value `name` of `keyPath` as an import would leave it: the last
    /// statement of it wins; nothing when it is absent or deleted.
    std::optional<RegValue> Find(std::string_view keyPath, std::string_view name) const;
    /// Sets the value `name` of `keyPath`, rewriting only the line of its last
    /// statement, or adding a line to the key's last section (the section and
    /// the header too when missing).
    void Set(std::string_view keyPath, std::string_view name, const RegValue& value);

    /// The text of one value line as this program writes it, without line end.
    static std::string FormatValue(std::string_view name, const RegValue& value,
                                   std::string_view lineEnd = "\n");

private:
    enum class Kind { kHeader, kOther, kSection, kValue };
    struct Chunk {
        Kind kind{Kind::kOther};
        std::string text;     // exactly as read (or as written), with its line ends
        std::string keyPath;  // of the section, for kSection and kValue
        RegEntry entry;       // for kValue
    };

    std::vector<Chunk> chunks_;
    std::string lineEnd_{"\n"};

    std::optional<std::size_t> FindEntry(std::string_view keyPath, std::string_view name) const;
    std::optional<std::size_t> LastSection(std::string_view keyPath) const;
    void EnsureHeader();
    void EndLastLine();
};

}  // namespace faderwell
