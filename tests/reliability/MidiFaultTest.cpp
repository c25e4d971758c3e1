// The whole program (start-up code, windows, fade timer, its own JACK
// output) while its MIDI output fails under it during a fade at the fastest
// speed: the receiving client quits, the JACK server is killed, or killed and
// started again. The fade must end on schedule, the controls unlock, the
// event loop answer throughout, and the exit command end the program with 0.
// Each run has a JACK server of its own (dummy driver) under a name made from
// the build tree, so it never touches anyone else's server; message boxes
// are recorded instead of shown.
//
// The bounds here catch hangs and stalls with room for a busy machine; how
// quickly the program answers is judged by ./reliability from the figures
// each run prints.

#include <gtest/gtest.h>
#include <unistd.h>

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QPushButton>
#include <QTimer>
#include <chrono>
#include <cstdio>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "JackReceiver.h"
#include "TestServices.h"
#include "UiDoubles.h"
#include "app/Program.h"
#include "core/Controls.h"
#include "core/Messages.h"
#include "core/OutputList.h"
#include "midi/PlatformMidiOutService.h"
#include "settings/memory/InMemoryRegistry.h"
#include "ui/Sub1.h"

namespace faderwell::test {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using Milliseconds = std::chrono::milliseconds;

constexpr std::uint8_t kFastestStep = 5;
constexpr Milliseconds kFastestTick{50};
constexpr int kFadeSteps = 127;  // start marker at value 0, stop marker at 127
constexpr Milliseconds kFadeTime = kFadeSteps * kFastestTick;
/// A busy machine may stretch the fade by a few hundred milliseconds; a hang
/// or a stalled timer stretches it far more.
constexpr Milliseconds kFadeSlack{5000};
constexpr Milliseconds kHeartbeat{10};
/// The event loop answers within 100 ms (./reliability holds it to that);
/// ten times that is a stall, whatever else the machine is doing.
constexpr Milliseconds kLongestAnswer{1000};
constexpr Milliseconds kFaultAfter{1500};
/// Closing an output, also one whose JACK server has died, answers as fast
/// as anything else the event loop does.
constexpr Milliseconds kLongestClose = kLongestAnswer;
/// The receiver has taken everything once it has been quiet this long.
constexpr Milliseconds kReceiverQuiet{1000};
const std::string kReceiverClient = "fw_rel_synth";

/// A word as the receiver prints it: its bytes in hexadecimal, two for a
/// Program Change, three for the rest.
std::string WireLine(ShortMessage word) {
    const bool twoBytes = KindOf(word) == midi::kProgramChange;
    char text[12];
    if (twoBytes) {
        std::snprintf(text, sizeof text, "%02X %02X", word & 0xFFu, (word >> 8) & 0xFFu);
    } else {
        std::snprintf(text, sizeof text, "%02X %02X %02X", word & 0xFFu, (word >> 8) & 0xFFu,
                      (word >> 16) & 0xFFu);
    }
    return text;
}

/// What the device hears first: the drum kit of start-up, then the fade's
/// first step on every channel.
std::vector<std::string> FirstWordsHeard(int vendor) {
    std::vector<std::string> lines;
    for (const ShortMessage word : DrumKitSelect(vendor)) lines.push_back(WireLine(word));
    for (int channel = 1; channel <= midi::kChannelCount; ++channel) {
        lines.push_back(WireLine(ChannelVolumeMessage(channel, 0, Fader::kMax - 1)));
    }
    return lines;
}

Milliseconds Since(Clock::time_point start) {
    return std::chrono::duration_cast<Milliseconds>(Clock::now() - start);
}

/// What this process writes to its standard error while it lives.
class StderrCapture {
public:
    StderrCapture() {
        std::fflush(stderr);
        saved_ = ::dup(STDERR_FILENO);
        ::dup2(::fileno(file_), STDERR_FILENO);
    }
    ~StderrCapture() { Take(); }
    StderrCapture(const StderrCapture&) = delete;
    StderrCapture& operator=(const StderrCapture&) = delete;

