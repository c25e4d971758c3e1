#include "midi/RtMidiOutService.h"

#include <alsa/asoundlib.h>
#include <jack/jack.h>
#include <rtmidi/RtMidi.h>

#include <atomic>
#include <iostream>
#include <optional>

#include "core/AppInfo.h"
#include "midi/WireBytes.h"

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

/// A client of the JACK server that learns when the server goes away. The
/// output RtMidi makes waits, without end, for room in its ring buffer once
/// the server stops draining it; the watch lets sends stop before that.
class JackWatch {
public:
    /// Null when no JACK server runs. Never starts one.
    static std::unique_ptr<JackWatch> Open() {
        jack_status_t status{};
        jack_client_t* client =
            jack_client_open((Title() + " watch").c_str(), JackNoStartServer, &status);
        if (client == nullptr)
            return nullptr;
        auto watch = std::unique_ptr<JackWatch>(new JackWatch(client));
        jack_on_shutdown(client, &JackWatch::OnShutdown, watch.get());
        jack_activate(client);
        return watch;
    }
    ~JackWatch() { jack_client_close(client_); }
    JackWatch(const JackWatch&) = delete;
    JackWatch& operator=(const JackWatch&) = delete;

    bool ServerGone() const { return gone_.load(); }

private:
    explicit JackWatch(jack_client_t* client) : client_(client) {}
    static void OnShutdown(void* watch) { static_cast<JackWatch*>(watch)->gone_.store(true); }

    jack_client_t* client_{nullptr};
    std::atomic<bool> gone_{false};
};

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

}  // namespace

struct RtMidiOutService::Output {
    std::unique_ptr<JackWatch> watch;  // JACK only; destroyed after the output
    std::unique_ptr<RtMidiOut> out;
    bool failed{false};  // set by RtMidi's error callback

    static void OnError(RtMidiError::Type type, const std::string&, void* output) {
        if (type != RtMidiError::DEBUG_WARNING)
            static_cast<Output*>(output)->failed = true;
    }

    bool Usable() const { return !watch || !watch->ServerGone(); }

    /// The output's port names as RtMidi lists them.
    std::vector<std::string> PortNames() {
        std::vector<std::string> names;
        const unsigned count = out->getPortCount();
        for (unsigned port = 0; port < count; ++port) names.push_back(out->getPortName(port));
        return names;
    }

    std::optional<unsigned> FindPort(const std::string& name) {
        const auto names = PortNames();
        for (unsigned port = 0; port < names.size(); ++port) {
            if (names[port] == name)
                return port;
        }
        return std::nullopt;
    }
};

namespace {

/// An RtMidi output of `backend`, or null when that MIDI system is missing.
/// Nothing is printed either way.
std::unique_ptr<RtMidiOutService::Output> Connect(RtMidiOutService::Backend backend) {
    auto output = std::make_unique<RtMidiOutService::Output>();
    RtMidi::Api api = RtMidi::LINUX_ALSA;
    if (backend == RtMidiOutService::Backend::kAlsa) {
        if (!AlsaSequencerAvailable())
            return nullptr;
    } else {
        // Asking first keeps RtMidi from warning that no server runs.
        output->watch = JackWatch::Open();
        if (!output->watch)
            return nullptr;
        api = RtMidi::UNIX_JACK;
    }
    try {
        const CerrSilenced quiet;
        output->out = std::make_unique<RtMidiOut>(api, Title());
    } catch (const RtMidiError&) {
        return nullptr;  // the MIDI system went away since it was asked: no devices
    }
    output->out->setErrorCallback(&RtMidiOutService::Output::OnError, output.get());
    return output;
}

}  // namespace

RtMidiOutService::RtMidiOutService() {
    // The MIDI libraries report to the terminal by default; this program
    // reports nothing of theirs.
    snd_lib_error_set_handler(&SilentAlsaError);
    jack_set_error_function(&SilentJackMessage);
    jack_set_info_function(&SilentJackMessage);
}

RtMidiOutService::~RtMidiOutService() { Close(); }

unsigned RtMidiOutService::DeviceCount() {
    devices_.clear();
    if (auto alsa = Connect(Backend::kAlsa)) {
        for (auto& name : alsa->PortNames()) devices_.push_back({Backend::kAlsa, std::move(name)});
    }
    // Not through an RtMidi output and its watch: start-up lists the devices
    // and then opens one, and the JACK clients of a throw-away output cost it
    // tens of milliseconds to come and go.
    if (auto jack = JackMidiInputs()) {
        for (auto& name : *jack) devices_.push_back({Backend::kJack, std::move(name)});
    }
    return static_cast<unsigned>(devices_.size());
}

std::string RtMidiOutService::DeviceName(unsigned device) {
    return device < devices_.size() ? devices_[device].name : std::string{};
}

unsigned RtMidiOutService::OpenMapper() {
    Close();
    for (const Backend backend : {Backend::kAlsa, Backend::kJack}) {
        auto output = Connect(backend);
        if (!output)
            continue;
        output->out->openVirtualPort(Title());
        if (output->failed)
            return kOpenFailed;
        output_ = std::move(output);
        return 0;
    }
    return kNoMidiService;
}

unsigned RtMidiOutService::OpenDevice(unsigned device) {
    Close();
    if (device >= devices_.size())
        return kBadDevice;
    const Device& wanted = devices_[device];
    auto output = Connect(wanted.backend);
    if (!output)
        return kNoMidiService;
    // Port numbers shift as other programs come and go; the name does not.
    const auto port = output->FindPort(wanted.name);
    if (!port)
        return kBadDevice;
    output->out->openPort(*port, Title());
    if (output->failed || !output->out->isPortOpen())
        return kOpenFailed;
    output_ = std::move(output);
    return 0;
}

void RtMidiOutService::Send(ShortMessage word) {
    if (!output_)
        return;
    SendNow(word);
    notes_.Track(word);
}

void RtMidiOutService::SendNow(ShortMessage word) {
    // A device that has gone away takes nothing: RtMidi drops the word, and
    // a JACK server that has gone is not written to at all.
    if (!output_->Usable())
        return;
    const WireBytes wire = ToWireBytes(word);
    if (wire.size == 0)
        return;
    output_->out->sendMessage(wire.bytes.data(), wire.size);
}

void RtMidiOutService::Reset() {
    if (!output_)
        return;
    for (const ShortMessage word : notes_.SilencingWords()) SendNow(word);
    notes_.Clear();
}

std::vector<std::unique_ptr<RtMidiOutService::Output>>& RtMidiOutService::DeadOutputs() {
    // Never destroyed: closing an output whose JACK server is gone waits up
    // to a second inside RtMidi for a process cycle that never comes, and
    // unregistering its port from the dead server can crash inside libjack.
    static auto* dead = new std::vector<std::unique_ptr<Output>>();
    return *dead;
}

void RtMidiOutService::Close() {
    if (output_ && !output_->Usable())
        DeadOutputs().push_back(std::move(output_));
    output_.reset();
    notes_.Clear();
}

}  // namespace faderwell
