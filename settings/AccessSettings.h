#pragma once

#include <cstdint>

#include "core/ProcessValues.h"
#include "settings/RegistryKey.h"

namespace faderwell {

/// The three persisted settings: MIDI_OUT, SPEED and VENDOR, one byte each.
class SettingsStore {
public:
    static constexpr std::uint8_t kLoad = 0;
    static constexpr std::uint8_t kSave = 1;

    SettingsStore(Registry& registry, ProcessValues& values);

    /// Loads (kLoad) or saves (kSave) MidiOutIndex, SpeedStep and Vendor in
    /// that order. Throws Failure with the value's name on a type error or a
    /// failed read (load) or write (save); what was done before it stays.
    void AccessSettings(std::uint8_t direction);

private:
    void Load(RegistryKey* key);
    void Save(RegistryKey* key);

    Registry& registry_;
    ProcessValues& values_;
};

}  // namespace faderwell
