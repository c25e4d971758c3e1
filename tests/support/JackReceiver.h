#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "ChildProcess.h"

namespace faderwell::test {

/// The device the tests send to: a JACK client of its own process with one
/// MIDI input "<client>:in" that reports every message it receives, as a
/// line of hexadecimal bytes ("B9 00 3D"); or a native PipeWire node of the
/// same name, port and lines, standing where hardware bridged by PipeWire
/// would.
class JackReceiver {
public:
    /// How long one expected message may take to arrive: a hang, not a
    /// slow machine, runs past it.
    static constexpr std::chrono::seconds kMessageDeadline{10};

    /// What each line holds: the bytes, or the frame and the bytes with the
    /// server's lost time marked (see JackReceiverMain.cpp).
    enum class Lines { kBytes, kFrames };
    enum class Kind { kJackClient, kPipeWireNode };

    /// Starts the receiver and waits until its port is there. `environment`
    /// as for ChildProcess (a PipeWire instance's client environment, say).
    explicit JackReceiver(const std::string& client, std::vector<std::string> environment = {},
                          Lines lines = Lines::kBytes, Kind kind = Kind::kJackClient);
    /// Quits: a client killed in the middle of a cycle holds up a
    /// synchronous server for seconds.
    ~JackReceiver() { Quit(); }
    JackReceiver(const JackReceiver&) = delete;
    JackReceiver& operator=(const JackReceiver&) = delete;

    bool Ready() const { return ready_; }
    /// The next `count` messages; fewer when one does not come in time.
    std::vector<std::string> Take(std::size_t count);
    /// Every message that comes until none has come for `quiet`.
    std::vector<std::string> Received(std::chrono::milliseconds quiet);
    /// A message beyond those taken, if one comes within `quiet`.
    std::optional<std::string> Extra(std::chrono::milliseconds quiet) {
        return process_.ReadLine(quiet);
    }
    /// Quits as a synthesizer's own program quits; its exit status (non-zero
    /// when it had to drop messages), nothing when it hung.
    std::optional<int> Quit();

private:
    ChildProcess process_;
    bool ready_{false};
};

}  // namespace faderwell::test
