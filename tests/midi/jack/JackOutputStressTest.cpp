// The JACK output under stress against a server of the test's own: round
// after round of open, a burst, the exit command's reset and close, with
// words still in flight at the close. Every word of every round must reach
// the receiver in order, the first after the open and the silencing words
// before the close included, and nothing may crash. Then a train of fade
// ticks and hand moves while the server changes its period: the ticks keep
// their spacing in frames at the receiver, and nothing is reordered.
//
// The server is jackd (dummy driver, synchronous) or a private PipeWire
// instance; on PipeWire, the train runs through its JACK layer and through
// PipeWire's own output to a native node.
#include <gtest/gtest.h>

#include <algorithm>
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
#include "JackRoute.h"
#include "TestServices.h"
#include "core/Defaults.h"
#include "core/OutputList.h"
#include "midi/MidiOutPort.h"
#include "midi/linux/LinuxMidiOutService.h"

namespace faderwell::test {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// Each round waits on the server's threads of normal priority: on a busy
// machine 1,000 rounds took a minute of ./test; ./reliability runs 1,000.
constexpr int kJackdRounds = 300;
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

    LinuxMidiOutService service{kJackRoute};
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
/// Intervals to judge, from as many trains as a busy machine takes (a
/// thread kept waiting, a server losing time) up to kMostTrains.
constexpr int kIntervalsToJudge = kTicks / 4;
constexpr int kMostTrains = 5;

/// A word's distance from a period change beyond which PipeWire neither
/// loses, repeats nor holds it back (see LineUp), in frames.
constexpr std::uint64_t kNearChange = 100 * kFramesPerMillisecond;
/// A word's distance from a cycle off the schedule beyond which jackd has
/// not moved it, in frames.
constexpr std::uint64_t kNearOff = kFramesPerMillisecond;
/// How far back a repeated word is looked for, in words.
constexpr std::size_t kReach = 40;
/// How far ahead a word that arrives is looked for, in words: as far as a
/// busy machine's stall may take, short of where the ticks' bytes repeat
/// (128 ticks on).
constexpr std::size_t kReachAhead = 120;
/// A hand move after the last tick, sent nowhere else.
constexpr ShortMessage kLastWord = PackShortMessage(0xB4, 10, 127);
constexpr auto kCalmBeforeLastWord = 100ms;
constexpr int kLastWordResends = 3;

struct Arrival {
    std::uint64_t frame{0};
    std::string bytes;
};

/// The receiver's lines up to the train's last word: the messages, and the
/// frames at which the server was off its schedule. False when the last
/// word did not come.
bool Collect(JackReceiver& receiver, std::vector<Arrival>& messages,
             std::vector<std::uint64_t>& off) {
    while (const auto line =
               receiver.Extra(std::chrono::milliseconds(JackReceiver::kMessageDeadline))) {
        std::istringstream fields(*line);
        std::string first;
        fields >> first;
        if (first == "off") {
            std::uint64_t frame = 0;
            fields >> frame;
            off.push_back(frame);
            continue;
        }
        std::string bytes;
        std::getline(fields >> std::ws, bytes);
        messages.push_back({std::stoull(first), bytes});
        if (bytes == Hex(kLastWord, 3))
            return true;
    }
    return false;
}

/// For each word sent, the frame it first arrived at. PipeWire's libjack
/// skips a client's cycles at a period change until that client has taken
/// the new period in, on a thread of normal priority: a receiver that skips
/// loses what was written meanwhile, and one that does not reads again what
/// a sender that skips wrote the cycle before. So a word may be lost or
/// repeated within `nearOff` frames of a cycle off the schedule, and
/// nowhere else; every other word arrives once, in the order sent. With
/// `once`, no word may arrive twice anywhere: the sender wrote it once.
std::vector<std::optional<std::uint64_t>> LineUp(const std::vector<Arrival>& messages,
                                                 const std::vector<std::string>& sent,
                                                 const std::vector<std::uint64_t>& off,
                                                 std::uint64_t nearOff, bool once) {
    const auto nearChange = [&](std::uint64_t frame) {
        return std::any_of(off.begin(), off.end(), [&](std::uint64_t at) {
            return frame + nearOff >= at && frame <= at + nearOff;
        });
    };
    std::size_t lost = 0;
    std::size_t doubled = 0;
    std::vector<std::optional<std::uint64_t>> frames(sent.size());
    std::size_t next = 0;
    for (const Arrival& message : messages) {
        const auto from = sent.begin() + static_cast<std::ptrdiff_t>(next);
        const auto found = std::find(
            from,
            sent.begin() + static_cast<std::ptrdiff_t>(std::min(next + kReachAhead, sent.size())),
            message.bytes);
        if (found != sent.end() && *found == message.bytes) {
            EXPECT_TRUE(found == from || nearChange(message.frame))
                << found - from << " words lost before " << message.bytes << " at frame "
                << message.frame;
            lost += static_cast<std::size_t>(found - from);
            next = static_cast<std::size_t>(found - sent.begin());
            frames[next++] = message.frame;
            continue;
        }
        const auto back = sent.begin() + static_cast<std::ptrdiff_t>(next - std::min(next, kReach));
        const bool again = std::find(back, from, message.bytes) != from;
        EXPECT_TRUE(again && nearChange(message.frame) && !once)
            << message.bytes << " at frame " << message.frame << ": out of order or doubled";
        doubled += again ? 1 : 0;
    }
    EXPECT_EQ(next, sent.size()) << "the last words did not arrive";
    std::printf("%zu words sent: %zu doubled, %zu lost\n", sent.size(), doubled,
                lost + sent.size() - next);
    return frames;
}

/// Which output a train goes through, and to which receiver.
/// With `once`, no word may arrive twice, near a cycle off the schedule or not.
struct Route {
    LinuxMidiOutService::PipeWireUse use{kJackRoute};
    JackReceiver::Kind receiver{JackReceiver::Kind::kJackClient};
    bool once{false};
};
/// PipeWire's own output, to a native node.
constexpr Route kNativeRoute{LinuxMidiOutService::PipeWireUse::kWhenItAnswers,
                             JackReceiver::Kind::kPipeWireNode, true};

/// Ticks due every kTickSpacing, some followed by a hand move, sent while
/// `changes` run one after another (each a command that changes the
/// server's period); then the spacing judged in frames at the receiver
/// between ticks at least `nearOff` frames from a cycle off the schedule,
/// adding the intervals judged to `judged`.
void RunTickTrain(const std::vector<std::string>& environment,
                  const std::vector<std::vector<std::string>>& changes, std::uint64_t nearOff,
                  const Route& route, int& judged) {
    JackReceiver receiver(kReceiverClient, environment, JackReceiver::Lines::kFrames,
                          route.receiver);
    ASSERT_TRUE(receiver.Ready());
    LinuxMidiOutService service{route.use};
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
        // In a calm moment after the train: the test waits for it.
        std::this_thread::sleep_for(kCalmBeforeLastWord);
        port.SendShortMessage(kLastWord);
        expected.push_back(Hex(kLastWord, 3));
        isTick.push_back(false);
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
    // On a machine busy enough, PipeWire's graph still stalls after the
    // train, and the last word may fall in cycles the receiver missed (it
    // marks them, as LineUp allows): then it is sent again.
    for (int resend = 0; !Collect(receiver, messages, off) && resend < kLastWordResends &&
                         !off.empty() && (messages.empty() || off.back() >= messages.back().frame);
         ++resend)
        port.SendShortMessage(kLastWord);
    port.ResetAndClose();
    const auto frames = LineUp(messages, expected, off, nearOff, route.once);

    // Spacing between ticks, in frames, where neither the test thread nor
    // the server lost time between them.
    const auto offBetween = [&](std::uint64_t from, std::uint64_t to) {
        return std::any_of(off.begin(), off.end(), [&](std::uint64_t at) {
            return at + nearOff > from && at <= to + nearOff;
        });
    };
    const auto inTime = [&](int tick) {
        return late[static_cast<std::size_t>(tick)] < kSentInTime;
    };
    const std::uint64_t spacing = kFramesPerMillisecond * kTickSpacing.count();
    int tick = -1;
    for (std::size_t i = 0; i < expected.size(); ++i) {
        if (!isTick[i]) {
            // A hand move waits behind the tick before it, and no longer
            // (the last word comes after a pause of its own).
            if (inTime(tick) && frames[i] && frames[i - 1] && i + 1 < expected.size()) {
                EXPECT_EQ(*frames[i], *frames[i - 1]) << "hand move after tick " << tick;
            }
            continue;
        }
        ++tick;
        const std::size_t before = i - (tick % kHandMoveEvery == 1 ? 2 : 1);
        if (tick == 0 || !frames[i] || !frames[before] || !inTime(tick) || !inTime(tick - 1) ||
            offBetween(*frames[before], *frames[i]))
            continue;
        ++judged;
        const auto error = static_cast<std::int64_t>(*frames[i] - *frames[before] - spacing);
        EXPECT_LE(std::llabs(error), kSpacingTolerance)
            << "between ticks " << tick - 1 << " and " << tick;
    }
    std::printf("%d tick intervals judged so far, %zu cycles off the schedule\n", judged,
                off.size());
    EXPECT_EQ(receiver.Quit(), 0);
}

void KeepsTheTicksSpacing(const std::vector<std::string>& environment,
                          const std::vector<std::vector<std::string>>& changes,
                          std::uint64_t nearOff, const Route& route = {}) {
    int judged = 0;
    for (int train = 0; train < kMostTrains && judged < kIntervalsToJudge; ++train) {
        RunTickTrain(environment, changes, nearOff, route, judged);
        if (testing::Test::HasFailure())
            return;
    }
    EXPECT_GE(judged, kIntervalsToJudge);
}

TEST(JackPeriodChange, JackdKeepsTheTicksSpacing) {
    JackServer server(JackServerOptions{TestServerName("period"), 1024});
    UseJackServer serverName(server.Name());
    ASSERT_TRUE(server.Start()) << server.Error();
    KeepsTheTicksSpacing({}, {{"jack_bufsize", "256"}, {"jack_bufsize", "1024"}}, kNearOff);
}

std::vector<std::string> ForceQuantum(const char* frames) {
    return {"pw-metadata", "-n", "settings", "0", "clock.force-quantum", frames};
}

// This process must run with PipeWire's libjack on its library path.
TEST(JackPeriodChange, PipeWireKeepsTheTicksSpacing) {
    PipeWireInstance pipewire(TestServerName("period_pw"));
    ASSERT_TRUE(pipewire.Start()) << pipewire.Error();
    ScopedEnvironment runtime("XDG_RUNTIME_DIR", pipewire.RuntimeDir());
    ScopedEnvironment pipewireRuntime("PIPEWIRE_RUNTIME_DIR", pipewire.RuntimeDir());
    KeepsTheTicksSpacing(pipewire.ClientEnvironment(),
                         {ForceQuantum("256"), ForceQuantum("128"), ForceQuantum("0")},
                         kNearChange);
}

// PipeWire's own output to a native node, which reads its port in every
// cycle it runs: six quantum changes, and not one word doubled anywhere.
// The graph stalls at a change on a busy machine; a receiver that misses
// cycles then (it marks them) loses what they carried, as a JACK receiver
// does: PipeWire hands the sender's next buffer to the link whether the last
// was read or not (impl-port.c, tee_process). Without PipeWire's libjack on
// the library path.
TEST(JackPeriodChange, PipeWireNativeNeverDoublesAWord) {
    PipeWireInstance pipewire(TestServerName("period_native"));
    ASSERT_TRUE(pipewire.Start()) << pipewire.Error();
    ScopedEnvironment runtime("XDG_RUNTIME_DIR", pipewire.RuntimeDir());
    ScopedEnvironment pipewireRuntime("PIPEWIRE_RUNTIME_DIR", pipewire.RuntimeDir());
    KeepsTheTicksSpacing(pipewire.ClientEnvironment(),
                         {ForceQuantum("256"), ForceQuantum("128"), ForceQuantum("512"),
                          ForceQuantum("64"), ForceQuantum("2048"), ForceQuantum("0")},
                         kNearChange, kNativeRoute);
}

}  // namespace
}  // namespace faderwell::test
