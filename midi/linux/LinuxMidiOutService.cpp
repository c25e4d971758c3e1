#include "midi/linux/LinuxMidiOutService.h"

#include <optional>
#include <string>
#include <vector>

#include "core/AppInfo.h"
#include "midi/SoundingNotes.h"
#include "midi/WireBytes.h"
#include "midi/alsa/AlsaMidiOutput.h"
#include "midi/jack/JackMidiOutput.h"
#include "midi/pipewire/PipeWireMidiOutput.h"

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

enum class Backend { kAlsa, kJack, kPipeWire };

/// A device of the snapshot: where it is, and its name there.
struct Device {
    Backend backend{Backend::kAlsa};
    std::string name;
};

/// The open output: on the ALSA sequencer, or a JACK or PipeWire port of
/// the program's own.
struct Output {
    std::unique_ptr<AlsaMidiOutput> alsa;
    std::unique_ptr<JackMidiOutput> jack;
    std::unique_ptr<PipeWireMidiOutput> pipewire;

    void Send(const WireBytes& wire,
              const std::optional<std::chrono::steady_clock::time_point>& due) {
        if (pipewire)
            pipewire->Send(wire.bytes.data(), wire.size, due);
        else if (jack)
            jack->Send(wire.bytes.data(), wire.size, due);
        else
            alsa->Send(wire.bytes.data(), wire.size);
    }
};

unsigned ErrorCode(AlsaMidiOutput::Failure failure) {
    switch (failure) {
        case AlsaMidiOutput::Failure::kNoSequencer:
            return kNoMidiService;
        case AlsaMidiOutput::Failure::kNoSuchPort:
            return kBadDevice;
        case AlsaMidiOutput::Failure::kRefused:
            break;
    }
    return kOpenFailed;
}

/// An ALSA output connected to the port named `name`, or to a port of its
/// own when there is none; null (and `error` set) when that fails.
std::unique_ptr<Output> OpenAlsa(const std::optional<std::string>& name, unsigned& error) {
    auto failure = AlsaMidiOutput::Failure::kRefused;
    auto alsa = AlsaMidiOutput::Open(Title(), name, failure);
    if (!alsa) {
        error = ErrorCode(failure);
        return nullptr;
    }
    auto output = std::make_unique<Output>();
    output->alsa = std::move(alsa);
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

/// A PipeWire output linked to the input `name`, or unlinked for the
/// mapper; null (and `error` set) when that fails. Its close sends what
/// was sent before the port goes.
std::unique_ptr<Output> OpenPipeWire(const std::optional<std::string>& name, unsigned& error) {
    auto pipewire = PipeWireMidiOutput::Open(Title(), name);
    if (!pipewire) {
        error = name ? kBadDevice : kNoMidiService;
        return nullptr;
    }
    auto output = std::make_unique<Output>();
    output->pipewire = std::move(pipewire);
    return output;
}

}  // namespace

