#include "midi/alsa/AlsaMidiOutput.h"

#include <alsa/asoundlib.h>
#include <rtmidi/RtMidi.h>

#include <algorithm>
#include <filesystem>
#include <iostream>

namespace faderwell {

namespace {

void SilentAlsaError(const char*, int, const char*, int, const char*, ...) {}

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

bool SequencerAvailable() {
    // No sequencer device, nor the node that loads its module on first use:
    // no sequencer. Asked without them, ALSA would read and keep its whole
    // configuration (a few hundred KiB) to find the same.
    std::error_code unused;
    if (!std::filesystem::exists("/dev/snd/seq", unused) &&
        !std::filesystem::exists("/dev/aloadSEQ", unused))
        return false;
    snd_seq_t* seq = nullptr;
    if (snd_seq_open(&seq, "default", SND_SEQ_OPEN_OUTPUT, SND_SEQ_NONBLOCK) < 0)
        return false;
    snd_seq_close(seq);
    return true;
}

/// An RtMidi client on the sequencer; null when there is no sequencer.
/// Nothing is printed either way.
std::unique_ptr<RtMidiOut> SequencerClient(const std::string& client) {
    if (!SequencerAvailable())
        return nullptr;
    try {
        const CerrSilenced quiet;
        return std::make_unique<RtMidiOut>(RtMidi::LINUX_ALSA, client);
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

}  // namespace

struct AlsaMidiOutput::Callbacks {
    static void Error(RtMidiError::Type type, const std::string&, void* self) {
        if (type != RtMidiError::DEBUG_WARNING)
            static_cast<AlsaMidiOutput*>(self)->failed_ = true;
    }
};

void AlsaMidiOutput::SilenceLibrary() {
    snd_lib_error_set_handler(&SilentAlsaError);
}

std::optional<std::vector<std::string>> AlsaMidiOutput::Destinations(const std::string& client) {
    auto out = SequencerClient(client);
    if (!out)
        return std::nullopt;
    return PortNames(*out);
}

std::unique_ptr<AlsaMidiOutput> AlsaMidiOutput::Open(const std::string& client,
                                                     const std::optional<std::string>& destination,
                                                     Failure& failure) {
    auto output = std::unique_ptr<AlsaMidiOutput>(new AlsaMidiOutput());
    output->out_ = SequencerClient(client);
    if (!output->out_) {
        failure = Failure::kNoSequencer;
        return nullptr;
    }
    output->out_->setErrorCallback(&Callbacks::Error, output.get());
    if (!destination) {
        output->out_->openVirtualPort(client);
    } else {
        // Port numbers shift as other programs come and go; the name does not.
        const auto names = PortNames(*output->out_);
        const auto found = std::find(names.begin(), names.end(), *destination);
        if (found == names.end()) {
            failure = Failure::kNoSuchPort;
            return nullptr;
        }
        output->out_->openPort(static_cast<unsigned>(found - names.begin()), client);
    }
    if (output->failed_ || !output->out_->isPortOpen()) {
        failure = Failure::kRefused;
        return nullptr;
    }
    return output;
}

AlsaMidiOutput::~AlsaMidiOutput() = default;

void AlsaMidiOutput::Send(const std::uint8_t* bytes, std::size_t size) {
    out_->sendMessage(bytes, size);
}

}  // namespace faderwell
