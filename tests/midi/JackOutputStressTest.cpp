// The JACK output under stress against a server of the test's own: round
// after round of open, a burst, the exit command's reset and close, with
// words still in flight at the close. Every word of every round must reach
// the receiver in order, the first after the open and the silencing words
// before the close included, and nothing may crash.
//
// The server is jackd (dummy driver, the smallest period, synchronous) or a
// private PipeWire instance, chosen by FADERWELL_TEST_SERVER; for PipeWire
// the test runs with PipeWire's libjack on its library path.
#include <gtest/gtest.h>
#include <jack/jack.h>
#include <stdlib.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "ChildProcess.h"
#include "midi/MidiOutPort.h"
#include "midi/RtMidiOutService.h"

namespace faderwell::test {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr int kFirstDeviceIndex = 2;
constexpr int kDefaultRounds = 1000;
constexpr int kBurstWords = 20;
const std::string kReceiverClient = "fw_stress_synth";

int Rounds() {
    const char* rounds = std::getenv("FADERWELL_STRESS_ROUNDS");
    return rounds != nullptr ? std::atoi(rounds) : kDefaultRounds;
}

std::string Hex(ShortMessage word, int bytes) {
    char text[12];
    if (bytes == 2)
        std::snprintf(text, sizeof text, "%02X %02X", word & 0xFFu, (word >> 8) & 0xFFu);
    else
        std::snprintf(text, sizeof text, "%02X %02X %02X", word & 0xFFu, (word >> 8) & 0xFFu,
                      (word >> 16) & 0xFFu);
    return text;
}

/// A JACK server of the test's own: jackd with the dummy driver, or a
/// PipeWire instance with a runtime directory of its own. Stopped by its
/// PID at destruction.
class StressServer {
public:
    StressServer() {
        const char* kind = std::getenv("FADERWELL_TEST_SERVER");
        pipewire_ = kind != nullptr && std::string(kind) == "pipewire";
        if (pipewire_) {
            // Nothing of the user's session: sockets and state live here.
            char pattern[] = "/tmp/fw-pipewire-XXXXXX";
            if (::mkdtemp(pattern) == nullptr)
                return;
            runtime_ = pattern;
            ::setenv("XDG_RUNTIME_DIR", runtime_.c_str(), 1);
            ::setenv("PIPEWIRE_RUNTIME_DIR", runtime_.c_str(), 1);
            server_ = std::make_unique<ChildProcess>(std::vector<std::string>{"pipewire"});
        } else {
            // Synchronous: a late client delays the cycle instead of losing
            // it. Real-time where allowed: at this period a server without
            // it, on a busy machine, loses its clients from the graph.
            server_ = std::make_unique<ChildProcess>(
                std::vector<std::string>{"jackd", "-R", "-S", "-p", "32", "-d", "dummy",
                                         "-r", "48000", "-p", "16"});
        }
    }
    ~StressServer() {
        if (server_)
            server_->Terminate(10s);
        if (!runtime_.empty())
            std::filesystem::remove_all(runtime_);
    }
    StressServer(const StressServer&) = delete;
    StressServer& operator=(const StressServer&) = delete;

    /// Waits until a client gets in; a server still setting up turns
    /// clients away, so it knocks again.
    bool Up() {
        const auto deadline = Clock::now() + 30s;
        while (server_ && server_->Started() && Clock::now() < deadline) {
            if (jack_client_t* client = jack_client_open("fw_knock", JackNoStartServer, nullptr)) {
                jack_client_close(client);
                return true;
            }
            std::this_thread::sleep_for(200ms);
        }
        return false;
    }

private:
    bool pipewire_{false};
    std::string runtime_;
    std::unique_ptr<ChildProcess> server_;
};

class Receiver {
public:
    Receiver() : process_({FADERWELL_RECEIVER, kReceiverClient}) {
        ready_ = process_.ReadLine(10s) == std::optional<std::string>("ready");
    }
    bool Ready() const { return ready_; }
    std::vector<std::string> Take(std::size_t count) {
        std::vector<std::string> lines;
        while (lines.size() < count) {
            auto line = process_.ReadLine(5s);
            if (!line)
                break;
            lines.push_back(*line);
        }
        return lines;
    }
    std::optional<std::string> Extra() { return process_.ReadLine(300ms); }
    std::optional<int> Quit() { return process_.CloseInputAndWait(5s); }

private:
    ChildProcess process_;
    bool ready_{false};
};

/// One round's words: a burst of Control Changes that tell the round apart,
/// a hi-hat left sounding, then what the reset sends.
struct Round {
    std::vector<ShortMessage> sent;
    std::vector<std::string> heard;

    explicit Round(int round) {
        for (int i = 0; i < kBurstWords; ++i) {
            const int channel = i % 16;
            const ShortMessage word = PackShortMessage(0xB0 + channel, 7, (round + i) % 128);
            sent.push_back(word);
            heard.push_back(Hex(word, 3));
        }
        sent.push_back(PackShortMessage(0x99, 0x2A, 0x64));
        heard.push_back("99 2A 64");
        heard.push_back("89 2A 00");
        for (int channel = 0; channel < 16; ++channel) {
            heard.push_back(Hex(PackShortMessage(0xB0 + channel, 0x40, 0), 3));
            heard.push_back(Hex(PackShortMessage(0xB0 + channel, 0x7B, 0), 3));
        }
    }
};

TEST(JackOutputStress, EveryWordOfEveryRoundArrivesThroughOpenBurstResetClose) {
    StressServer server;
    ASSERT_TRUE(server.Up());
    Receiver receiver;
    ASSERT_TRUE(receiver.Ready());

    RtMidiOutService service;
    ProcessValues values{1, 3, 0};
    MidiOutPort port(service, values);
    port.BuildOutputList();
    ASSERT_EQ(port.Entries(), (std::vector<std::string>{"(None)", "MIDI MAPPER",
                                                         kReceiverClient + ":in"}));

    const int rounds = Rounds();
    const auto start = Clock::now();
    for (int round = 0; round < rounds; ++round) {
        ASSERT_EQ(port.Pick(kFirstDeviceIndex), 0) << "round " << round;
        const Round words(round);
        for (const ShortMessage word : words.sent) port.SendShortMessage(word);
        port.ResetAndClose();
        ASSERT_EQ(receiver.Take(words.heard.size()), words.heard) << "round " << round;
    }
    EXPECT_EQ(receiver.Extra(), std::nullopt);
    std::printf("%d rounds in %lld ms\n", rounds,
                static_cast<long long>(
                    std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start)
                        .count()));
    EXPECT_EQ(receiver.Quit(), 0);
}

}  // namespace
}  // namespace faderwell::test