struct LinuxMidiOutService::State {
    PipeWireUse use{PipeWireUse::kWhenItAnswers};
    std::vector<Device> devices;
    bool systemFound{true};  // a MIDI system, at the last snapshot
    bool onPipeWire{false};  // PipeWire answered at the last snapshot
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

LinuxMidiOutService::LinuxMidiOutService(PipeWireUse use) : state_(std::make_unique<State>()) {
    state_->use = use;
    // The MIDI libraries report to the terminal by default; this program
    // reports nothing of theirs.
    AlsaMidiOutput::SilenceLibrary();
    JackMidiOutput::SilenceLibrary();
}

LinuxMidiOutService::~LinuxMidiOutService() {
    Close();
}

unsigned LinuxMidiOutService::DeviceCount() {
    state_->devices.clear();
    state_->systemFound = false;
    state_->onPipeWire = false;
    // PipeWire lists every destination the ALSA and JACK listings would,
    // bridged: those stay out, so that none is listed twice.
    if (state_->use == PipeWireUse::kWhenItAnswers) {
        if (auto inputs = PipeWireMidiOutput::Destinations(Title() + " list")) {
            state_->systemFound = state_->onPipeWire = true;
            for (auto& name : *inputs)
                state_->devices.push_back({Backend::kPipeWire, std::move(name)});
            return static_cast<unsigned>(state_->devices.size());
        }
    }
    if (auto alsa = AlsaMidiOutput::Destinations(Title())) {
        state_->systemFound = true;
        for (auto& name : *alsa) state_->devices.push_back({Backend::kAlsa, std::move(name)});
    }
    if (auto jack = JackMidiOutput::Destinations(Title() + " list")) {
        state_->systemFound = true;
        for (auto& name : *jack) state_->devices.push_back({Backend::kJack, std::move(name)});
    }
    return static_cast<unsigned>(state_->devices.size());
}

std::string LinuxMidiOutService::DeviceName(unsigned device) {
    return device < state_->devices.size() ? state_->devices[device].name : std::string{};
}

DeviceNaming LinuxMidiOutService::NamingOf(unsigned device) {
    return device < state_->devices.size() && state_->devices[device].backend == Backend::kAlsa
               ? DeviceNaming::kAlsaSequencer
               : DeviceNaming::kLasting;
}

std::string LinuxMidiOutService::MissingSystemAdvice() {
    if (state_->systemFound)
        return {};
    return "no MIDI system found, so MIDI goes nowhere: start PipeWire or a JACK server "
           "(jackd), or load the ALSA sequencer (snd-seq)";
}

std::string LinuxMidiOutService::OpenFailureReason(unsigned code) {
    switch (code) {
        case kNoMidiService:
            return "neither PipeWire, an ALSA sequencer nor a JACK server is running";
        case kBadDevice:
            return "the device is gone";
        case kOpenFailed:
            return "the MIDI system refused the connection";
        default:
            return MidiOutService::OpenFailureReason(code);
    }
}

unsigned LinuxMidiOutService::OpenMapper() {
    Close();
    unsigned error = kNoMidiService;
    if (state_->onPipeWire) {
        state_->output = OpenPipeWire(std::nullopt, error);
        return state_->output ? 0 : error;
    }
    // ALSA first: a desktop with a sequencer expects the port there.
    state_->output = OpenAlsa(std::nullopt, error);
    if (!state_->output && error == kNoMidiService)
        state_->output = OpenJack(std::nullopt, state_->idleJack, error);
    return state_->output ? 0 : error;
}

unsigned LinuxMidiOutService::OpenDevice(unsigned device) {
    Close();
    if (device >= state_->devices.size())
        return kBadDevice;
    const Device& wanted = state_->devices[device];
    unsigned error = kOpenFailed;
    switch (wanted.backend) {
        case Backend::kPipeWire:
            state_->output = OpenPipeWire(wanted.name, error);
            break;
        case Backend::kAlsa:
            state_->output = OpenAlsa(wanted.name, error);
            break;
        case Backend::kJack:
            state_->output = OpenJack(wanted.name, state_->idleJack, error);
            break;
    }
    return state_->output ? 0 : error;
}

void LinuxMidiOutService::Send(ShortMessage word) {
    if (!state_->output)
        return;
    state_->SendNow(word);
    state_->notes.Track(word);
}

void LinuxMidiOutService::SetDueMoment(std::optional<std::chrono::steady_clock::time_point> due) {
    state_->due = due;
}

void LinuxMidiOutService::Reset() {
    if (!state_->output)
        return;
    for (const ShortMessage word : state_->notes.SilencingWords()) state_->SendNow(word);
    state_->notes.Clear();
}

void LinuxMidiOutService::Close() {
    if (state_->output && state_->output->jack) {
        // Waits here, briefly, for the last words to leave; at once when the
        // server has gone.
        state_->output->jack->Disconnect();
        if (!state_->output->jack->ServerGone())
            state_->idleJack = std::move(state_->output->jack);
    }
    if (state_->idleJack && state_->idleJack->ServerGone())
        state_->idleJack.reset();
    // A PipeWire output lets what was sent leave (briefly) as it goes.
    state_->output.reset();
    state_->notes.Clear();
}

}  // namespace faderwell
