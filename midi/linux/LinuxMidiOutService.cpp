#include "midi/linux/LinuxMidiOutService.h"

#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "core/AppInfo.h"
#include "midi/SoundingNotes.h"
#include "midi/WireBytes.h"
#include "midi/alsa/AlsaMidiOutput.h"
#include "midi/jack/JackMidiOutput.h"
#include "midi/jack/JackOutputKeeper.h"
#include "midi/pipewire/PipeWireMidiOutput.h"

namespace faderwell {

namespace {

// The service's error codes, numbered as the Windows multimedia service
// numbers the same failures.
constexpr unsigned kOpenFailed = 1;     // the MIDI system refused the port
constexpr unsigned kBadDevice = 2;      // no such device (any more)
constexpr unsigned kNoMidiService = 6;  // neither ALSA nor JACK is there
constexpr unsigned kNotAnswering = 67;  // the JACK server or PipeWire stopped answering

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
    JackOutputKeeper* jack{nullptr};
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

/// The JACK output connected to the input `name`, or unconnected for the
/// mapper; null (and `error` set) when that fails.
std::unique_ptr<Output> OpenJack(const std::optional<std::string>& name, JackOutputKeeper& jack,
                                 unsigned& error) {
    switch (jack.Open(name)) {
        case JackOutputKeeper::Outcome::kOpen: {
            auto output = std::make_unique<Output>();
            output->jack = &jack;
            return output;
        }
        case JackOutputKeeper::Outcome::kNoServer:
            error = name ? kBadDevice : kNoMidiService;
            break;
        case JackOutputKeeper::Outcome::kMissing:
            error = kBadDevice;
            break;
        case JackOutputKeeper::Outcome::kNoAnswer:
            error = kNotAnswering;
            break;
    }
    return nullptr;
}

/// A PipeWire output linked to the input `name`, or unlinked for the
/// mapper; null (and `error` set) when that fails. Its close sends what
/// was sent before the port goes.
std::unique_ptr<Output> OpenPipeWire(const std::optional<std::string>& name,
                                     PipeWireMidiOutput::Notices notices, unsigned& error) {
    auto failure = PipeWireMidiOutput::Failure::kNoDaemon;
    auto pipewire = PipeWireMidiOutput::Open(Title(), name, failure, std::move(notices));
    if (!pipewire) {
        error = failure == PipeWireMidiOutput::Failure::kNoAnswer ? kNotAnswering
                : name                                            ? kBadDevice
                                                                  : kNoMidiService;
        return nullptr;
    }
    auto output = std::make_unique<Output>();
    output->pipewire = std::move(pipewire);
    return output;
}

/// Where the service's lines go, changed under a lock: the JACK output says
/// its lines from a thread of its own.
class NoticeRelay {
public:
    void Set(std::function<void(std::string_view)> notices) {
        const std::lock_guard guard(lock_);
        notices_ = std::move(notices);
    }
    void Say(std::string_view line) {
        const std::lock_guard guard(lock_);
        if (notices_)
            notices_(line);
    }

private:
    std::mutex lock_;
    std::function<void(std::string_view)> notices_;
};

}  // namespace

struct LinuxMidiOutService::State {
    PipeWireUse use{PipeWireUse::kWhenItAnswers};
    std::vector<Device> devices;
    bool systemFound{true};  // a MIDI system, at the last snapshot
    bool onPipeWire{false};  // PipeWire answered at the last snapshot
    std::unique_ptr<Output> output;
    std::shared_ptr<NoticeRelay> notices{std::make_shared<NoticeRelay>()};
    /// The JACK output, made at the first listing and kept: its client is
    /// disconnected and inactive while no JACK output is open.
    std::unique_ptr<JackOutputKeeper> jack;
    SoundingNotes notes;

    /// The outputs say their lines from threads of their own.
    std::function<void(std::string_view)> Notices() const {
        return [relay = notices](std::string_view line) { relay->Say(line); };
    }
    JackOutputKeeper& Jack() {
        if (!jack)
            jack = std::make_unique<JackOutputKeeper>(Title(), Notices());
        return *jack;
    }
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
    // Waits here, briefly, for the last words to leave.
    state_->jack.reset();
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
    // Listed by the output's own client: start-up lists, then opens.
    if (auto jack = state_->Jack().Destinations()) {
        state_->systemFound = true;
        for (auto& name : *jack) state_->devices.push_back({Backend::kJack, std::move(name)});
    }
    return static_cast<unsigned>(state_->devices.size());
}

std::string LinuxMidiOutService::DeviceName(unsigned device) {
    return device < state_->devices.size() ? state_->devices[device].name : std::string{};
}

DeviceNaming LinuxMidiOutService::NamingOf(unsigned device) {
    if (device >= state_->devices.size())
        return DeviceNaming::kLasting;
    return state_->devices[device].backend == Backend::kAlsa ? DeviceNaming::kAlsaSequencer
                                                             : DeviceNaming::kJackPort;
}

void LinuxMidiOutService::SetNotices(std::function<void(std::string_view)> notices) {
    state_->notices->Set(std::move(notices));
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
        case kNotAnswering:
            return state_->onPipeWire ? "PipeWire does not answer"
                                      : "the JACK server does not answer";
        default:
            return MidiOutService::OpenFailureReason(code);
    }
}

unsigned LinuxMidiOutService::OpenMapper() {
    Close();
    unsigned error = kNoMidiService;
    if (state_->onPipeWire) {
        state_->output = OpenPipeWire(std::nullopt, state_->Notices(), error);
        return state_->output ? 0 : error;
    }
    // ALSA first: a desktop with a sequencer expects the port there.
    state_->output = OpenAlsa(std::nullopt, error);
    if (!state_->output && error == kNoMidiService)
        state_->output = OpenJack(std::nullopt, state_->Jack(), error);
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
            state_->output = OpenPipeWire(wanted.name, state_->Notices(), error);
            break;
        case Backend::kAlsa:
            state_->output = OpenAlsa(wanted.name, error);
            break;
        case Backend::kJack:
            state_->output = OpenJack(wanted.name, state_->Jack(), error);
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
    // The JACK output lets the last words leave on its own thread; a
    // PipeWire output lets them leave (briefly) as it goes.
    if (state_->output && state_->output->jack)
        state_->output->jack->Close();
    state_->output.reset();
    state_->notes.Clear();
}

}  // namespace faderwell
