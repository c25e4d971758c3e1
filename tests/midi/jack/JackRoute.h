#pragma once

#include "midi/linux/LinuxMidiOutService.h"

namespace faderwell::test {

/// The JACK output's tests take the JACK route also where PipeWire answers.
inline constexpr auto kJackRoute = LinuxMidiOutService::PipeWireUse::kNever;

}  // namespace faderwell::test
