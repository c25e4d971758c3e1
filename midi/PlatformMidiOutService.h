#pragma once

#include <memory>

#include "midi/MidiOutService.h"

namespace faderwell {

/// The MIDI service of the platform the program runs on: the multimedia
/// functions on Windows, ALSA (through RtMidi) and JACK on Linux. Each
/// platform's build compiles its own definition.
std::unique_ptr<MidiOutService> MakePlatformMidiOutService();

}  // namespace faderwell
