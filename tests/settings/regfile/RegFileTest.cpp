#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "settings/RegistryKey.h"
#include "settings/regfile/RegFile.h"

namespace faderwell {

inline void PrintTo(const RegValue& v, std::ostream* os) {
    *os << "type " << v.type << " [";
    for (const auto byte : v.data) *os << " " << static_cast<int>(byte);
    *os << " ]";
}

namespace {

constexpr std::string_view kKey = kSettingsKey;

RegValue Text(std::string_view text, std::uint32_t type = regtype::kSz) {
    RegValue value{type, {text.begin(), text.end()}};
    value.data.push_back(0);
    return value;
}

RegValue Bytes(std::uint32_t type, std::size_t count) {
    RegValue value{type, {}};
    for (std::size_t i = 0; i < count; ++i) value.data.push_back(static_cast<std::uint8_t>(i * 37));
    return value;
}

RegFile ParseOrFail(std::string_view text) {
    auto file = RegFile::Parse(text);
    EXPECT_TRUE(file.has_value()) << text;
    return file ? *file : RegFile{};
}

// ---- Every type class and size goes out and comes back ----

struct FormatCase {
    const char* label;
    RegValue value;
    std::string line;  // as written; empty where only the round trip matters
    friend void PrintTo(const FormatCase& c, std::ostream* os) { *os << c.label; }
};

class Format : public testing::TestWithParam<FormatCase> {};

TEST_P(Format, WritesTheEditorsNotationAndReadsItBackIdentically) {
    const FormatCase& c = GetParam();
    if (!c.line.empty()) {
        EXPECT_EQ(RegFile::FormatValue("V", c.value), c.line);
    }

    RegFile file;
    file.Set(kKey, "V", c.value);
    const auto reread = RegFile::Parse(file.Serialize());
    ASSERT_TRUE(reread.has_value()) << file.Serialize();
    EXPECT_EQ(reread->Find(kKey, "V"), c.value) << file.Serialize();
}

INSTANTIATE_TEST_SUITE_P(
    Types, Format,
    testing::Values(
        FormatCase{"binary_one", {regtype::kBinary, {0x01}}, R"("V"=hex:01)"},
        FormatCase{"binary_empty", {regtype::kBinary, {}}, R"("V"=hex:)"},
        FormatCase{"binary_two", {regtype::kBinary, {0xAB, 0x00}}, R"("V"=hex:ab,00)"},
        FormatCase{"binary_long_wraps", Bytes(regtype::kBinary, 300), ""},
        FormatCase{"none_empty", {regtype::kNone, {}}, R"("V"=hex(0):)"},
        FormatCase{"none_one", {regtype::kNone, {0xFF}}, R"("V"=hex(0):ff)"},
        FormatCase{"dword", {regtype::kDword, {3, 0, 0, 0}}, R"("V"=dword:00000003)"},
        FormatCase{"dword_byte_order", {regtype::kDword, {1, 2, 3, 4}}, R"("V"=dword:04030201)"},
        FormatCase{"dword_of_one_byte", {regtype::kDword, {5}}, R"("V"=hex(4):05)"},
        FormatCase{"text", Text("text"), R"("V"="text")"},
        FormatCase{"text_empty", Text(""), R"("V"="")"},
        FormatCase{"text_escapes", Text(R"(a"b\c)"), R"("V"="a\"b\\c")"},
        FormatCase{"text_utf8", Text("設定"), "\"V\"=\"設定\""},
        FormatCase{"text_without_terminator", {regtype::kSz, {'a'}}, R"("V"=hex(1):61)"},
        FormatCase{"text_with_line_break", Text("a\nb"), R"("V"=hex(1):61,0a,62,00)"},
        FormatCase{"text_not_utf8", {regtype::kSz, {0xFF, 0}}, R"("V"=hex(1):ff,00)"},
        FormatCase{"text_empty_of_zero_bytes", {regtype::kSz, {}}, R"("V"=hex(1):)"},
        FormatCase{"expandable_text", Text("%P%", regtype::kExpandSz), R"("V"=hex(2):25,50,25,00)"},
        FormatCase{"qword", Bytes(11, 8), ""},
        FormatCase{"largest_type", {0xFFFFFFFFu, {1}}, R"("V"=hex(ffffffff):01)"},
        FormatCase{"multi_text_long", Bytes(7, 1000), ""}),
    [](const auto& test) { return std::string(test.param.label); });

TEST(Format, WrapsLikeTheEditorWithinEightyColumns) {
    const std::string line = RegFile::FormatValue("V", Bytes(regtype::kBinary, 100));
    std::size_t start = 0;
    int lines = 0;
    while (start < line.size()) {
        const std::size_t end = std::min(line.find('\n', start), line.size());
        EXPECT_LE(end - start, 80u);
        if (lines > 0) {
            EXPECT_EQ(line.substr(start, 2), "  ");
        }
        ++lines;
        start = end + 1;
    }
    EXPECT_GT(lines, 1);
}

// ---- What the registry editor writes reads as it means ----

struct ReadCase {
    const char* label;
    std::string text;
    std::optional<RegValue> speed;  // what SPEED of our key reads as
    friend void PrintTo(const ReadCase& c, std::ostream* os) { *os << c.label; }
};

class Read : public testing::TestWithParam<ReadCase> {};

TEST_P(Read, FindsTheValueAndKeepsTheTextExactly) {
    const RegFile file = ParseOrFail(GetParam().text);
    EXPECT_EQ(file.Find(kKey, "SPEED"), GetParam().speed);
    EXPECT_EQ(file.Serialize(), GetParam().text);
}

const std::string kHead =
    "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\SOFTWARE\\VELDRIN\\FADERWELL]\n";

INSTANTIATE_TEST_SUITE_P(
    EditorFeatures, Read,
    testing::Values(
        ReadCase{"empty_file", "", std::nullopt},
        ReadCase{"header_only", "Windows Registry Editor Version 5.00\n", std::nullopt},
        ReadCase{"plain", kHead + "\"SPEED\"=hex:05\n", RegValue{3, {5}}},
        ReadCase{"no_final_line_end", kHead + "\"SPEED\"=hex:05", RegValue{3, {5}}},
        ReadCase{"comments_and_blank_lines",
                 kHead + "; fade speed\n\n  ;indented\n\"SPEED\"=hex:05\n\n", RegValue{3, {5}}},
        ReadCase{"crlf",
                 "Windows Registry Editor Version 5.00\r\n\r\n"
                 "[HKEY_CURRENT_USER\\SOFTWARE\\VELDRIN\\FADERWELL]\r\n\"SPEED\"=hex:01,\\\r\n"
                 "  02\r\n",
                 RegValue{3, {1, 2}}},
        ReadCase{"bom", "\xEF\xBB\xBF" + kHead + "\"SPEED\"=hex:05\n", RegValue{3, {5}}},
        ReadCase{"regedit4",
                 "REGEDIT4\n\n[HKEY_CURRENT_USER\\SOFTWARE\\VELDRIN\\FADERWELL]\n"
                 "\"SPEED\"=dword:00000005\n",
                 RegValue{4, {5, 0, 0, 0}}},
        ReadCase{"continuation", kHead + "\"SPEED\"=hex(0):01,02,\\\n  03,04,\\\n  05\n",
                 RegValue{0, {1, 2, 3, 4, 5}}},
        ReadCase{"other_sections_and_deletions",
                 "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\Other]\n"
                 "\"SPEED\"=hex:09\n\"Gone\"=-\n@=\"default\"\n\n[-HKEY_CURRENT_USER\\Dead]\n\n" +
                     kHead.substr(38) + "\"SPEED\"=hex:05\n",
                 RegValue{3, {5}}},
        ReadCase{"names_and_keys_ignore_case",
                 "Windows Registry Editor Version 5.00\n\n"
                 "[hkey_current_user\\Software\\Veldrin\\Faderwell]\n\"speed\"=HEX:0A\n",
                 RegValue{3, {10}}},
        ReadCase{"last_statement_wins", kHead + "\"SPEED\"=hex:01\n\"SPEED\"=hex:02\n",
                 RegValue{3, {2}}},
        ReadCase{"deleted_in_our_key", kHead + "\"SPEED\"=hex:01\n\"SPEED\"=-\n", std::nullopt},
        ReadCase{"spaces_around_equals", kHead + "\"SPEED\" = hex: 05 \n", RegValue{3, {5}}},
        ReadCase{"binary_spelled_as_type_3", kHead + "\"SPEED\"=hex(3):05\n", RegValue{3, {5}}},
        ReadCase{"text", kHead + "\"SPEED\"=\"5\"\n", RegValue{1, {'5', 0}}},
        ReadCase{"empty_hex", kHead + "\"SPEED\"=hex:\n", RegValue{3, {}}}),
    [](const auto& test) { return std::string(test.param.label); });

TEST(Read, LargestFilesOfManyLinesReadCompletelyAndOneOverTheLimitIsRefused) {
    // Near the size limit: one value continued over 200000 lines, and a file
    // of nothing but blank lines.
    std::string continued = kHead + "\"SPEED\"=hex:";
    for (int i = 0; i < 200000; ++i) continued += "07,\\\n";
    continued += "07\n";
    ASSERT_LE(continued.size(), RegFile::kMaxSize);
    const RegFile file = ParseOrFail(continued);
    EXPECT_EQ(file.Find(kKey, "SPEED"), (RegValue{3, std::vector<std::uint8_t>(200001, 7)}));

    const std::string blank = kHead + std::string(RegFile::kMaxSize - kHead.size(), '\n');
    EXPECT_EQ(ParseOrFail(blank).Serialize(), blank);

    // Not a row of the table below: GoogleTest prints every parameter as it
    // registers the cases, and each of the suite's processes would print this
    // megabyte.
    EXPECT_FALSE(RegFile::Parse(blank + "\n").has_value());
}

// ---- Anything not understood completely is refused ----

class Malformed : public testing::TestWithParam<std::string> {};

TEST_P(Malformed, IsRefused) {
    EXPECT_FALSE(RegFile::Parse(GetParam()).has_value());
}

INSTANTIATE_TEST_SUITE_P(
    Texts, Malformed,
    testing::Values("no header\n", "\n" + kHead, "Windows Registry Editor Version 4.00\n",
                    kHead + "garbage\n", "Windows Registry Editor Version 5.00\n\"SPEED\"=hex:05\n",
                    kHead + "\"SPEED\"=\"open\n", kHead + "\"SPEED\"=\"bad \\n escape\"\n",
                    kHead + "\"SPEED\"=\"x\" trailing\n", kHead + "\"SPEED\"=hex:zz\n",
                    kHead + "\"SPEED\"=hex:123\n", kHead + "\"SPEED\"=hex:01,\n",
                    kHead + "\"SPEED\"=hex:01,,02\n", kHead + "\"SPEED\"=hex:01,\\",
                    kHead + "\"SPEED\"=hex:01,\\\n", kHead + "\"SPEED\"=hex:01,\\\n[X]\n",
                    kHead + "\"SPEED\"=hex:01,\\\n  02,\\\n\n",  // continued into a blank line
                    kHead + "\"SPEED\"=hex(1g):01\n", kHead + "\"SPEED\"=hex(123456789):01\n",
                    kHead + "\"SPEED\"=hex(:01\n", kHead + "\"SPEED\"=dword:123456789\n",
                    kHead + "\"SPEED\"=dword:\n", kHead + "\"SPEED\"=dword:1 2\n",
                    kHead + "\"SPEED\"=word:1\n", kHead + "\"SPEED\"\n", kHead + "\"SPEED\"=\n",
                    kHead + "[unclosed\n", kHead + "[X]\r", kHead + "\"A\"=hex:01\r",
                    kHead + "[]\n", kHead + std::string("\"SPEED\"=hex:05\n\0", 16),  // NUL byte
                    kHead + "; \xFF\n",                                               // not UTF-8
                    kHead + "; \xC0\xAF\n",      // overlong "/"
                    kHead + "; \xED\xA0\x80\n",  // surrogate
                    kHead + "; \xE3\x81\n"));    // cut short

// ---- A change rewrites only its own line ----

TEST(Change, KeepsEverythingElseByteForByte) {
    const std::string before =
        "\xEF\xBB\xBFWindows Registry Editor Version 5.00\n"
        "; exported by hand\n"
        "\n"
        "[HKEY_CURRENT_USER\\Software\\Other]\n"
        "\"MIDI_OUT\"=hex:07\n"
        "\"Blob\"=hex:00,01,\\\n"
        "  02\n"
        "\"Gone\"=-\n"
        "\n"
        "[HKEY_CURRENT_USER\\SOFTWARE\\VELDRIN\\FADERWELL]\n"
        "\"Mine\"=\"someone's text\"\n"
        "\"MIDI_OUT\" = dword:00000009   \n"
        "; trailing remark\n"
        "\"Later\"=hex(0):\n"
        "\n"
        "[HKEY_CURRENT_USER\\Software\\After]\n"
        "@=\"x\"\n";
    RegFile file = ParseOrFail(before);
    file.Set(kKey, "MIDI_OUT", {regtype::kBinary, {2}});
    file.Set(kKey, "SPEED", {regtype::kBinary, {5}});

    std::string after = before;
    after.replace(after.find("\"MIDI_OUT\" = dword:00000009   "), 30, "\"MIDI_OUT\"=hex:02");
    after.insert(after.find("\n\n[HKEY_CURRENT_USER\\Software\\After]") + 1, "\"SPEED\"=hex:05\n");
    EXPECT_EQ(file.Serialize(), after);

    const auto reread = RegFile::Parse(file.Serialize());
    ASSERT_TRUE(reread.has_value());
    const auto before_sections = ParseOrFail(before).Sections();
    const auto after_sections = reread->Sections();
    ASSERT_EQ(after_sections.size(), 3u);
    EXPECT_EQ(after_sections[0], before_sections[0]);
    EXPECT_EQ(after_sections[2], before_sections[2]);
}

struct ChangeCase {
    const char* label;
    std::string before;
    std::vector<std::pair<const char*, std::uint8_t>> set;  // one-byte binaries, in order
    std::string after;
    friend void PrintTo(const ChangeCase& c, std::ostream* os) { *os << c.label; }
};

class Change : public testing::TestWithParam<ChangeCase> {};

TEST_P(Change, WritesTheValuesWhereTheEditorWould) {
    RegFile file = ParseOrFail(GetParam().before);
    for (const auto& [name, byte] : GetParam().set)
        file.Set(kKey, name, {regtype::kBinary, {byte}});
    EXPECT_EQ(file.Serialize(), GetParam().after);
}

const std::string kKeyLine = kHead.substr(38);

INSTANTIATE_TEST_SUITE_P(
    Files, Change,
    testing::Values(
        ChangeCase{"new_file_holds_header_and_key",
                   "",
                   {{"MIDI_OUT", 1}, {"SPEED", 3}, {"VENDOR", 0}},
                   kHead + "\"MIDI_OUT\"=hex:01\n\"SPEED\"=hex:03\n\"VENDOR\"=hex:00\n\n"},
        ChangeCase{"keeps_the_name_as_spelled_and_the_line_end",
                   "Windows Registry Editor Version 5.00\r\n\r\n"
                   "[HKEY_CURRENT_USER\\SOFTWARE\\VELDRIN\\FADERWELL]\r\n\"speed\"=hex:01\r\n",
                   {{"SPEED", 3}, {"VENDOR", 2}},
                   "Windows Registry Editor Version 5.00\r\n\r\n"
                   "[HKEY_CURRENT_USER\\SOFTWARE\\VELDRIN\\FADERWELL]\r\n\"speed\"=hex:03\r\n"
                   "\"VENDOR\"=hex:02\r\n"},
        ChangeCase{"goes_to_the_last_section_of_the_key",
                   kHead + "\"A\"=hex:01\n\n[X]\n\n" + kKeyLine,
                   {{"A", 2}, {"B", 3}},
                   kHead + "\"A\"=hex:02\n\n[X]\n\n" + kKeyLine + "\"B\"=hex:03\n"},
        ChangeCase{"adds_the_key_after_other_sections",
                   "REGEDIT4\n\n[HKEY_CURRENT_USER\\Other]\n\"A\"=hex:01",
                   {{"SPEED", 3}},
                   "REGEDIT4\n\n[HKEY_CURRENT_USER\\Other]\n\"A\"=hex:01\n\n" + kKeyLine +
                       "\"SPEED\"=hex:03\n\n"},
        ChangeCase{"replaces_a_deletion_of_the_value",
                   kHead + "\"SPEED\"=-\n",
                   {{"SPEED", 3}},
                   kHead + "\"SPEED\"=hex:03\n"}),
    [](const auto& test) { return std::string(test.param.label); });

}  // namespace
}  // namespace faderwell