    /// Ends the capture and returns what was written.
    std::string Take() {
        if (saved_ < 0)
            return {};
        std::fflush(stderr);
        ::dup2(saved_, STDERR_FILENO);
        ::close(saved_);
        saved_ = -1;
        std::string text;
        std::rewind(file_);
        char buffer[512];
        while (const std::size_t count = std::fread(buffer, 1, sizeof buffer, file_)) {
            text.append(buffer, count);
        }
        std::fclose(file_);
        return text;
    }

private:
    std::FILE* file_{std::tmpfile()};
    int saved_{-1};
};

/// The device the program sends to.
class Receiver : public JackReceiver {
public:
    Receiver() : JackReceiver(kReceiverClient) {}
};

struct Fault {
    const char* label;
    std::function<void(JackServer&, Receiver&)> strike;
    /// The output list entry picked in the settings dialog after the fade
    /// (none: the dialog is not opened), and the main window's title then.
    std::optional<int> pick{};
    std::string titleAfter{};
};

void PrintTo(const Fault& fault, std::ostream* out) {
    *out << fault.label;
}

/// What the event loop saw while the fade ran.
struct FadeRun {
    int exitCode{-1};
    Milliseconds fadeTime{0};
    Milliseconds longestAnswer{0};       // the longest gap between two heartbeats in the fade
    Milliseconds longestAnswerAfter{0};  // the same in the settings dialog and the exit
    Milliseconds afterFadeTime{0};       // what was done after the fade, before the exit
    Milliseconds exitTime{0};
    bool unlockedAtEnd{false};
    bool faultStruck{false};
};

/// The program's main loop from the first idle moment: a fade at the fastest
/// speed, `during` on a thread of its own a while into it; once the fade is
/// over, `afterFade` and then the exit command.
FadeRun RunFade(
    Program& program, const std::function<void()>& during,
    const std::function<void()>& afterFade = [] {}) {
    TForm1& form = *program.Refs().Form1;
    FadeRun run;
    std::thread fault;
    std::optional<Clock::time_point> fadeStart;
    std::optional<Clock::time_point> exitStart;
    Clock::time_point lastBeat = Clock::now();

    QTimer heartbeat;
    heartbeat.setTimerType(Qt::PreciseTimer);
    heartbeat.setInterval(kHeartbeat);
    bool fadeOver = false;
    // Beats until the main loop ends, through the pick and the exit command.
    QObject::connect(&heartbeat, &QTimer::timeout, [&] {
        const auto now = Clock::now();
        Milliseconds& longest = fadeOver ? run.longestAnswerAfter : run.longestAnswer;
        longest = std::max(longest, std::chrono::duration_cast<Milliseconds>(now - lastBeat));
        lastBeat = now;
        if (fadeOver || form.Model().Fading())
            return;
        fadeOver = true;
        run.fadeTime = Since(*fadeStart);
        run.unlockedAtEnd =
            form.StartB->isEnabled() && form.O1->isEnabled() && !form.StopB->isEnabled();
        QTimer::singleShot(0, [&] {
            const auto picking = Clock::now();
            afterFade();
            run.afterFadeTime = Since(picking);
            exitStart = Clock::now();
            form.Exit1->trigger();
        });
    });
    QTimer::singleShot(0, [&] {
        form.StartB->click();
        fadeStart = Clock::now();
        lastBeat = *fadeStart;
        heartbeat.start();
        QTimer::singleShot(kFaultAfter, [&] {
            run.faultStruck = form.Model().Fading();
            fault = std::thread(during);
        });
    });
    run.exitCode = program.Run();
    run.exitTime = exitStart ? Since(*exitStart) : Milliseconds{-1};
    if (fault.joinable())
        fault.join();
    return run;
}

/// "設定(&O)", picking each of `entries` in the output list as the user
/// does, then closing the dialog from its title bar.
void PickOutputs(Program& program, const std::vector<int>& entries) {
    QTimer::singleShot(0, [&program, entries] {
        Tconfig& config = *program.Refs().config;
        for (const int entry : entries) {
            config.MIDIPORT->setCurrentIndex(entry);
            emit config.MIDIPORT->activated(entry);
        }
        config.close();
    });
    program.Refs().Form1->O1->trigger();
}

/// The figures of a run, one "figure: <label> name=value ..." line, which
/// ./reliability compares with the program's targets.
void Report(const char* label, const FadeRun& run) {
    std::cout << "figure: " << label << " fade_ms=" << run.fadeTime.count()
              << " planned_ms=" << kFadeTime.count() << " answer_ms=" << run.longestAnswer.count()
              << " answer_after_ms=" << run.longestAnswerAfter.count()
              << " settings_ms=" << run.afterFadeTime.count() << " exit_ms=" << run.exitTime.count()
              << std::endl;
}

/// A JACK server of the run's own with the receiver on it, stored as the
/// chosen output, and the fastest fade speed.
class JackReceiverRun : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(server.Start()) << server.Error();
        receiver = std::make_unique<Receiver>();
        ASSERT_TRUE(receiver->Ready());
        registry.values["MIDI_OUT"] = {regtype::kBinary, {std::uint8_t{OutputList::kFirstDevice}}};
        registry.values["SPEED"] = {regtype::kBinary, {kFastestStep}};
    }

    JackServer server{JackServerOptions{TestServerName("reliability")}};
    UseJackServer serverName{server.Name()};
    std::unique_ptr<Receiver> receiver;
    InMemoryRegistry registry;
    RecordingPrompts prompts;
    RecordingPageOpener opener;
};

