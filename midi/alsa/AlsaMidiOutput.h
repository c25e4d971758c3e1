#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class RtMidiOut;

namespace faderwell {

/// One output of the program's own on the ALSA sequencer, through RtMidi:
/// connected to the writable port of another client, or a port of its own
/// (the mapper) that synthesizers connect to. Words go to the sequencer at
/// once. Nothing RtMidi or ALSA says is printed.
class AlsaMidiOutput {
public:
    /// Why an open failed.
    enum class Failure {
        kNoSequencer,  // no ALSA sequencer to open a client on
        kNoSuchPort,   // the destination is not (any more) among the ports
        kRefused,      // the sequencer refused the port or the connection
    };

    /// Keeps ALSA's library from printing its errors on the terminal, for
    /// the whole process.
    static void SilenceLibrary();

    /// The sequencer's writable ports as RtMidi names them, by a client
    /// named `client` that goes at once; nothing when there is no sequencer.
    static std::optional<std::vector<std::string>> Destinations(const std::string& client);

    /// A client named `client` with a port of the same name, connected to
    /// the port named `destination`, or open for others to connect to when
    /// none is given; null, with `failure` set, when that fails.
    static std::unique_ptr<AlsaMidiOutput> Open(const std::string& client,
                                                const std::optional<std::string>& destination,
                                                Failure& failure);
    ~AlsaMidiOutput();
    AlsaMidiOutput(const AlsaMidiOutput&) = delete;
    AlsaMidiOutput& operator=(const AlsaMidiOutput&) = delete;

    /// Hands one message of one to three bytes to the sequencer.
    void Send(const std::uint8_t* bytes, std::size_t size);

private:
    AlsaMidiOutput() = default;

    struct Callbacks;  // what RtMidi calls, with RtMidi's own types
    std::unique_ptr<RtMidiOut> out_;
    bool failed_{false};  // set by RtMidi's error callback
};

}  // namespace faderwell
