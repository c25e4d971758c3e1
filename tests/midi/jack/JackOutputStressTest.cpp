// The JACK output under stress against a server of the test's own: round
// after round of open, a burst, the exit command's reset and close, with
// words still in flight at the close. Every word of every round must reach
// the receiver in order, the first after the open and the silencing words
// before the close included, and nothing may crash. Then a train of fade
// ticks and hand moves while the server changes its period: the ticks keep
// their spacing in frames at the receiver, and nothing is reordered.
//
// The server is jackd (dummy driver, synchronous) or a private PipeWire
// instance.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
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

// --- Spacing across period changes ------------------------------------------

constexpr auto kTickSpacing = 2ms;
constexpr int kTicks = 600;
constexpr int kHandMoveEvery = 5;  // a hand move right after every fifth tick
constexpr std::uint64_t kRate = 48000;
constexpr std::uint64_t kFramesPerMillisecond = kRate / 1000;
/// The frame clock's own error and the receiver's rounding, with room.
constexpr std::int64_t kSpacingTolerance = kFramesPerMillisecond;
/// A tick the test thread sent later than this may rightly leave late.
constexpr auto kSentInTime = 8ms;

struct Arrival {
    std::uint64_t frame{0};
    std::string bytes;
};

/// The receiver's lines until `count` messages have come: the messages,
/// and the frames at which the server was off its schedule.
void Collect(JackReceiver& receiver, std::size_t count, std::vector<Arrival>& messages,
             std::vector<std::uint64_t>& off) {
    while (messages.size() < count) {
        const auto line = receiver.Extra(std::chrono::milliseconds(JackReceiver::kMessageDeadline));
        if (!line)
            return;
        std::istringstream fields(*line);
        std::string first;
        fields >> first;
        if (first == "off") {
            std::uint64_t frame = 0;
            fields >> frame;
            off.push_back(frame);
            continue;
        }
        std::string rest;
        std::getline(fields >> std::ws, rest);
        messages.push_back({std::stoull(first), rest});
    }
}

/// Ticks due every kTickSpacing, some followed by a hand move, sent while
/// `changes` run one after another (each a command that changes the
/// server's period); then the spacing judged in frames at the receiver.
void RunTickTrain(const std::vector<std::string>& environment,
                  const std::vector<std::vector<std::string>>& changes) {
    JackReceiver receiver(kReceiverClient, environment, JackReceiver::Lines::kFrames);
    ASSERT_TRUE(receiver.Ready());
    RtMidiOutService service;
    ProcessValues values{Defaults::Values()};
    MidiOutPort port(service, values);
    port.BuildOutputList();
    ASSERT_EQ(port.Pick(OutputList::kFirstDevice), 0);

    std::vector<std::string> expected;
    std::vector<bool> isTick;
    std::vector<Clock::duration> late(kTicks);
    const auto start = Clock::now() + 100ms;
    std::thread train([&] {
        for (int tick = 0; tick < kTicks; ++tick) {
            const auto due = start + tick * kTickSpacing;
            std::this_thread::sleep_until(due);
            const ShortMessage word = PackShortMessage(static_cast<std::uint8_t>(0xB0 + tick % 16),
                                                       7, static_cast<std::uint8_t>(tick % 128));
            {
                const WordsDueAt ticking(port, due);
                port.SendShortMessage(word);
            }
            late[static_cast<std::size_t>(tick)] = Clock::now() - due;
            expected.push_back(Hex(word, 3));
            isTick.push_back(true);
            if (tick % kHandMoveEvery == 0) {
                const ShortMessage move =
                    PackShortMessage(0xB3, 10, static_cast<std::uint8_t>(tick % 128));
                port.SendShortMessage(move);
                expected.push_back(Hex(move, 3));
                isTick.push_back(false);
            }
        }
    });
    const auto length = kTicks * kTickSpacing;
    for (std::size_t i = 0; i < changes.size(); ++i) {
        std::this_thread::sleep_until(start + length * static_cast<int>(i + 1) /
                                                  static_cast<int>(changes.size() + 1));
        ChildProcess change(changes[i], ChildOptions{environment});
        EXPECT_EQ(change.CloseInputAndWait(30s), 0) << changes[i].front();
    }
    train.join();

    std::vector<Arrival> messages;
    std::vector<std::uint64_t> off;
    Collect(receiver, expected.size(), messages, off);
    port.ResetAndClose();
    ASSERT_EQ(messages.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i)
        ASSERT_EQ(messages[i].bytes, expected[i]) << "word " << i << ": out of order";

    // Spacing between ticks, in frames, where neither the test thread nor
    // the server lost time between them.
    const auto offNear = [&](std::uint64_t from, std::uint64_t to) {
        for (const std::uint64_t frame : off) {
            if (frame + kFramesPerMillisecond > from && frame <= to + kFramesPerMillisecond)
                return true;
        }
        return false;
    };
    const std::uint64_t spacing = kFramesPerMillisecond * kTickSpacing.count();
    int judged = 0;
    int tick = 0;
    std::optional<std::uint64_t> previous;
    for (std::size_t i = 0; i < messages.size(); ++i) {
        const std::uint64_t frame = messages[i].frame;
        if (!isTick[i]) {
            // A hand move waits behind the tick before it, and no longer.
            if (late[static_cast<std::size_t>(tick - 1)] < kSentInTime) {
                EXPECT_EQ(frame, messages[i - 1].frame) << "hand move after tick " << tick - 1;
            }
            continue;
        }
        const bool inTime = late[static_cast<std::size_t>(tick)] < kSentInTime &&
                            (tick == 0 || late[static_cast<std::size_t>(tick - 1)] < kSentInTime);
        if (previous && inTime && !offNear(*previous, frame)) {
            ++judged;
            const auto error = static_cast<std::int64_t>(frame - *previous - spacing);
            EXPECT_LE(std::llabs(error), kSpacingTolerance)
                << "between ticks " << tick - 1 << " and " << tick;
        }
        previous = frame;
        ++tick;
    }
    EXPECT_GE(judged, kTicks / 4) << off.size() << " cycles off the schedule";
    std::printf("%d of %d tick intervals judged, %zu cycles off the schedule\n", judged, kTicks - 1,
                off.size());
    EXPECT_EQ(receiver.Quit(), 0);
}

TEST(JackPeriodChange, JackdKeepsTheTicksSpacing) {
    JackServer server(JackServerOptions{TestServerName("period"), 1024});
    UseJackServer serverName(server.Name());
    ASSERT_TRUE(server.Start()) << server.Error();
    RunTickTrain({}, {{"jack_bufsize", "256"}, {"jack_bufsize", "1024"}});
}

// This process must run with PipeWire's libjack on its library path.
TEST(JackPeriodChange, PipeWireKeepsTheTicksSpacing) {
    PipeWireInstance pipewire(TestServerName("period_pw"));
    ASSERT_TRUE(pipewire.Start()) << pipewire.Error();
    ScopedEnvironment runtime("XDG_RUNTIME_DIR", pipewire.RuntimeDir());
    ScopedEnvironment pipewireRuntime("PIPEWIRE_RUNTIME_DIR", pipewire.RuntimeDir());
    const auto quantum = [](const char* frames) {
        return std::vector<std::string>{"pw-metadata",         "-n",  "settings", "0",
                                        "clock.force-quantum", frames};
    };
    RunTickTrain(pipewire.ClientEnvironment(), {quantum("256"), quantum("128"), quantum("0")});
}

}  // namespace
}  // namespace faderwell::test
