// libFuzzer target for the settings file parser: whatever the text, parsing
// must not crash, and a file it accepts must survive a change of our values
// with everything else reading back as before.

#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "settings/RegistryKey.h"
#include "settings/regfile/RegFile.h"

namespace {

using faderwell::kSettingsKey;
using faderwell::RegFile;
using faderwell::RegSection;
using faderwell::RegValue;

void Check(bool condition) {
    if (!condition)
        std::abort();
}

bool IEquals(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        const auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; };
        if (lower(a[i]) != lower(b[i]))
            return false;
    }
    return true;
}

std::vector<RegSection> ForeignSections(const RegFile& file) {
    std::vector<RegSection> sections = file.Sections();
    std::erase_if(sections, [](const RegSection& s) { return IEquals(s.keyPath, kSettingsKey); });
    return sections;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const auto file = RegFile::Parse(text);
    if (!file)
        return 0;

    // Unchanged, the text goes back exactly, and reads as the same model.
    const std::string serialized = file->Serialize();
    Check(serialized == text);
    const auto again = RegFile::Parse(serialized);
    Check(again.has_value() && again->Sections() == file->Sections());

    // Our values change; every other value and section stays as it was.
    const RegValue midiOut{faderwell::regtype::kBinary, {size ? data[0] : std::uint8_t{0}}};
    RegValue other{size > 1 ? data[1] % 13u : 0u, {}};
    for (std::size_t i = 2; i < size && i < 64; ++i) other.data.push_back(data[i]);
    RegFile changed = *file;
    changed.Set(kSettingsKey, "MIDI_OUT", midiOut);
    changed.Set(kSettingsKey, "SPEED", other);
    const std::string written = changed.Serialize();
    const auto reread = RegFile::Parse(written);
    if (written.size() > RegFile::kMaxSize) {
        Check(!reread.has_value());
        return 0;
    }
    Check(reread.has_value());
    Check(reread->Sections() == changed.Sections());
    Check(reread->Find(kSettingsKey, "MIDI_OUT") == midiOut);
    Check(reread->Find(kSettingsKey, "SPEED") == other);
    Check(ForeignSections(*reread) == ForeignSections(*file));
    for (const RegSection& section : file->Sections()) {
        if (!IEquals(section.keyPath, kSettingsKey))
            continue;
        for (const auto& entry : section.entries) {
            if (IEquals(entry.name, "MIDI_OUT") || IEquals(entry.name, "SPEED"))
                continue;
            Check(reread->Find(kSettingsKey, entry.name) == file->Find(kSettingsKey, entry.name));
        }
    }
    return 0;
}
