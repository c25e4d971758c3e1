#pragma once

#include <memory>
#include <string>

#include "midi/MidiOutService.h"

namespace faderwell {

/// The MIDI service on Windows: the multimedia MIDI output functions, called
/// exactly as the output port needs them. Results are ignored except the
/// open's, which is handed back as it is.
class WinMmMidiOutService final : public MidiOutService {
public:
    WinMmMidiOutService();
    /// Leaves an open output as it is: only the exit command resets and
    /// closes it, and the system closes it when the process ends.
    ~WinMmMidiOutService() override;
    WinMmMidiOutService(const WinMmMidiOutService&) = delete;
    WinMmMidiOutService& operator=(const WinMmMidiOutService&) = delete;

    /// midiOutGetNumDevs; allocates the capability record the names are read into.
    unsigned DeviceCount() override;
    /// midiOutGetDevCapsA into the one capability record, reused for every
    /// device; a failed query leaves the name the record held before. The
    /// name comes in the ANSI code page and is handed on in UTF-8.
    std::string DeviceName(unsigned device) override;
    unsigned OpenMapper() override;
    unsigned OpenDevice(unsigned device) override;
    void Send(ShortMessage word) override;
    void Reset() override;
    void Close() override;

private:
    struct CapabilityRecord;

    unsigned Open(unsigned deviceId);

    std::unique_ptr<CapabilityRecord> caps_;
    void* handle_{nullptr};  // HMIDIOUT; null while nothing is open
};

}  // namespace faderwell
