#include "settings/AccessSettings.h"

#include <array>
#include <string>
#include <string_view>

#include "core/Failure.h"
#include "core/Texts.h"

namespace faderwell {

namespace {

struct Setting {
    std::string_view name;
    std::int32_t ProcessValues::*variable;
};

// The order of loading and saving.
constexpr std::array<Setting, 3> kSettings{{
    {"MIDI_OUT", &ProcessValues::MidiOutIndex},
    {"SPEED", &ProcessValues::SpeedStep},
    {"VENDOR", &ProcessValues::Vendor},
}};

/// The chosen output's name, kept beside MIDI_OUT so that the output is
/// found again when its position moved. A string value of its own: the
/// three bytes keep their meaning for older runs and other readers.
constexpr std::string_view kOutputName = "MIDI_OUT_NAME";
/// Longer than any device name a MIDI system hands out; anything longer is
/// not ours and is left alone.
constexpr std::uint32_t kMaxOutputNameBytes = 4096;

[[noreturn]] void Raise(std::string_view format, std::string_view name) {
    std::string message(format);
    message.replace(message.find("%s"), 2, name);
    throw Failure(message);
}

using texts::kSettingReadError;
using texts::kSettingTypeError;
using texts::kSettingWriteError;

bool Accepted(const ValueInfo& info) {
    const bool textOrNumber = info.type == regtype::kSz || info.type == regtype::kExpandSz ||
                              info.type == regtype::kDword;
    return !textOrNumber && info.size <= 1;
}

}  // namespace

SettingsStore::SettingsStore(Registry& registry, ProcessValues& values)
    : registry_(registry), values_(values) {}

void SettingsStore::AccessSettings(std::uint8_t direction) {
    // The key is opened anew for every call; nothing is kept in between.
    const std::unique_ptr<RegistryKey> key = registry_.OpenOrCreateKey();
    if (direction == kLoad) {
        Load(key.get());
    } else if (direction == kSave) {
        Save(key.get());
    }
}

void SettingsStore::Load(RegistryKey* key) {
    // Read first and never a failure: a name that is missing, of another
    // type or unreadable only leaves the output to its position, and a
    // failure of the three values after it cannot keep it from being used.
    values_.MidiOutName.clear();
    if (key) {
        if (auto name = key->ReadText(kOutputName, kMaxOutputNameBytes))
            values_.MidiOutName = std::move(*name);
    }
    for (const Setting& setting : kSettings) {
        const std::optional<ValueInfo> info = key ? key->Query(setting.name) : std::nullopt;
        if (!info)
            continue;  // missing: the default stays
        if (!Accepted(*info))
            Raise(kSettingTypeError, setting.name);
        std::uint8_t byte = 0;
        if (!key->Read(setting.name, &byte, info->size))
            Raise(kSettingReadError, setting.name);
        if (info->size == 1) {
            std::int32_t& variable = values_.*setting.variable;
            variable =
                static_cast<std::int32_t>((static_cast<std::uint32_t>(variable) & ~0xFFu) | byte);
        }
    }
}

void SettingsStore::Save(RegistryKey* key) {
    if (!key)
        Raise(kSettingWriteError, kSettings.front().name);
    std::optional<std::string_view> failed;
    for (const Setting& setting : kSettings) {
        const auto low = static_cast<std::uint8_t>(values_.*setting.variable & 0xFF);
        if (!key->WriteBinaryByte(setting.name, low)) {
            failed = setting.name;
            break;
        }
        // The name goes with the position, right after it.
        if (setting.variable == &ProcessValues::MidiOutIndex && !values_.MidiOutName.empty() &&
            !key->WriteText(kOutputName, values_.MidiOutName)) {
            failed = kOutputName;
            break;
        }
    }
    // The values before a failed one are still stored, together; when not
    // even they can be, nothing was stored and the first value is the one
    // that failed.
    if (!key->Commit())
        Raise(kSettingWriteError, kSettings.front().name);
    if (failed)
        Raise(kSettingWriteError, *failed);
}

}  // namespace faderwell
