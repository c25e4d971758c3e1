#pragma once

#include <cstdint>

#include "core/ProcessValues.h"
#include "settings/RegistryKey.h"

namespace faderwell {

/// The three persisted settings: MIDI_OUT, SPEED and VENDOR, one byte each,
/// and beside MIDI_OUT the chosen output's name, MIDI_OUT_NAME, a string.
class SettingsStore {
public:
    static constexpr std::uint8_t kLoad = 0;
    static constexpr std::uint8_t kSave = 1;

    SettingsStore(Registry& registry, ProcessValues& values);

    /// Loads (kLoad) or saves (kSave) MidiOutIndex, SpeedStep and Vendor in
    /// that order. Throws Failure with the value's name on a type error or a
    /// failed read (load) or write (save); what was done before it stays.
    /// The name is loaded first and never fails a load; a save writes it
    /// after MIDI_OUT when there is one.
    void AccessSettings(std::uint8_t direction);

private:
    void Load(RegistryKey* key);
    void Save(RegistryKey* key);

    Registry& registry_;
    ProcessValues& values_;
};

}  // namespace faderwell
