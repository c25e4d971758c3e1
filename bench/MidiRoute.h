#pragma once

#include <memory>
#include <string>

#include "midi/MidiOutService.h"

namespace faderwell::bench {

/// The output a bench driver sends through, by its --route argument. The
/// program takes PipeWire's own API whenever a daemon answers; "jack" leaves
/// that out, so that the JACK output (through PipeWire's libjack, on a
/// PipeWire daemon) is measured beside the native one at the same quantum.
/// "native" (or no route) is the program's own choice. Anything else: null.
std::unique_ptr<MidiOutService> MakeRoutedMidiOutService(const std::string& route);

}  // namespace faderwell::bench
