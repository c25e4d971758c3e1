#include "midi/winmm/WinMmMidiOutService.h"

// clang-format off
#include <windows.h>
#include <mmsystem.h>
// clang-format on

#include <span>

#include "midi/winmm/AnsiText.h"
#include "midi/winmm/ProductName.h"

namespace faderwell {

static_assert(sizeof(MIDIOUTCAPSA) == 52, "the capability record is 52 bytes");
static_assert(sizeof(MIDIOUTCAPSA::szPname) == kProductNameField);

struct WinMmMidiOutService::CapabilityRecord {
    MIDIOUTCAPSA caps{};
};

namespace {
HMIDIOUT Handle(void* handle) {
    return static_cast<HMIDIOUT>(handle);
}
}  // namespace

WinMmMidiOutService::WinMmMidiOutService() = default;
WinMmMidiOutService::~WinMmMidiOutService() = default;

unsigned WinMmMidiOutService::DeviceCount() {
    if (!caps_)
        caps_ = std::make_unique<CapabilityRecord>();
    return midiOutGetNumDevs();
}

std::string WinMmMidiOutService::DeviceName(unsigned device) {
    if (!caps_)
        caps_ = std::make_unique<CapabilityRecord>();
    midiOutGetDevCapsA(device, &caps_->caps, sizeof(MIDIOUTCAPSA));
    return AnsiToUtf8(ProductName(std::span<const char, kProductNameField>(caps_->caps.szPname)),
                      CP_ACP);
}

unsigned WinMmMidiOutService::OpenMapper() {
    return Open(MIDI_MAPPER);
}

unsigned WinMmMidiOutService::OpenDevice(unsigned device) {
    return Open(device);
}

unsigned WinMmMidiOutService::Open(unsigned deviceId) {
    HMIDIOUT handle = nullptr;
    const MMRESULT result = midiOutOpen(&handle, deviceId, 0, 0, CALLBACK_NULL);
    // Whatever the service left behind a failed open is no output; a closed
    // handle's value could come back for another program's output.
    handle_ = result == MMSYSERR_NOERROR ? handle : nullptr;
    return result;
}

void WinMmMidiOutService::Send(ShortMessage word) {
    midiOutShortMsg(Handle(handle_), word);
}

void WinMmMidiOutService::Reset() {
    midiOutReset(Handle(handle_));
}

void WinMmMidiOutService::Close() {
    midiOutClose(Handle(handle_));
    handle_ = nullptr;
}

}  // namespace faderwell