class MidiFault : public JackReceiverRun, public testing::WithParamInterface<Fault> {};

TEST_P(MidiFault, DuringAFadeTheProgramRunsOnAndEndsWithZero) {
    const auto midi = MakePlatformMidiOutService();
    Program program(Platform{*midi, registry, prompts, opener});
    program.Start();
    ASSERT_EQ(program.Refs().Form1->windowTitle().toStdString(),
              "Faderwell Standard [" + kReceiverClient + ":in]");

    const Fault& fault = GetParam();
    const FadeRun run = RunFade(
        program, [&] { fault.strike(server, *receiver); },
        [&] {
            if (fault.pick)
                PickOutputs(program, {*fault.pick});
        });

    EXPECT_TRUE(run.faultStruck) << "the fault came after the fade";
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_GE(run.fadeTime, kFadeTime - 2 * kFastestTick);
    EXPECT_LE(run.fadeTime, kFadeTime + kFadeSlack);
    EXPECT_TRUE(run.unlockedAtEnd);
    EXPECT_LE(run.longestAnswer, kLongestAnswer);
    EXPECT_LE(run.exitTime, kLongestClose);
    EXPECT_LE(run.longestAnswerAfter, kLongestClose);
    EXPECT_TRUE(prompts.shown.empty()) << prompts.shown.front().text.toStdString();
    if (fault.pick) {
        EXPECT_EQ(program.Refs().Form1->windowTitle().toStdString(), fault.titleAfter);
    }
    Report(fault.label, run);

    // The device heard the fade until the fault, sixteen channels a step.
    const auto received = receiver->Received(kReceiverQuiet);
    const auto first = FirstWordsHeard(0);
    ASSERT_GE(received.size(), first.size() + kFaultAfter / kFastestTick / 2 * 16);
    const auto firstCount = static_cast<std::ptrdiff_t>(first.size());
    EXPECT_EQ(std::vector<std::string>(received.begin(), received.begin() + firstCount), first);
}

INSTANTIATE_TEST_SUITE_P(
    Jack, MidiFault,
    testing::Values(Fault{"receiver_quits", [](JackServer&, Receiver& r) { r.Quit(); }},
                    Fault{"server_killed", [](JackServer& s, Receiver&) { s.Kill(); }},
                    // The new server has no receiver, but the mapper opens on it.
                    Fault{"server_killed_and_restarted",
                          [](JackServer& s, Receiver&) {
                              s.Kill();
                              ASSERT_TRUE(s.Start()) << s.Error();
                          },
                          1, "Faderwell Standard [MIDI MAPPER]"}),
    [](const auto& test) { return std::string(test.param.label); });

/// The silencing words of the reset: Sustain off and All Notes Off on every channel.
std::vector<std::string> SilencingWordsHeard() {
    std::vector<std::string> lines;
    for (int channel = 1; channel <= midi::kChannelCount; ++channel) {
        lines.push_back(
            WireLine(PackShortMessage(ChannelStatus(midi::kControlChange, channel), 64, 0)));
        lines.push_back(
            WireLine(PackShortMessage(ChannelStatus(midi::kControlChange, channel), 123, 0)));
    }
    return lines;
}

