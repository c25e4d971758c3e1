#include "midi/MidiOutService.h"

namespace faderwell {

namespace {
// Open results as the Windows multimedia service numbers them; the other
// services number the same failures alike.
constexpr unsigned kError = 1;
constexpr unsigned kBadDeviceId = 2;
constexpr unsigned kAllocated = 4;
constexpr unsigned kNoDriver = 6;
constexpr unsigned kNoMemory = 7;
constexpr unsigned kNoDevice = 68;  // MIDIERR_NODEVICE
}  // namespace

std::string MidiOutService::OpenFailureReason(unsigned code) {
    switch (code) {
        case kError:
            return "the MIDI system refused it";
        case kBadDeviceId:
        case kNoDevice:
            return "the device is gone";
        case kAllocated:
            return "another program holds it";
        case kNoDriver:
            return "no MIDI driver answers";
        case kNoMemory:
            return "out of memory";
        default:
            return "error " + std::to_string(code);
    }
}

}  // namespace faderwell
