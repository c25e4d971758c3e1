#include "midi/PlatformMidiOutService.h"

#include "midi/winmm/WinMmMidiOutService.h"

namespace faderwell {

std::unique_ptr<MidiOutService> MakePlatformMidiOutService() {
    return std::make_unique<WinMmMidiOutService>();
}

}  // namespace faderwell