// Start-up sends the drum kit microseconds after it opens the output, and
// the exit command closes it right after the reset: nothing of either may be
// lost, and no close, in the settings dialog or at the exit, may crash.
// FADERWELL_LIFE_ROUNDS sets the number of rounds (a long check runs 100).
TEST_F(JackReceiverRun, EveryStartHearsTheDrumKitAndEveryCloseSilencesTheDevice) {
    const char* wanted = std::getenv("FADERWELL_LIFE_ROUNDS");
    const int rounds = wanted != nullptr ? std::atoi(wanted) : 5;
    std::vector<std::string> expected;
    for (const ShortMessage word : DrumKitSelect(0)) expected.push_back(WireLine(word));
    const auto silencers = SilencingWordsHeard();
    // Picking the mapper resets the device; picking the device again and
    // the exit command reset it once more.
    for (int close = 0; close < 2; ++close) {
        expected.insert(expected.end(), silencers.begin(), silencers.end());
    }

    for (int round = 0; round < rounds; ++round) {
        const auto midi = MakePlatformMidiOutService();
        Program program(Platform{*midi, registry, prompts, opener});
        program.Start();
        QTimer::singleShot(0, [&] {
            PickOutputs(program, {OutputList::kMapper, OutputList::kFirstDevice});
            program.Refs().Form1->Exit1->trigger();
        });
        ASSERT_EQ(program.Run(), 0);
        ASSERT_TRUE(prompts.shown.empty())
            << "round " << round << ": " << prompts.shown.front().text.toStdString();
        ASSERT_EQ(receiver->Received(kReceiverQuiet), expected) << "round " << round;
    }
}

class NoMidiService : public testing::Test {
    // A server name nobody runs; the test machines have no ALSA sequencer.
    UseJackServer noServer_{TestServerName("none")};
};

TEST_F(NoMidiService, StartFadeAndEveryOutputGiveOnlyTheProgramsOwnMessage) {
    StderrCapture printed;
    InMemoryRegistry registry;
    registry.values["SPEED"] = {regtype::kBinary, {kFastestStep}};
    RecordingPrompts prompts;
    RecordingPageOpener opener;
    const auto midi = MakePlatformMidiOutService();
    std::vector<std::string> said;  // the program's own lines for standard error
    Program program(Platform{*midi, registry, prompts, opener,
                             [&said](std::string_view line) { said.emplace_back(line); }});
    program.Start();
    EXPECT_EQ(program.Refs().Form1->windowTitle().toStdString(), "Faderwell Standard");
    EXPECT_TRUE(prompts.shown.empty());

    std::vector<QString> entries;
    const FadeRun run = RunFade(
        program, [] {},
        [&] {
            const QComboBox& list = *program.Refs().config->MIDIPORT;
            std::vector<int> every;
            for (int entry = 0; entry < list.count(); ++entry) {
                entries.push_back(list.itemText(entry));
                every.push_back(entry);
            }
            PickOutputs(program, every);
        });

    Report("no_midi_service", run);
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_GE(run.fadeTime, kFadeTime - 2 * kFastestTick);
    EXPECT_LE(run.fadeTime, kFadeTime + kFadeSlack);
    EXPECT_TRUE(run.unlockedAtEnd);
    EXPECT_LE(run.longestAnswer, kLongestAnswer);
    EXPECT_EQ(entries, (std::vector<QString>{"(None)", "MIDI MAPPER"}));
    // "(None)" opens nothing and succeeds; the mapper has no MIDI system to open on.
    EXPECT_EQ(prompts.shown,
              std::vector{RecordingPrompts::Note(QStringLiteral("このデバイスは利用できません"))});
    EXPECT_EQ(printed.Take(), "") << "the MIDI libraries spoke up";
    // Once at start-up what to start, then why the mapper could not be opened.
    ASSERT_EQ(said.size(), 2u);
    EXPECT_TRUE(said[0].starts_with("Faderwell Standard: no MIDI system found")) << said[0];
    EXPECT_NE(said[0].find("start PipeWire"), std::string::npos) << said[0];
    EXPECT_EQ(said[1],
              "Faderwell Standard: cannot open the MIDI output \"MIDI MAPPER\": neither PipeWire, "
              "an ALSA sequencer nor a JACK server is running");
    // Closing the dialog saved the last pick.
    EXPECT_EQ(registry.values.at("MIDI_OUT").bytes, std::vector<std::uint8_t>{1});
}

}  // namespace
}  // namespace faderwell::test
