#pragma once

#include <memory>

#include "midi/MidiOutService.h"

namespace faderwell {

/// The MIDI service of the platform the program runs on: the multimedia
/// functions on Windows, ALSA and JACK (through RtMidi) elsewhere.
std::unique_ptr<MidiOutService> MakePlatformMidiOutService();

}  // namespace faderwell
