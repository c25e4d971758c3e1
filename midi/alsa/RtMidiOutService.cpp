#include "midi/alsa/RtMidiOutService.h"

#include <alsa/asoundlib.h>
#include <jack/jack.h>
#include <rtmidi/RtMidi.h>

#include <algorithm>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "core/AppInfo.h"
#include "midi/SoundingNotes.h"
#include "midi/WireBytes.h"
#include "midi/jack/JackMidiOutput.h"

namespace faderwell {

namespace {

// The service's error codes, numbered as the Windows multimedia service
// numbers the same failures.
constexpr unsigned kOpenFailed = 1;     // the MIDI system refused the port
constexpr unsigned kBadDevice = 2;      // no such device (any more)
constexpr unsigned kNoMidiService = 6;  // neither ALSA nor JACK is there

const std::string& Title() {
    static const std::string title(kApplicationTitle);
    return title;
}

void SilentAlsaError(const char*, int, const char*, int, const char*, ...) {}
void SilentJackMessage(const char*) {}

/// RtMidi prints its warnings and errors on std::cerr until an error
/// callback is installed, which is only possible after construction.
class CerrSilenced {
public:
    CerrSilenced() : saved_(std::cerr.rdbuf(nullptr)) {}
    ~CerrSilenced() { std::cerr.rdbuf(saved_); }
    CerrSilenced(const CerrSilenced&) = delete;
    CerrSilenced& operator=(const CerrSilenced&) = delete;

private:
    std::streambuf* saved_{nullptr};
};

bool AlsaSequencerAvailable() {
    snd_seq_t* seq = nullptr;
    if (snd_seq_open(&seq, "default", SND_SEQ_OPEN_OUTPUT, SND_SEQ_NONBLOCK) < 0)
        return false;
    snd_seq_close(seq);
    return true;
}

/// The MIDI inputs of a running JACK server, which are the outputs the
/// program can send to, named as RtMidi names them ("client:port"); nothing
/// when no server runs. Listed by a client that is never activated and goes
/// at once: every client the server activates or lets go costs it a graph
/// change, which start-up would wait for.
std::optional<std::vector<std::string>> JackMidiInputs() {
    jack_status_t status{};
    jack_client_t* client =
        jack_client_open((Title() + " list").c_str(), JackNoStartServer, &status);
    if (client == nullptr)
        return std::nullopt;
    std::vector<std::string> names;
    if (const char** ports =
            jack_get_ports(client, nullptr, JACK_DEFAULT_MIDI_TYPE, JackPortIsInput)) {
        for (const char** port = ports; *port != nullptr; ++port) names.emplace_back(*port);
        jack_free(ports);
    }
    jack_client_close(client);
    return names;
}

enum class Backend { kAlsa, kJack };

/// A device of the snapshot: where it is, and its name there.
struct Device {
    Backend backend{Backend::kAlsa};
    std::string name;
};

/// The open output: an RtMidi port on the ALSA sequencer, or a JACK port of
/// the program's own.
struct Output {
    std::unique_ptr<RtMidiOut> alsa;
    std::unique_ptr<JackMidiOutput> jack;
    bool failed{false};  // set by RtMidi's error callback

    static void OnError(RtMidiError::Type type, const std::string&, void* output) {
        if (type != RtMidiError::DEBUG_WARNING)
            static_cast<Output*>(output)->failed = true;
    }

    void Send(const WireBytes& wire,
              const std::optional<std::chrono::steady_clock::time_point>& due) {
        if (jack)
            jack->Send(wire.bytes.data(), wire.size, due);
        else
            alsa->sendMessage(wire.bytes.data(), wire.size);
    }
};

/// The writable ports of the ALSA sequencer as RtMidi names them; nothing
/// when there is no sequencer. Nothing is printed either way.
std::unique_ptr<RtMidiOut> AlsaOutput() {
    if (!AlsaSequencerAvailable())
        return nullptr;
    try {
        const CerrSilenced quiet;
        return std::make_unique<RtMidiOut>(RtMidi::LINUX_ALSA, Title());
    } catch (const RtMidiError&) {
        return nullptr;  // the sequencer went away since it was asked: no devices
    }
}

std::vector<std::string> PortNames(RtMidiOut& out) {
    std::vector<std::string> names;
    const unsigned count = out.getPortCount();
    for (unsigned port = 0; port < count; ++port) names.push_back(out.getPortName(port));
    return names;
}

/// An ALSA output connected to the port named `name`, or to a port of its
/// own when there is none; null when that fails.
std::unique_ptr<Output> OpenAlsa(const std::optional<std::string>& name, unsigned& error) {
    auto output = std::make_unique<Output>();
    output->alsa = AlsaOutput();
    if (!output->alsa) {
        error = kNoMidiService;
        return nullptr;
    }
    output->alsa->setErrorCallback(&Output::OnError, output.get());
    if (!name) {
        output->alsa->openVirtualPort(Title());
    } else {
        // Port numbers shift as other programs come and go; the name does not.
        const auto names = PortNames(*output->alsa);
        const auto found = std::find(names.begin(), names.end(), *name);
        if (found == names.end()) {
            error = kBadDevice;
            return nullptr;
        }
        output->alsa->openPort(static_cast<unsigned>(found - names.begin()), Title());
    }
    if (output->failed || !output->alsa->isPortOpen()) {
        error = kOpenFailed;
        return nullptr;
    }
    return output;
}

/// A JACK output connected to the input `name`, or unconnected for the
/// mapper; null (and `error` set) when that fails. `idleJack` is the output
/// of the last JACK open, kept disconnected and inactive while no JACK
/// output is open.
std::unique_ptr<Output> OpenJack(const std::optional<std::string>& name,
                                 std::unique_ptr<JackMidiOutput>& idleJack, unsigned& error) {
    // The client of the last JACK output serves again, unless its server has
    // gone: then a server running now gets a client of its own.
    if (idleJack && !idleJack->Activate())
        idleJack.reset();
    auto jack =
        idleJack ? std::move(idleJack) : JackMidiOutput::Open(Title(), Title(), std::nullopt);
    if (!jack) {
        error = name ? kBadDevice : kNoMidiService;
        return nullptr;
    }
    if (name && !jack->ConnectTo(*name)) {
        jack->Disconnect();
        if (!jack->ServerGone())
            idleJack = std::move(jack);
        error = kBadDevice;
        return nullptr;
    }
    auto output = std::make_unique<Output>();
    output->jack = std::move(jack);
    return output;
}

}  // namespace

struct RtMidiOutService::State {
    std::vector<Device> devices;
    bool systemFound{true};  // an ALSA sequencer or a JACK server, at the last snapshot
    std::unique_ptr<Output> output;
    /// The JACK output of the last JACK open, disconnected and inactive
    /// while no JACK output is open, and connected again at the next JACK
    /// open; dropped once its server has gone.
    std::unique_ptr<JackMidiOutput> idleJack;
    SoundingNotes notes;
    std::optional<std::chrono::steady_clock::time_point> due;

