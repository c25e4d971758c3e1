#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "midi/MidiOutService.h"
#include "midi/SoundingNotes.h"

namespace faderwell {

class JackMidiOutput;

/// The MIDI service on Linux: the writable ports of the ALSA sequencer
/// (through RtMidi), then the MIDI inputs of a running JACK server (jackd
/// or PipeWire's, through a JACK output of our own), in one device list. The mapper is a port of the program's
/// own, named after the application title, that synthesizers connect to.
/// A MIDI system that is missing counts as having no devices, and nothing
/// of it is ever printed.
class RtMidiOutService final : public MidiOutService {
public:
    RtMidiOutService();
    ~RtMidiOutService() override;
    RtMidiOutService(const RtMidiOutService&) = delete;
    RtMidiOutService& operator=(const RtMidiOutService&) = delete;

    /// Takes a snapshot of the devices present now; device numbers refer to it.
    unsigned DeviceCount() override;
    std::string DeviceName(unsigned device) override;
    /// ALSA first; JACK when there is no ALSA sequencer.
    unsigned OpenMapper() override;
    /// Finds the snapshot's device again by name; fails if it has gone.
    unsigned OpenDevice(unsigned device) override;
    void Send(ShortMessage word) override;
    /// Note Off for the notes left sounding, then Sustain off and All Notes
    /// Off on every channel.
    void Reset() override;
    void Close() override;

    enum class Backend { kAlsa, kJack };
    struct Output;  // the open output, on one of the two

private:
    struct Device {
        Backend backend{Backend::kAlsa};
        std::string name;
    };

    void SendNow(ShortMessage word);
    /// A JACK output connected to the input `name`, or unconnected for the
    /// mapper; null (and `error` set) when that fails.
    std::unique_ptr<Output> OpenJack(const std::optional<std::string>& name, unsigned& error);

    std::vector<Device> devices_;
    std::unique_ptr<Output> output_;
    /// The JACK output of the last JACK open, disconnected while no JACK
    /// output is open, and connected again at the next JACK open.
    std::unique_ptr<JackMidiOutput> idleJack_;
    SoundingNotes notes_;
};

}  // namespace faderwell
