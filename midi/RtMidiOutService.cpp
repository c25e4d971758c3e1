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

}  // namespace

/// A client of the JACK server that learns when the server goes away. The
/// output RtMidi makes waits, without end, for room in its ring buffer once
/// the server stops draining it; the watch lets sends stop before that.
class RtMidiOutService::JackWatch {
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

    /// The server's MIDI inputs, which are the outputs the program can send
    /// to, named as RtMidi names them ("client:port").
    std::vector<std::string> MidiInputs() const {
        std::vector<std::string> names;
        const char** ports =
            jack_get_ports(client_, nullptr, JACK_DEFAULT_MIDI_TYPE, JackPortIsInput);
        if (ports == nullptr)
            return names;
        for (const char** port = ports; *port != nullptr; ++port) names.emplace_back(*port);
        jack_free(ports);
        return names;
    }

private:
    explicit JackWatch(jack_client_t* client) : client_(client) {}
    static void OnShutdown(void* watch) { static_cast<JackWatch*>(watch)->gone_.store(true); }

    jack_client_t* client_{nullptr};
    std::atomic<bool> gone_{false};
};

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
/// Nothing is printed either way. A JACK output takes over `watch` when it
/// still has its server.
std::unique_ptr<RtMidiOutService::Output> Connect(
    RtMidiOutService::Backend backend,
    std::unique_ptr<RtMidiOutService::JackWatch> watch = nullptr) {
    auto output = std::make_unique<RtMidiOutService::Output>();
    RtMidi::Api api = RtMidi::LINUX_ALSA;
    if (backend == RtMidiOutService::Backend::kAlsa) {
        if (!AlsaSequencerAvailable())
            return nullptr;
    } else {
        // Asking first keeps RtMidi from warning that no server runs.
        output->watch =
            watch && !watch->ServerGone() ? std::move(watch) : RtMidiOutService::JackWatch::Open();
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

RtMidiOutService::~RtMidiOutService() = default;

unsigned RtMidiOutService::DeviceCount() {
    devices_.clear();
    if (auto alsa = Connect(Backend::kAlsa)) {
        for (auto& name : alsa->PortNames()) devices_.push_back({Backend::kAlsa, std::move(name)});
    }
    // JACK is listed through a watch alone, which the next open takes over:
    // every client the server admits or lets go costs tens of milliseconds,
    // and start-up lists the devices and opens one right after.
    listingWatch_ = JackWatch::Open();
    if (listingWatch_) {
        for (auto& name : listingWatch_->MidiInputs())
            devices_.push_back({Backend::kJack, std::move(name)});
    }
    return static_cast<unsigned>(devices_.size());
}

std::string RtMidiOutService::DeviceName(unsigned device) {
    return device < devices_.size() ? devices_[device].name : std::string{};
}

unsigned RtMidiOutService::OpenMapper() {
    Close();
    auto watch = std::move(listingWatch_);
    for (const Backend backend : {Backend::kAlsa, Backend::kJack}) {
        auto output = Connect(backend, backend == Backend::kJack ? std::move(watch) : nullptr);
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
    auto watch = std::move(listingWatch_);
    if (device >= devices_.size())
        return kBadDevice;
    const Device& wanted = devices_[device];
    auto output =
        Connect(wanted.backend, wanted.backend == Backend::kJack ? std::move(watch) : nullptr);
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

void RtMidiOutService::Close() {
    output_.reset();
    notes_.Clear();
}

}  // namespace faderwell
