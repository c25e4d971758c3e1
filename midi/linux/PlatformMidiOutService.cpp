#include "midi/PlatformMidiOutService.h"

#include "midi/linux/LinuxMidiOutService.h"

namespace faderwell {

std::unique_ptr<MidiOutService> MakePlatformMidiOutService() {
    return std::make_unique<LinuxMidiOutService>();
}

}  // namespace faderwell
