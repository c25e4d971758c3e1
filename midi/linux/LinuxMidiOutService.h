#pragma once

#include <memory>
#include <string>

#include "midi/MidiOutService.h"

namespace faderwell {

/// The MIDI service on Linux. Where a PipeWire daemon answers when the list
/// is built, the devices are PipeWire's MIDI inputs (native nodes, JACK
/// clients and bridged ALSA ports alike, each once), reached through a
/// `PipeWireMidiOutput` of our own, and nothing else is listed. Otherwise
/// they are the writable ports of the ALSA sequencer (an `AlsaMidiOutput`,
/// through RtMidi), then the MIDI inputs of a running JACK server (a
/// `JackMidiOutput` of our own), in one device list. The mapper is a port
/// of the program's own, named after the application title, that
/// synthesizers connect to.
/// A MIDI system that is missing counts as having no devices, and nothing
/// the libraries say is ever printed; the port says what is missing. The
/// JACK output outlives its server: it comes back on the next one by itself,
/// and no call here waits for a server that stopped answering.
class LinuxMidiOutService final : public MidiOutService {
public:
    /// Whether PipeWire's own API is asked first. Only the tests of the
    /// ALSA and JACK outputs leave it out, to run those on a PipeWire
    /// daemon too.
    enum class PipeWireUse { kWhenItAnswers, kNever };

    explicit LinuxMidiOutService(PipeWireUse use = PipeWireUse::kWhenItAnswers);
    ~LinuxMidiOutService() override;
    LinuxMidiOutService(const LinuxMidiOutService&) = delete;
    LinuxMidiOutService& operator=(const LinuxMidiOutService&) = delete;

    /// Takes a snapshot of the devices present now; device numbers refer to it.
    unsigned DeviceCount() override;
    std::string DeviceName(unsigned device) override;
    /// ALSA's names carry numbers that change when a device restarts, and
    /// so may JACK's (process numbers in brackets).
    DeviceNaming NamingOf(unsigned device) override;
    /// The JACK output's lines: its server gone, and back.
    void SetNotices(std::function<void(std::string_view line)> notices) override;
    /// What to start when the snapshot found neither ALSA nor JACK.
    std::string MissingSystemAdvice() override;
    std::string OpenFailureReason(unsigned code) override;
    /// On PipeWire, a port of its own there; otherwise ALSA first, JACK
    /// when there is no ALSA sequencer.
    unsigned OpenMapper() override;
    /// Finds the snapshot's device again by name; fails if it has gone.
    unsigned OpenDevice(unsigned device) override;
    void Send(ShortMessage word) override;
    /// A JACK or PipeWire output plays words with their due moment's
    /// spacing; the ALSA sequencer's go at once.
    void SetDueMoment(std::optional<std::chrono::steady_clock::time_point> due) override;
    /// Note Off for the notes left sounding, then Sustain off and All Notes
    /// Off on every channel.
    void Reset() override;
    void Close() override;

private:
    struct State;  // the device snapshot and the open output, kept in the .cpp
    std::unique_ptr<State> state_;
};

}  // namespace faderwell
