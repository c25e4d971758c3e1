// The JACK output under stress against a server of the test's own: round
// after round of open, a burst, the exit command's reset and close, with
// words still in flight at the close. Every word of every round must reach
// the receiver in order, the first after the open and the silencing words
// before the close included, and nothing may crash.
//
// The server is jackd (dummy driver, the smallest period, synchronous) or a
// private PipeWire instance at its default quantum.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "JackReceiver.h"
#include "TestServices.h"
#include "midi/MidiOutPort.h"
#include "midi/alsa/RtMidiOutService.h"

namespace faderwell::test {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr int kJackdRounds = 1000;
// Every open waits for a couple of PipeWire's 21 ms graph cycles at its
// default quantum: fewer rounds keep this test to half a minute.
constexpr int kPipeWireRounds = 200;
constexpr int kBurstWords = 20;
constexpr int kSmallestPeriod = 16;  // frames
const std::string kReceiverClient = "fw_stress_synth";

int Rounds(int byDefault) {
    const char* rounds = std::getenv("FADERWELL_STRESS_ROUNDS");
    return rounds != nullptr ? std::atoi(rounds) : byDefault;
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

/// One round's words: a burst of Control Changes that tell the round apart,
/// a hi-hat left sounding, then what the reset sends.
struct Round {
    std::vector<ShortMessage> sent;
    std::vector<std::string> heard;

    explicit Round(int round) {
        for (int i = 0; i < kBurstWords; ++i) {
            const auto status = static_cast<std::uint8_t>(0xB0 + i % 16);
            const auto value = static_cast<std::uint8_t>((round + i) % 128);
            const ShortMessage word = PackShortMessage(status, 7, value);
            sent.push_back(word);
            heard.push_back(Hex(word, 3));
        }
        sent.push_back(PackShortMessage(0x99, 0x2A, 0x64));
        heard.push_back("99 2A 64");
        heard.push_back("89 2A 00");
        for (int channel = 0; channel < 16; ++channel) {
            const auto status = static_cast<std::uint8_t>(0xB0 + channel);
            heard.push_back(Hex(PackShortMessage(status, 0x40, 0), 3));
            heard.push_back(Hex(PackShortMessage(status, 0x7B, 0), 3));
        }
    }
};

/// Rounds of open, burst, reset and close to the receiver.
void RunRounds(int rounds, const std::vector<std::string>& receiverEnvironment) {
    JackReceiver receiver(kReceiverClient, receiverEnvironment);
    ASSERT_TRUE(receiver.Ready());

    RtMidiOutService service;
    ProcessValues values{Defaults::Values()};
    MidiOutPort port(service, values);
    port.BuildOutputList();
    ASSERT_EQ(port.Entries(),
              (std::vector<std::string>{"(None)", "MIDI MAPPER", kReceiverClient + ":in"}));

    const auto start = Clock::now();
    for (int round = 0; round < rounds; ++round) {
        ASSERT_EQ(port.Pick(OutputList::kFirstDevice), 0) << "round " << round;
        const Round words(round);
        for (const ShortMessage word : words.sent) port.SendShortMessage(word);
        port.ResetAndClose();
        ASSERT_EQ(receiver.Take(words.heard.size()), words.heard) << "round " << round;
    }
    EXPECT_EQ(receiver.Extra(300ms), std::nullopt);
    std::printf(
        "%d rounds in %lld ms\n", rounds,
        static_cast<long long>(
            std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count()));
    EXPECT_EQ(receiver.Quit(), 0);
}

TEST(JackOutputStress, JackdAtTheSmallestPeriod) {
    JackServer server(JackServerOptions{TestServerName("stress"), kSmallestPeriod});
    UseJackServer serverName(server.Name());
    ASSERT_TRUE(server.Start()) << server.Error();
    RunRounds(Rounds(kJackdRounds), {});
}

// This process must run with PipeWire's libjack on its library path.
TEST(JackOutputStress, PipeWireAtItsDefaultQuantum) {
    PipeWireInstance pipewire(TestServerName("stress_pw"));
    ASSERT_TRUE(pipewire.Start()) << pipewire.Error();
    ScopedEnvironment runtime("XDG_RUNTIME_DIR", pipewire.RuntimeDir());
    ScopedEnvironment pipewireRuntime("PIPEWIRE_RUNTIME_DIR", pipewire.RuntimeDir());
    RunRounds(Rounds(kPipeWireRounds), pipewire.ClientEnvironment());
}

}  // namespace
}  // namespace faderwell::test
