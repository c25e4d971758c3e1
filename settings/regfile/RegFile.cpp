#include "settings/regfile/RegFile.h"

#include <algorithm>

#include "settings/RegistryKey.h"

namespace faderwell {

namespace {

constexpr std::string_view kBom = "\xEF\xBB\xBF";
constexpr std::size_t kWrapColumn = 78;  // where the registry editor wraps hex data

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string_view TrimLeft(std::string_view s) {
    while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
    return s;
}

std::string_view TrimRight(std::string_view s) {
    while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
    return s;
}

char AsciiLower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool IEquals(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return AsciiLower(x) == AsciiLower(y);
           });
}

bool IStartsWith(std::string_view s, std::string_view prefix) {
    return s.size() >= prefix.size() && IEquals(s.substr(0, prefix.size()), prefix);
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

/// 1 to `maxDigits` hex digits and nothing else.
std::optional<std::uint32_t> ParseHexNumber(std::string_view s, std::size_t maxDigits) {
    if (s.empty() || s.size() > maxDigits)
        return std::nullopt;
    std::uint32_t number = 0;
    for (const char c : s) {
        const int digit = HexDigit(c);
        if (digit < 0)
            return std::nullopt;
        number = (number << 4) | static_cast<std::uint32_t>(digit);
    }
    return number;
}

/// Well-formed UTF-8 without NUL: no stray or missing continuation bytes, no
/// overlong forms, no surrogates, nothing above U+10FFFF.
bool IsCleanUtf8(std::string_view s) {
    std::size_t i = 0;
    while (i < s.size()) {
        const auto lead = static_cast<unsigned char>(s[i]);
        if (lead == 0)
            return false;
        std::size_t length = 0;
        std::uint32_t min = 0;
        std::uint32_t code = 0;
        if (lead < 0x80) {
            ++i;
            continue;
        } else if ((lead & 0xE0) == 0xC0) {
            length = 2, min = 0x80, code = lead & 0x1F;
        } else if ((lead & 0xF0) == 0xE0) {
            length = 3, min = 0x800, code = lead & 0x0F;
        } else if ((lead & 0xF8) == 0xF0) {
            length = 4, min = 0x10000, code = lead & 0x07;
        } else {
            return false;
        }
        if (s.size() - i < length)
            return false;
        for (std::size_t k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(s[i + k]);
            if ((next & 0xC0) != 0x80)
                return false;
            code = (code << 6) | (next & 0x3F);
        }
        if (code < min || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
            return false;
        i += length;
    }
    return true;
}

/// The line without its line end, "\n" or "\r\n". A carriage return of its
/// own is no line end: it stays in the line, where only a comment accepts it.
std::string_view Content(std::string_view line) {
    if (line.ends_with("\r\n")) {
        line.remove_suffix(2);
    } else if (line.ends_with('\n')) {
        line.remove_suffix(1);
    }
    return line;
}

/// Whether the last line of `text` is blank.
bool EndsWithBlankLine(std::string_view text) {
    const std::string_view content = Content(text);
    const std::size_t newline = content.rfind('\n');
    return TrimLeft(content.substr(newline == std::string_view::npos ? 0 : newline + 1)).empty();
}

/// A quoted string with the registry editor's escapes (\\ and \"), starting
/// at the opening quote. Sets `rest` to what follows the closing quote.
std::optional<std::string> ParseQuoted(std::string_view s, std::string_view& rest) {
    if (s.empty() || s.front() != '"')
        return std::nullopt;
    std::string text;
    for (std::size_t i = 1; i < s.size(); ++i) {
        const char c = s[i];
        if (c == '"') {
            rest = s.substr(i + 1);
            return text;
        }
        if (c == '\\') {
            if (i + 1 >= s.size() || (s[i + 1] != '\\' && s[i + 1] != '"'))
                return std::nullopt;
            text += s[++i];
        } else {
            text += c;
        }
    }
    return std::nullopt;  // not closed on this line
}

std::optional<std::vector<std::uint8_t>> ParseHexBytes(std::string_view list) {
    std::vector<std::uint8_t> bytes;
    list = TrimRight(TrimLeft(list));
    if (list.empty())
        return bytes;
    while (true) {
        const std::size_t comma = list.find(',');
        const std::string_view item = TrimRight(TrimLeft(list.substr(0, comma)));
        const auto byte = ParseHexNumber(item, 2);
        if (!byte)
            return std::nullopt;
        bytes.push_back(static_cast<std::uint8_t>(*byte));
        if (comma == std::string_view::npos)
            return bytes;
        list = list.substr(comma + 1);
    }
}

/// The data after "=": a deletion (empty value), or a value; nothing when
/// malformed. Hex data arrives with its continuation lines already joined.
std::optional<std::optional<RegValue>> ParseData(std::string_view data) {
    data = TrimRight(data);
    if (data == "-")
        return std::optional<RegValue>{};
    if (!data.empty() && data.front() == '"') {
        std::string_view rest;
        const auto text = ParseQuoted(data, rest);
        if (!text || !TrimRight(rest).empty())
            return std::nullopt;
        RegValue value{regtype::kSz, {text->begin(), text->end()}};
        value.data.push_back(0);
        return value;
    }
    if (IStartsWith(data, "dword:")) {
        const auto number = ParseHexNumber(data.substr(6), 8);
        if (!number)
            return std::nullopt;
        RegValue value{regtype::kDword, {}};
        for (int shift = 0; shift < 32; shift += 8) {
            value.data.push_back(static_cast<std::uint8_t>(*number >> shift));
        }
        return value;
    }
    std::uint32_t type = regtype::kBinary;
    if (IStartsWith(data, "hex:")) {
        data.remove_prefix(4);
    } else if (IStartsWith(data, "hex(")) {
        const std::size_t close = data.find("):");
        if (close == std::string_view::npos)
            return std::nullopt;
        const auto number = ParseHexNumber(data.substr(4, close - 4), 8);
        if (!number)
            return std::nullopt;
        type = *number;
        data.remove_prefix(close + 2);
    } else {
        return std::nullopt;
    }
    auto bytes = ParseHexBytes(data);
    if (!bytes)
        return std::nullopt;
    return RegValue{type, std::move(*bytes)};
}

/// Appends `text` in quotes, with the registry editor's escapes.
void AppendQuoted(std::string& line, std::string_view text) {
    line += '"';
    for (const char c : text) {
        if (c == '\\' || c == '"')
            line += '\\';
        line += c;
    }
    line += '"';
}

/// Text that reads back identically from a quoted string: terminated by its
/// one NUL, on one line, valid UTF-8.
bool FitsQuotedString(const RegValue& value) {
    if (value.data.empty() || value.data.back() != 0)
        return false;
    const std::string_view text(reinterpret_cast<const char*>(value.data.data()),
                                value.data.size() - 1);
    return text.find_first_of(std::string_view("\r\n\0", 3)) == std::string_view::npos &&
           IsCleanUtf8(text);
}

constexpr char kHexDigits[] = "0123456789abcdef";

}  // namespace

std::optional<RegFile> RegFile::Parse(std::string_view text) {
    if (text.size() > kMaxSize || !IsCleanUtf8(text))
        return std::nullopt;
    RegFile file;
    if (text.empty())
        return file;

    std::vector<std::string_view> lines;
    for (std::size_t start = 0; start < text.size();) {
        const std::size_t end = text.find('\n', start);
        const std::size_t next = end == std::string_view::npos ? text.size() : end + 1;
        lines.push_back(text.substr(start, next - start));
        start = next;
    }

    std::string_view first = Content(lines.front());
    if (first.substr(0, kBom.size()) == kBom)
        first.remove_prefix(kBom.size());
    first = TrimRight(first);
    if (first != kHeader && first != kOldHeader)
        return std::nullopt;
    if (lines.front().ends_with("\r\n"))
        file.lineEnd_ = "\r\n";
    file.chunks_.push_back(Chunk{Kind::kHeader, std::string(lines.front()), {}, {}});

    std::optional<std::string> section;
    for (std::size_t i = 1; i < lines.size(); ++i) {
        const std::string_view line = TrimLeft(Content(lines[i]));
        if (line.empty() || line.front() == ';') {
            // A run of blank lines and comments is one chunk, so that a file
            // of nothing else costs no more than its text.
            if (file.chunks_.back().kind == Kind::kOther) {
                file.chunks_.back().text += lines[i];
            } else {
                file.chunks_.push_back(Chunk{Kind::kOther, std::string(lines[i]), {}, {}});
            }
            continue;
        }
        if (line.front() == '[') {
            const std::string_view header = TrimRight(line);
            if (header.size() < 3 || header.back() != ']')
                return std::nullopt;
            section = std::string(header.substr(1, header.size() - 2));
            file.chunks_.push_back(Chunk{Kind::kSection, std::string(lines[i]), *section, {}});
            continue;
        }
        if (!section || (line.front() != '"' && line.front() != '@'))
            return std::nullopt;

        Chunk chunk{Kind::kValue, std::string(lines[i]), *section, {}};
        std::string_view rest;
        if (line.front() == '@') {
            rest = line.substr(1);
        } else {
            const auto name = ParseQuoted(line, rest);
            if (!name)
                return std::nullopt;
            chunk.entry.name = *name;
        }
        rest = TrimLeft(rest);
        if (rest.empty() || rest.front() != '=')
            return std::nullopt;
        std::string data(TrimLeft(rest.substr(1)));
        if (IStartsWith(data, "hex")) {
            // A trailing backslash carries hex data on to the next line.
            while (TrimRight(data).ends_with('\\')) {
                if (!lines[i].ends_with('\n') || i + 1 >= lines.size())
                    return std::nullopt;
                // In place: copying the joined data each time would be quadratic.
                while (IsBlank(data.back())) data.pop_back();
                data.pop_back();
                ++i;
                chunk.text += lines[i];
                data += TrimLeft(Content(lines[i]));
            }
        }
        const auto value = ParseData(data);
        if (!value)
            return std::nullopt;
        chunk.entry.value = *value;
        file.chunks_.push_back(std::move(chunk));
    }
    return file;
}

std::string RegFile::Serialize() const {
    std::string text;
    for (const Chunk& chunk : chunks_) text += chunk.text;
    return text;
}

std::vector<RegSection> RegFile::Sections() const {
    std::vector<RegSection> sections;
    for (const Chunk& chunk : chunks_) {
        if (chunk.kind == Kind::kSection)
            sections.push_back(RegSection{chunk.keyPath, {}});
        if (chunk.kind == Kind::kValue)
            sections.back().entries.push_back(chunk.entry);
    }
    return sections;
}

bool RegFile::HasKey(std::string_view keyPath) const {
    return LastSection(keyPath).has_value();
}

std::optional<std::size_t> RegFile::LastSection(std::string_view keyPath) const {
    std::optional<std::size_t> found;
    for (std::size_t i = 0; i < chunks_.size(); ++i) {
        if (chunks_[i].kind == Kind::kSection && IEquals(chunks_[i].keyPath, keyPath))
            found = i;
    }
    return found;
}

std::optional<std::size_t> RegFile::FindEntry(std::string_view keyPath,
                                              std::string_view name) const {
    std::optional<std::size_t> found;
    for (std::size_t i = 0; i < chunks_.size(); ++i) {
        const Chunk& chunk = chunks_[i];
        if (chunk.kind == Kind::kValue && IEquals(chunk.keyPath, keyPath) &&
            IEquals(chunk.entry.name, name)) {
            found = i;
        }
    }
    return found;
}

std::optional<RegValue> RegFile::Find(std::string_view keyPath, std::string_view name) const {
    const auto index = FindEntry(keyPath, name);
    if (!index)
        return std::nullopt;
    return chunks_[*index].entry.value;
}

void RegFile::EnsureHeader() {
    if (chunks_.empty()) {
        chunks_.push_back(Chunk{Kind::kHeader, std::string(kHeader) + lineEnd_, {}, {}});
    }
}

void RegFile::EndLastLine() {
    if (!chunks_.empty() && !chunks_.back().text.ends_with('\n'))
        chunks_.back().text += lineEnd_;
}

void RegFile::AddKey(std::string_view keyPath) {
    if (HasKey(keyPath))
        return;
    EnsureHeader();
    EndLastLine();
    // Sections are set apart by a blank line, and the file ends with one.
    if (chunks_.back().kind != Kind::kOther || !EndsWithBlankLine(chunks_.back().text)) {
        chunks_.push_back(Chunk{Kind::kOther, lineEnd_, {}, {}});
    }
    const std::string path(keyPath);
    chunks_.push_back(Chunk{Kind::kSection, "[" + path + "]" + lineEnd_, path, {}});
    chunks_.push_back(Chunk{Kind::kOther, lineEnd_, {}, {}});
}

void RegFile::Set(std::string_view keyPath, std::string_view name, const RegValue& value) {
    if (const auto index = FindEntry(keyPath, name)) {
        // The line keeps its name as spelled and its line end.
        Chunk& chunk = chunks_[*index];
        const std::string text = FormatValue(chunk.entry.name, value, lineEnd_);
        const std::string_view old = chunk.text;
        const std::string_view ending = old.ends_with("\r\n") ? "\r\n"
                                        : old.ends_with('\n') ? "\n"
                                                              : "";
        chunk.text = text + std::string(ending);
        chunk.entry.value = value;
        return;
    }
    AddKey(keyPath);
    const std::string text = FormatValue(name, value, lineEnd_);
    // The new line goes after the last value of the key's last section.
    std::size_t after = *LastSection(keyPath);
    for (std::size_t i = after + 1; i < chunks_.size() && chunks_[i].kind != Kind::kSection; ++i) {
        if (chunks_[i].kind == Kind::kValue)
            after = i;
    }
    if (!chunks_[after].text.ends_with('\n'))
        chunks_[after].text += lineEnd_;
    Chunk chunk{Kind::kValue, text + lineEnd_, chunks_[after].keyPath, {std::string(name), value}};
    chunks_.insert(chunks_.begin() + static_cast<std::ptrdiff_t>(after) + 1, std::move(chunk));
}

std::string RegFile::FormatValue(std::string_view name, const RegValue& value,
                                 std::string_view lineEnd) {
    std::string line;
    if (name.empty()) {
        line += '@';
    } else {
        AppendQuoted(line, name);
    }
    line += '=';
    if (value.type == regtype::kSz && FitsQuotedString(value)) {
        const std::string_view text(reinterpret_cast<const char*>(value.data.data()),
                                    value.data.size() - 1);
        AppendQuoted(line, text);
        return line;
    }
    if (value.type == regtype::kDword && value.data.size() == 4) {
        line += "dword:";
        for (int i = 3; i >= 0; --i) {
            line += kHexDigits[value.data[static_cast<std::size_t>(i)] >> 4];
            line += kHexDigits[value.data[static_cast<std::size_t>(i)] & 0xF];
        }
        return line;
    }
    if (value.type == regtype::kBinary) {
        line += "hex:";
    } else {
        std::string number;
        for (std::uint32_t type = value.type; number.empty() || type != 0; type >>= 4) {
            number.insert(number.begin(), kHexDigits[type & 0xF]);
        }
        line += "hex(" + number + "):";
    }
    // Long data wraps like the registry editor's: ",\" then two spaces.
    std::string text;
    for (std::size_t i = 0; i < value.data.size(); ++i) {
        const bool last = i + 1 == value.data.size();
        if (line.size() + (last ? 2 : 3) > kWrapColumn && line.back() == ',') {
            text += line + "\\" + std::string(lineEnd);
            line = "  ";
        }
        line += kHexDigits[value.data[i] >> 4];
        line += kHexDigits[value.data[i] & 0xF];
        if (!last)
            line += ',';
    }
    return text + line;
}

}  // namespace faderwell
