#include "midi/PlatformMidiOutService.h"

#ifdef _WIN32
#include "midi/winmm/WinMmMidiOutService.h"
#else
#include "midi/alsa/RtMidiOutService.h"
#endif

namespace faderwell {

std::unique_ptr<MidiOutService> MakePlatformMidiOutService() {
#ifdef _WIN32
    return std::make_unique<WinMmMidiOutService>();
#else
    return std::make_unique<RtMidiOutService>();
#endif
}

}  // namespace faderwell