    void SendNow(ShortMessage word) const {
        const WireBytes wire = ToWireBytes(word);
        if (wire.size != 0)
            output->Send(wire, due);
    }
};

RtMidiOutService::RtMidiOutService() : state_(std::make_unique<State>()) {
    // The MIDI libraries report to the terminal by default; this program
    // reports nothing of theirs.
    snd_lib_error_set_handler(&SilentAlsaError);
    jack_set_error_function(&SilentJackMessage);
    jack_set_info_function(&SilentJackMessage);
}

RtMidiOutService::~RtMidiOutService() {
    Close();
}

unsigned RtMidiOutService::DeviceCount() {
    state_->devices.clear();
    state_->systemFound = false;
    if (auto alsa = AlsaOutput()) {
        state_->systemFound = true;
        for (auto& name : PortNames(*alsa))
            state_->devices.push_back({Backend::kAlsa, std::move(name)});
    }
    if (auto jack = JackMidiInputs()) {
        state_->systemFound = true;
        for (auto& name : *jack) state_->devices.push_back({Backend::kJack, std::move(name)});
    }
    return static_cast<unsigned>(state_->devices.size());
}

std::string RtMidiOutService::DeviceName(unsigned device) {
    return device < state_->devices.size() ? state_->devices[device].name : std::string{};
}

DeviceNaming RtMidiOutService::NamingOf(unsigned device) {
    return device < state_->devices.size() && state_->devices[device].backend == Backend::kAlsa
               ? DeviceNaming::kAlsaSequencer
               : DeviceNaming::kLasting;
}

std::string RtMidiOutService::MissingSystemAdvice() {
    if (state_->systemFound)
        return {};
    return "no MIDI system found, so MIDI goes nowhere: start a JACK server (jackd, or "
           "PipeWire's: install pipewire-jack or run under pw-jack) or load the ALSA "
           "sequencer (snd-seq)";
}

std::string RtMidiOutService::OpenFailureReason(unsigned code) {
    switch (code) {
        case kNoMidiService:
            return "neither an ALSA sequencer nor a JACK server is running";
        case kBadDevice:
            return "the device is gone";
        case kOpenFailed:
            return "the MIDI system refused the connection";
        default:
            return MidiOutService::OpenFailureReason(code);
    }
}

unsigned RtMidiOutService::OpenMapper() {
    Close();
    unsigned error = kNoMidiService;
    // ALSA first: a desktop with a sequencer expects the port there.
    state_->output = OpenAlsa(std::nullopt, error);
    if (!state_->output && error == kNoMidiService)
        state_->output = OpenJack(std::nullopt, state_->idleJack, error);
    return state_->output ? 0 : error;
}

unsigned RtMidiOutService::OpenDevice(unsigned device) {
    Close();
    if (device >= state_->devices.size())
        return kBadDevice;
    const Device& wanted = state_->devices[device];
    unsigned error = kOpenFailed;
    state_->output = wanted.backend == Backend::kAlsa
                         ? OpenAlsa(wanted.name, error)
                         : OpenJack(wanted.name, state_->idleJack, error);
    return state_->output ? 0 : error;
}

void RtMidiOutService::Send(ShortMessage word) {
    if (!state_->output)
        return;
    state_->SendNow(word);
    state_->notes.Track(word);
}

void RtMidiOutService::SetDueMoment(std::optional<std::chrono::steady_clock::time_point> due) {
    state_->due = due;
}

void RtMidiOutService::Reset() {
    if (!state_->output)
        return;
    for (const ShortMessage word : state_->notes.SilencingWords()) state_->SendNow(word);
    state_->notes.Clear();
}

void RtMidiOutService::Close() {
    if (state_->output && state_->output->jack) {
        // Waits here, briefly, for the last words to leave; at once when the
        // server has gone.
        state_->output->jack->Disconnect();
        if (!state_->output->jack->ServerGone())
            state_->idleJack = std::move(state_->output->jack);
    }
    if (state_->idleJack && state_->idleJack->ServerGone())
        state_->idleJack.reset();
    state_->output.reset();
    state_->notes.Clear();
}

}  // namespace faderwell
