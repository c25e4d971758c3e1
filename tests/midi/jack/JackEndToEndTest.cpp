// End to end against a real JACK server (dummy driver, a server name of the
// test run's own): words leave the process and reach another JACK client,
// exactly and in order, and a device or server that goes away takes nothing
// without crashing or blocking the sender. What a desktop does to the output
// over its life (the server killed and started again, a second program, the
// synthesizer restarted) runs on jackd and on a private PipeWire instance,
// and PipeWire's own output on a private instance too.
#include <gtest/gtest.h>
#include <jack/jack.h>
#include <signal.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <mutex>
#include <ostream>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "../core/Doubles.h"
#include "ChildProcess.h"
#include "JackReceiver.h"
#include "JackRoute.h"
#include "TestServices.h"
#include "core/Defaults.h"
#include "core/Mixer.h"
#include "core/OutputList.h"
#include "midi/MidiOutPort.h"
#include "midi/jack/JackOutputKeeper.h"
#include "midi/linux/LinuxMidiOutService.h"
#include "midi/pipewire/PipeWireMidiOutput.h"

namespace faderwell::test {
namespace {

using namespace std::chrono_literals;

// More words than the JACK output's ring buffer holds, so a sender that
// waited for a server that no longer drains it would hang here.
constexpr int kFloodWords = 5000;
/// What catches a hang in the flood and close: they take well under a second.
constexpr auto kFloodDeadline = 10s;
/// Nothing more arrives within this after the last expected word.
constexpr auto kQuietAfter = 300ms;

/// "Bn <rest>": a Control Change on channel n + 1, as the receiver prints it.
std::string ChannelLine(int channel, const char* rest) {
    char status[4];
    std::snprintf(status, sizeof status, "B%X ", channel);
    return status + std::string(rest);
}

/// Counts the clients the server admits and lets go while it watches, and
/// learns of the server's end as every other client does.
class ClientCounter {
    /// What libjack's thread writes: it lives as long as the client, and is
    /// left with it when the server has gone.
    struct Counts {
        std::atomic<int> admitted{0};
        std::atomic<int> letGo{0};
        std::atomic<bool> serverGone{false};
    };
    Counts* counts_{new Counts};

public:
    ClientCounter() {
        client_ = jack_client_open("fw_counter", JackNoStartServer, nullptr);
        if (client_ == nullptr)
            return;
        jack_set_client_registration_callback(client_, &ClientCounter::OnClient, counts_);
        jack_on_shutdown(client_, &ClientCounter::OnShutdown, counts_);
        ready_ = jack_activate(client_) == 0;
    }
    ~ClientCounter() {
        // jackd's libjack crashes closing a client whose server was stopped
        // when another client of the process was closed after the stop (the
        // program's output is): the process ends soon after, and takes the
        // client with it. The program holds one client at a time.
        if (client_ != nullptr && serverGone) {
            // Kept, and in reach, for as long as the client left open.
            static auto* const abandoned = new std::vector<Counts*>;
            abandoned->push_back(counts_);
            return;
        }
        if (client_ != nullptr)
            jack_client_close(client_);
        delete counts_;
    }
    ClientCounter(const ClientCounter&) = delete;
    ClientCounter& operator=(const ClientCounter&) = delete;

    bool Ready() const { return ready_; }
    /// The MIDI output ports whose names match `pattern`, as this client sees them.
    std::vector<std::string> OutputPorts(const std::string& pattern) const {
        std::vector<std::string> names;
        if (const char** ports = jack_get_ports(client_, pattern.c_str(), JACK_DEFAULT_MIDI_TYPE,
                                                JackPortIsOutput)) {
            for (const char** port = ports; *port != nullptr; ++port) names.emplace_back(*port);
            jack_free(ports);
        }
        return names;
    }
    std::atomic<int>& admitted{counts_->admitted};
    std::atomic<int>& letGo{counts_->letGo};
    std::atomic<bool>& serverGone{counts_->serverGone};

private:
    static void OnClient(const char*, int registered, void* counts) {
        auto& self = *static_cast<Counts*>(counts);
        (registered ? self.admitted : self.letGo).fetch_add(1);
    }
    static void OnShutdown(void* counts) { static_cast<Counts*>(counts)->serverGone = true; }

    jack_client_t* client_{nullptr};
    bool ready_{false};
};

/// Sends the flood and the exit command's reset and close; returns how long it took.
std::chrono::milliseconds FloodAndClose(MidiOutPort& port) {
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < kFloodWords; ++i) {
        port.SendShortMessage(ChannelVolumeMessage(1 + i % midi::kChannelCount, 7, i % 128));
    }
    port.SendShortMessage(HiHatTick());
    port.ResetAndClose();
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                                 start);
}

/// True once `done` holds, checked every few milliseconds until `deadline`.
template <typename Condition>
bool PollUntil(Condition done, std::chrono::milliseconds deadline) {
    const auto end = std::chrono::steady_clock::now() + deadline;
    while (!done()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        std::this_thread::sleep_for(5ms);
    }
    return true;
}

/// The lines a port says, from whichever thread says them.
class SaidLines {
public:
    explicit SaidLines(MidiOutPort& port) {
        port.SetNotices([this](std::string_view line) {
            const std::lock_guard guard(lock_);
            lines_.emplace_back(line);
        });
    }
    /// How many lines said so far hold `text`.
    int Holding(const std::string& text) {
        const std::lock_guard guard(lock_);
        return static_cast<int>(std::count_if(lines_.begin(), lines_.end(), [&](const auto& line) {
            return line.find(text) != std::string::npos;
        }));
    }

private:
    std::mutex lock_;
    std::vector<std::string> lines_;
};

/// One server for the whole suite, started before its first test.
class JackDevice : public testing::Test {
protected:
    static void SetUpTestSuite() {
        server_ = std::make_unique<JackServer>(JackServerOptions{TestServerName("device")});
        serverName_ = std::make_unique<UseJackServer>(server_->Name());
        if (!server_->Start())
            FAIL() << server_->Error();
    }
    static void TearDownTestSuite() {
        serverName_.reset();
        server_.reset();
    }
    void SetUp() override { ASSERT_TRUE(server_->Running()) << server_->Error(); }

    static inline std::unique_ptr<JackServer> server_;
    static inline std::unique_ptr<UseJackServer> serverName_;
    LinuxMidiOutService service{kJackRoute};
    ProcessValues values{Defaults::kOutput, Defaults::kSpeedStep, kVendorRoland};
    MidiOutPort port{service, values};
    ManualTimer timer;
};

/// Lists the outputs as the settings dialog does and picks the one receiver
/// there is, after "(None)" and "MIDI MAPPER".
testing::AssertionResult PickTheReceiver(MidiOutPort& port) {
    port.BuildOutputList();
    if (port.Entries().size() != 3u)
        return testing::AssertionFailure()
               << port.Entries().size() << " output entries; the receiver makes 3";
    if (const unsigned result = port.Pick(OutputList::kFirstDevice); result != 0)
        return testing::AssertionFailure() << "picking the receiver gave " << result;
    return testing::AssertionSuccess();
}

TEST_F(JackDevice, ReceiverGetsExactlyTheBytesSentInOrder) {
    JackReceiver receiver("fw_receiver");
    ASSERT_TRUE(receiver.Ready());

    port.BuildOutputList();
    // The dummy driver has no MIDI ports: the receiver is the only device.
    ASSERT_EQ(port.Entries(),
              (std::vector<std::string>{"(None)", "MIDI MAPPER", "fw_receiver:in"}));
    ASSERT_EQ(port.Pick(OutputList::kFirstDevice), 0);
    EXPECT_EQ(port.Caption(), "Faderwell Standard [fw_receiver:in]");

    Mixer mixer(port, timer, values);
    mixer.SendDrumKitSelect();
    for (int step = 0; step < 7; ++step) mixer.CC.StepUp();  // controller 7
    {
        // Sent as a fade tick that the thread came to late: its words are
        // held until their due moment's turn, and what follows them and the
        // close still keep to the order sent.
        const WordsDueAt tick(port, std::chrono::steady_clock::now() - 3ms);
        mixer.MVol.SetPosition(27);  // every channel is linked: sixteen Control Changes
    }
    port.SendShortMessage(HiHatTick());
    port.ResetAndClose();

    // Roland's drum kit: Bank Select 61/2, Program Change 0 (two bytes).
    std::vector<std::string> expected{"B9 00 3D", "B9 20 02", "C9 00"};
    for (int channel = 0; channel < midi::kChannelCount; ++channel) {
        expected.push_back(ChannelLine(channel, "07 64"));  // value 100
    }
    expected.push_back("99 2A 64");
    expected.push_back("89 2A 00");  // the reset ends the hi-hat, then silences every channel
    for (int channel = 0; channel < midi::kChannelCount; ++channel) {
        expected.push_back(ChannelLine(channel, "40 00"));
        expected.push_back(ChannelLine(channel, "7B 00"));
    }
    EXPECT_EQ(receiver.Take(expected.size()), expected);
    EXPECT_EQ(receiver.Extra(kQuietAfter), std::nullopt);
    EXPECT_EQ(receiver.Quit(), 0);
}

TEST_F(JackDevice, MapperIsAPortOfOurOwnThatSynthsConnectTo) {
    JackReceiver receiver("fw_synth");
    ASSERT_TRUE(receiver.Ready());
    port.BuildOutputList();
    ASSERT_EQ(port.Pick(OutputList::kMapper), 0);
    EXPECT_EQ(port.Caption(), "Faderwell Standard [MIDI MAPPER]");

    ChildProcess connect({"jack_connect", "Faderwell Standard:Faderwell Standard", "fw_synth:in"});
    ASSERT_EQ(connect.CloseInputAndWait(30s), 0);
    port.SendShortMessage(ChannelVolumeMessage(3, 7, 27));
    EXPECT_EQ(receiver.Take(1), std::vector<std::string>{"B2 07 64"});
    port.ResetAndClose();
    EXPECT_EQ(receiver.Take(2), (std::vector<std::string>{"B0 40 00", "B0 7B 00"}));
}

TEST_F(JackDevice, ListingAndOpeningTakeOneClientAndAListingAloneLetsItsClientGo) {
    ClientCounter counter;
    ASSERT_TRUE(counter.Ready());
    // Each client the server admits or lets go costs tens of milliseconds
    // of start-up, and one kept for nothing keeps the port table mapped.
    port.BuildOutputList();
    EXPECT_TRUE(PollUntil([&] { return counter.letGo >= 1; }, 30s));
    // Start-up's order: the list, then the stored output, on one client.
    port.BuildOutputList();
    ASSERT_EQ(port.Pick(OutputList::kMapper), 0);
    port.BuildOutputList();
    // The server tells its clients in its own time: a client more, or one
    // let go, would be told by the time the receiver's admission is.
    JackReceiver later("fw_later");
    ASSERT_TRUE(later.Ready());
    EXPECT_TRUE(PollUntil([&] { return counter.admitted >= 3; }, 10s));
    EXPECT_EQ(counter.admitted.load(), 3);  // the first listing's, the output, the receiver
    EXPECT_EQ(counter.letGo.load(), 1);
    port.ResetAndClose();
}

TEST_F(JackDevice, ReceiverThatQuitTakesNothingAndNothingHangs) {
    auto receiver = std::make_unique<JackReceiver>("fw_leaving");
    ASSERT_TRUE(receiver->Ready());
    ASSERT_TRUE(PickTheReceiver(port));
    port.SendShortMessage(HiHatTick());
    ASSERT_EQ(receiver->Take(1), std::vector<std::string>{"99 2A 64"});
    ASSERT_EQ(receiver->Quit(), 0);
    receiver.reset();

    EXPECT_LT(FloodAndClose(port), kFloodDeadline);
    // Device numbers refer to the list as it was built: the device that went
    // away cannot be opened again, and nothing else is opened in its place.
    EXPECT_NE(port.Pick(OutputList::kFirstDevice), 0);
    port.SendShortMessage(HiHatTick());
    port.ResetAndClose();
}

#ifdef FADERWELL_PROGRAM
TEST_F(JackDevice, TheProgramOpensTheStoredReceiverWhereverItStandsAndSaysWhenItIsNotListed) {
    JackReceiver other("fw_other");
    ASSERT_TRUE(other.Ready());
    // Its process number in its name, as FluidSynth's ALSA port seen through PipeWire.
    JackReceiver stored("fw_stored (4242)");
    ASSERT_TRUE(stored.Ready());
    port.BuildOutputList();
    ASSERT_EQ(port.Entries(), (std::vector<std::string>{"(None)", "MIDI MAPPER", "fw_other:in",
                                                        "fw_stored (4242):in"}));

    std::string config =
        (std::filesystem::temp_directory_path() / "faderwell-config-XXXXXX").string();
    ASSERT_NE(::mkdtemp(config.data()), nullptr);
    const std::filesystem::path file = std::filesystem::path(config) / "veldrin" / "faderwell.reg";
    const std::filesystem::path log = std::filesystem::path(config) / "output.log";
    std::filesystem::create_directories(file.parent_path());
    // Saved when the receiver stood first in the list under another process
    // number, with Roland's kit; then a name no port has.
    for (const char* name : {"fw_stored (1234):in", "fw_gone:in"}) {
        std::ofstream(file) << "Windows Registry Editor Version 5.00\n\n"
                               "[HKEY_CURRENT_USER\\SOFTWARE\\VELDRIN\\FADERWELL]\n"
                               "\"MIDI_OUT\"=hex:02\n\"MIDI_OUT_NAME\"=\""
                            << name << "\"\n\"SPEED\"=hex:03\n\"VENDOR\"=hex:01\n";
        ChildProcess program({FADERWELL_PROGRAM},
                             {{"XDG_CONFIG_HOME=" + config, "QT_QPA_PLATFORM=offscreen"}, log});
        ASSERT_TRUE(program.Started());
        const std::vector<std::string> kit{"B9 00 3D", "B9 20 02", "C9 00"};
        const bool found = std::string(name) != "fw_gone:in";
        const auto heard = found ? stored.Take(3) : std::vector<std::string>{};
        EXPECT_EQ(stored.Extra(kQuietAfter), std::nullopt);
        EXPECT_EQ(other.Extra(kQuietAfter), std::nullopt);
        program.Terminate(30s);
        std::ifstream said(log);
        const std::string text{std::istreambuf_iterator<char>(said), {}};
        EXPECT_EQ(heard, found ? kit : std::vector<std::string>{}) << text;
        EXPECT_EQ(
            text.find("Faderwell Standard: the chosen MIDI output \"fw_gone:in\" is not listed") !=
                std::string::npos,
            !found)
            << text;
    }
    std::filesystem::remove_all(config);
}
#endif

enum class ServerKind { kJackd, kPipeWire };

const char* ServerKindName(ServerKind kind) {
    return kind == ServerKind::kJackd ? "Jackd" : "PipeWire";
}

/// A failing case names its server rather than showing the enum's bytes.
void PrintTo(ServerKind kind, std::ostream* os) {
    *os << ServerKindName(kind);
}

/// A server of the test's own, jackd or PipeWire, that the test may kill and
/// start again under the same name. A PipeWire test's process must have
/// PipeWire's libjack on its library path.
class LifeServer {
public:
    explicit LifeServer(ServerKind kind) {
        if (kind == ServerKind::kJackd) {
            jackd_ = std::make_unique<JackServer>(JackServerOptions{TestServerName("life")});
            name_ = std::make_unique<UseJackServer>(jackd_->Name());
        } else {
            pipewire_ = std::make_unique<PipeWireInstance>(TestServerName("life_pw"));
            runtime_ =
                std::make_unique<ScopedEnvironment>("XDG_RUNTIME_DIR", pipewire_->RuntimeDir());
            pipewireRuntime_ = std::make_unique<ScopedEnvironment>("PIPEWIRE_RUNTIME_DIR",
                                                                   pipewire_->RuntimeDir());
        }
    }
    bool Start() { return jackd_ ? jackd_->Start() : pipewire_->Start(); }
    void Stop() { jackd_ ? jackd_->Stop() : pipewire_->Stop(); }
    void Kill() { jackd_ ? jackd_->Kill() : pipewire_->Kill(); }
    /// SIGSTOP or SIGCONT, as a server stuck on a device and freed again.
    bool Signal(int signal) {
        return ::kill(jackd_ ? jackd_->Pid() : pipewire_->Pid(), signal) == 0;
    }
    const std::string& Error() const { return jackd_ ? jackd_->Error() : pipewire_->Error(); }
    /// For the receiver and the JACK tools the test starts.
    std::vector<std::string> ClientEnvironment() const {
        return jackd_ ? std::vector<std::string>{} : pipewire_->ClientEnvironment();
    }

private:
    std::unique_ptr<JackServer> jackd_;
    std::unique_ptr<UseJackServer> name_;
    std::unique_ptr<PipeWireInstance> pipewire_;
    std::unique_ptr<ScopedEnvironment> runtime_;
    std::unique_ptr<ScopedEnvironment> pipewireRuntime_;
};

/// Every test starts a server of its own, as a desktop's session does.
class JackLife : public testing::TestWithParam<ServerKind> {
protected:
    void SetUp() override { ASSERT_TRUE(server.Start()) << server.Error(); }

    std::unique_ptr<JackReceiver> StartReceiver(const std::string& client) const {
        return std::make_unique<JackReceiver>(client, server.ClientEnvironment());
    }
    /// Connects two ports as a patchbay would, or with "jack_disconnect"
    /// disconnects them.
    int Connect(const std::string& from, const std::string& to,
                const char* tool = "jack_connect") const {
        ChildProcess connect({tool, from, to}, ChildOptions{server.ClientEnvironment()});
        return connect.CloseInputAndWait(30s).value_or(-1);
    }

    LifeServer server{GetParam()};
    ProcessValues values{Defaults::Values()};
    /// The program's output, ended before its server.
    LinuxMidiOutService service{kJackRoute};
    MidiOutPort port{service, values};
};

/// What the reset before every open sends when nothing is left sounding.
std::vector<std::string> SilencingWords() {
    std::vector<std::string> words;
    for (int channel = 0; channel < midi::kChannelCount; ++channel) {
        words.push_back(ChannelLine(channel, "40 00"));
        words.push_back(ChannelLine(channel, "7B 00"));
    }
    return words;
}

/// A connection a patchbay makes reaches PipeWire's graph some cycles after
/// jack_connect has returned, later still on a slow machine: sends a word the
/// test does not look for until the receiver hears one, then lets the rest of
/// them arrive.
bool HeardOnceConnected(MidiOutPort& port, JackReceiver& receiver) {
    constexpr int kTries = 200;  // 10 s: only a connection that never comes takes that long
    for (int tries = 0; tries < kTries; ++tries) {
        port.SendShortMessage(ChannelVolumeMessage(16, 7, 127));
        if (receiver.Extra(50ms)) {
            receiver.Received(kQuietAfter);
            return true;
        }
    }
    return false;
}

TEST_P(JackLife, SendingAfterTheServerDiedNeitherCrashesNorBlocks) {
    port.BuildOutputList();
    ASSERT_EQ(port.Pick(OutputList::kMapper), 0);
    port.SendShortMessage(HiHatTick());

    // The flood follows once the clients have learnt of the server's end, as
    // a fade's next tick would: the sender must then neither wait for the
    // server nor crash.
    ClientCounter watch;
    ASSERT_TRUE(watch.Ready());
    server.Stop();
    port.SendShortMessage(HiHatTick());
    ASSERT_TRUE(PollUntil([&] { return watch.serverGone.load(); }, 10s));
    EXPECT_LT(FloodAndClose(port), kFloodDeadline);
    // With the server gone there is no MIDI service left to open.
    EXPECT_NE(port.Pick(OutputList::kMapper), 0);
}

/// Knocks with a controller of the test's own until the receiver hears one,
/// then sends `words`; what the receiver heard up to the last of them,
/// knocks left out.
std::vector<std::string> HeardAfterKnocking(MidiOutPort& port, JackReceiver& receiver,
                                            const std::vector<ShortMessage>& words,
                                            const std::string& last) {
    const ShortMessage knock = PackShortMessage(0xBF, 0x10, 0x01);
    std::vector<std::string> heard;
    if (!PollUntil(
            [&] {
                port.SendShortMessage(knock);
                const auto more = receiver.Received(100ms);
                heard.insert(heard.end(), more.begin(), more.end());
                return !heard.empty();
            },
            10s))
        return heard;
    for (const ShortMessage word : words) port.SendShortMessage(word);
    for (auto next = receiver.Take(1); !next.empty(); next = receiver.Take(1)) {
        heard.push_back(next.front());
        if (next.front() == last)
            break;
    }
    std::erase(heard, "BF 10 01");  // knocks that were still on their way
    return heard;
}

TEST_P(JackLife, AfterTheServerWasKilledAndStartedAgainTheOutputComesBackByItself) {
    SaidLines said(port);
    auto receiver = StartReceiver("fw_life_synth");
    ASSERT_TRUE(receiver->Ready());
    ASSERT_TRUE(PickTheReceiver(port));
    const std::string caption = port.Caption();
    port.SendShortMessage(HiHatTick());
    ASSERT_EQ(receiver->Take(1), std::vector<std::string>{"99 2A 64"});
    // The output says when it has learnt of the end; no other client of this
    // process may look meanwhile (jackd's libjack shares a dead server's
    // sockets between the clients of a process).
    server.Kill();
    ASSERT_TRUE(PollUntil([&] { return said.Holding("the JACK server has gone") == 1; }, 10s));
    receiver->Quit();
    // Dead, the output takes words without waiting, and keeps none of them.
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < kFloodWords; ++i) port.SendShortMessage(ChannelVolumeMessage(5, 7, 27));
    EXPECT_LT(std::chrono::steady_clock::now() - start, kFloodDeadline);

    ASSERT_TRUE(server.Start()) << server.Error();
    receiver = StartReceiver("fw_life_synth");
    ASSERT_TRUE(receiver->Ready());
    // Nobody picks anything: the next words reach the receiver.
    EXPECT_EQ(HeardAfterKnocking(port, *receiver, {ChannelVolumeMessage(3, 7, 27), HiHatTick()},
                                 "99 2A 64"),
              (std::vector<std::string>{"B2 07 64", "99 2A 64"}));
    EXPECT_EQ(port.Caption(), caption);
    EXPECT_TRUE(PollUntil(
        [&] { return said.Holding("runs again: MIDI goes to \"fw_life_synth:in\" again") == 1; },
        10s));

    // As in the settings dialog, the arrow keys pass "MIDI MAPPER" on their
    // way back to the receiver.
    ASSERT_EQ(port.Pick(OutputList::kMapper), 0);
    ASSERT_EQ(Connect("Faderwell Standard:Faderwell Standard", "fw_life_synth:in"), 0);
    ASSERT_TRUE(HeardOnceConnected(port, *receiver));
    port.SendShortMessage(HiHatTick());
    EXPECT_EQ(receiver->Take(1), std::vector<std::string>{"99 2A 64"});
    // The entry is found by its name on the new server.
    ASSERT_EQ(port.Pick(OutputList::kFirstDevice), 0);
    std::vector<std::string> expected{"89 2A 00"};  // the reset ends the hi-hat
    const auto silencing = SilencingWords();
    expected.insert(expected.end(), silencing.begin(), silencing.end());
    EXPECT_EQ(receiver->Take(expected.size()), expected);
    port.SendShortMessage(ChannelVolumeMessage(3, 7, 27));
    EXPECT_EQ(receiver->Take(1), std::vector<std::string>{"B2 07 64"});
    port.ResetAndClose();
    EXPECT_EQ(receiver->Take(silencing.size()), silencing);
}

TEST_P(JackLife, AStoppedServerNeverHoldsTheCallerAndThePickFails) {
    SaidLines said(port);
    auto receiver = StartReceiver("fw_life_stuck");
    ASSERT_TRUE(receiver->Ready());
    ASSERT_TRUE(PickTheReceiver(port));
    port.SendShortMessage(HiHatTick());
    ASSERT_EQ(receiver->Take(1), std::vector<std::string>{"99 2A 64"});

    ASSERT_TRUE(server.Signal(SIGSTOP));
    const auto start = std::chrono::steady_clock::now();
    const std::uint8_t result = port.Pick(OutputList::kFirstDevice);
    const auto picked = std::chrono::steady_clock::now() - start;
    for (int i = 0; i < kFloodWords; ++i) port.SendShortMessage(ChannelVolumeMessage(5, 7, 27));
    const auto flooded = std::chrono::steady_clock::now() - start;
    ASSERT_TRUE(server.Signal(SIGCONT));
    EXPECT_NE(result, 0);
    // Ten times the room the bound needs.
    EXPECT_LT(picked, 10 * JackOutputKeeper::kAnswerBound);
    EXPECT_LT(flooded, kFloodDeadline);
    EXPECT_EQ(said.Holding("the JACK server does not answer"), 1);

    // Answering again, the server takes the next pick as ever.
    ASSERT_EQ(port.Pick(OutputList::kFirstDevice), 0);
    const auto heard =
        HeardAfterKnocking(port, *receiver, {ChannelVolumeMessage(3, 7, 27)}, "B2 07 64");
    ASSERT_FALSE(heard.empty());
    EXPECT_EQ(heard.back(), "B2 07 64");
    port.ResetAndClose();
}

TEST_P(JackLife, AConnectionTheUserRemovedStaysRemovedUntilTheNextPick) {
    auto receiver = StartReceiver("fw_life_patched");
    ASSERT_TRUE(receiver->Ready());
    ASSERT_TRUE(PickTheReceiver(port));
    port.SendShortMessage(HiHatTick());
    ASSERT_EQ(receiver->Take(1), std::vector<std::string>{"99 2A 64"});
    ASSERT_EQ(
        Connect("Faderwell Standard:Faderwell Standard", "fw_life_patched:in", "jack_disconnect"),
        0);
    // The server takes the link away in a cycle to come.
    ASSERT_TRUE(PollUntil(
        [&] {
            port.SendShortMessage(ChannelVolumeMessage(16, 7, 127));
            return receiver->Received(100ms).empty();
        },
        10s));
    // Another program's port comes and goes; the user's patching stays.
    auto other = StartReceiver("fw_life_unrelated");
    ASSERT_TRUE(other->Ready());
    other.reset();
    for (int i = 0; i < 10; ++i) {
        port.SendShortMessage(ChannelVolumeMessage(4, 7, 27));
        EXPECT_EQ(receiver->Extra(50ms), std::nullopt);
    }
    ASSERT_EQ(port.Pick(OutputList::kFirstDevice), 0);
    port.SendShortMessage(HiHatTick());
    const auto heard = receiver->Take(1 + SilencingWords().size());
    EXPECT_EQ(heard.back(), "99 2A 64");
    port.ResetAndClose();
}

TEST_P(JackLife, WithNothingOpenTheClientRunsNoCycles) {
    auto receiver = StartReceiver("fw_life_idle");
    ASSERT_TRUE(receiver->Ready());
    JackOutputKeeper output("fw_life_idle_output", {});
    ASSERT_EQ(output.Open("fw_life_idle:in"), JackOutputKeeper::Outcome::kOpen);
    const std::uint64_t open = output.Cycles();
    EXPECT_TRUE(PollUntil([&] { return output.Cycles() > open + 2; }, 10s));
    output.Close();
    // Once the close is done, the server leaves the client be.
    EXPECT_TRUE(PollUntil(
        [&] {
            const std::uint64_t before = output.Cycles();
            std::this_thread::sleep_for(200ms);
            return output.Cycles() == before;
        },
        10s));
    const std::uint64_t closed = output.Cycles();
    std::this_thread::sleep_for(300ms);
    EXPECT_EQ(output.Cycles(), closed);
    ASSERT_EQ(output.Open(std::nullopt), JackOutputKeeper::Outcome::kOpen);
    EXPECT_TRUE(PollUntil([&] { return output.Cycles() > closed + 2; }, 10s));
}

TEST_P(JackLife, TwoProgramsStartedAtOnceHaveANameEachAndReachTheSameReceiver) {
    auto receiver = StartReceiver("fw_life_shared");
    ASSERT_TRUE(receiver->Ready());
    // Two programs, each with its service and port, opening at the same
    // moment: the server sees two clients asking for the same name.
    MidiOutPort& first = port;
    LinuxMidiOutService secondService{kJackRoute};
    ProcessValues secondValues{Defaults::Values()};
    MidiOutPort second(secondService, secondValues);
    testing::AssertionResult secondPicked = testing::AssertionSuccess();
    std::thread other([&] { secondPicked = PickTheReceiver(second); });
    const testing::AssertionResult firstPicked = PickTheReceiver(first);
    other.join();
    ASSERT_TRUE(firstPicked);
    ASSERT_TRUE(secondPicked);

    const std::vector<std::string> names{"Faderwell Standard:Faderwell Standard",
                                         "Faderwell Standard-01:Faderwell Standard"};
    if (GetParam() == ServerKind::kPipeWire) {
        // PipeWire's libjack shows each client a name of its own making for a
        // name taken twice: only the graph's node names tell.
        ChildProcess dump({"pw-dump"}, ChildOptions{server.ClientEnvironment()});
        // Each node's name may show in its properties more than once.
        const std::string key = "\"node.name\": \"";
        std::set<std::string> nodes;
        int named = 0;
        while (const auto line = dump.ReadLine(10s)) {
            const auto at = line->find(key + "Faderwell Standard");
            if (at == std::string::npos || line->find(" list\"") != std::string::npos)
                continue;
            ++named;
            const auto from = at + key.size();
            nodes.insert(line->substr(from, line->find('"', from) - from));
        }
        EXPECT_EQ(nodes, (std::set<std::string>{"Faderwell Standard", "Faderwell Standard-01"}))
            << named << " names of our nodes";
    } else {
        ClientCounter watch;
        ASSERT_TRUE(watch.Ready());
        EXPECT_EQ(watch.OutputPorts("^Faderwell Standard"), names);
    }
    first.SendShortMessage(ChannelVolumeMessage(1, 7, 27));
    EXPECT_EQ(receiver->Take(1), std::vector<std::string>{"B0 07 64"});
    second.SendShortMessage(ChannelVolumeMessage(2, 7, 27));
    EXPECT_EQ(receiver->Take(1), std::vector<std::string>{"B1 07 64"});
    first.ResetAndClose();
    second.ResetAndClose();
}

TEST_P(JackLife, ASynthesizerThatComesBackGetsTheWordsSentAfter) {
    auto receiver = StartReceiver("fw_life_returning");
    ASSERT_TRUE(receiver->Ready());
    ASSERT_TRUE(PickTheReceiver(port));
    const std::string caption = port.Caption();
    port.SendShortMessage(HiHatTick());
    ASSERT_EQ(receiver->Take(1), std::vector<std::string>{"99 2A 64"});
    ASSERT_EQ(receiver->Quit(), 0);
    receiver.reset();

    // Sent while it is away: dropped, not kept for its return.
    for (int value = 0; value < 100; ++value)
        port.SendShortMessage(ChannelVolumeMessage(5, 7, value));
    receiver = StartReceiver("fw_life_returning");
    ASSERT_TRUE(receiver->Ready());
    // The output connects again in its own time; until a word comes through,
    // the test knocks with a controller of its own.
    const ShortMessage knock = PackShortMessage(0xBF, 0x10, 0x01);
    std::vector<std::string> heard;
    ASSERT_TRUE(PollUntil(
        [&] {
            port.SendShortMessage(knock);
            const auto more = receiver->Received(100ms);
            heard.insert(heard.end(), more.begin(), more.end());
            return !heard.empty();
        },
        10s));
    port.SendShortMessage(ChannelVolumeMessage(6, 7, 27));
    port.SendShortMessage(HiHatTick());
    for (auto next = receiver->Take(1); !next.empty(); next = receiver->Take(1)) {
        heard.push_back(next.front());
        if (next.front() == "99 2A 64")
            break;
    }
    std::erase(heard, "BF 10 01");  // knocks that were still on their way
    EXPECT_EQ(heard, (std::vector<std::string>{"B5 07 64", "99 2A 64"}));
    EXPECT_EQ(port.Caption(), caption);
    port.ResetAndClose();
}

/// PipeWire's own output, in a process without PipeWire's libjack on its
/// library path, as on a desktop where nobody set that up; every test starts
/// a PipeWire instance of its own. The receivers are native nodes, standing
/// where hardware bridged by PipeWire would, and JACK clients through
/// PipeWire's JACK layer.
class PipeWireNative : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(server.Start()) << server.Error(); }

    std::unique_ptr<JackReceiver> StartNode(const std::string& name) const {
        return std::make_unique<JackReceiver>(name, server.ClientEnvironment(),
                                              JackReceiver::Lines::kBytes,
                                              JackReceiver::Kind::kPipeWireNode);
    }
    /// A native receiver named `name`, picked as the output and heard from;
    /// null (the failure said) when it is not.
    std::unique_ptr<JackReceiver> PickedNode(const std::string& name) {
        auto node = StartNode(name);
        if (!node->Ready() || !PickTheReceiver(port)) {
            ADD_FAILURE() << name << " did not start or could not be picked";
            return nullptr;
        }
        port.SendShortMessage(HiHatTick());
        if (const auto heard = node->Take(1); heard != std::vector<std::string>{"99 2A 64"}) {
            ADD_FAILURE() << name << " heard " << testing::PrintToString(heard);
            return nullptr;
        }
        return node;
    }
    /// Knocks with a controller of its own until a word comes through,
    /// then the next word sent must arrive, and nothing before it.
    static void NextWordArrives(MidiOutPort& port, JackReceiver& receiver) {
        const ShortMessage knock = PackShortMessage(0xBF, 0x10, 0x01);
        ASSERT_TRUE(PollUntil(
            [&] {
                port.SendShortMessage(knock);
                return !receiver.Received(100ms).empty();
            },
            10s));
        port.SendShortMessage(ChannelVolumeMessage(6, 7, 27));
        std::vector<std::string> heard;
        for (auto next = receiver.Take(1); !next.empty(); next = receiver.Take(1)) {
            if (next.front() == "BF 10 01")
                continue;  // knocks that were still on their way
            heard.push_back(next.front());
            break;
        }
        EXPECT_EQ(heard, std::vector<std::string>{"B5 07 64"});
    }

    LifeServer server{ServerKind::kPipeWire};
    ProcessValues values{Defaults::Values()};
    LinuxMidiOutService service;
    MidiOutPort port{service, values};
};

TEST_F(PipeWireNative, EveryInputIsListedOnceAndANameTheJackOutputStoredIsFound) {
    auto node = StartNode("fw_native");
    ASSERT_TRUE(node->Ready());
    JackReceiver jack("fw_jack", server.ClientEnvironment());
    ASSERT_TRUE(jack.Ready());
    // Saved by the JACK output while the JACK client stood first.
    values.MidiOutIndex = OutputList::kFirstDevice;
    values.MidiOutName = "fw_jack:in";
    port.BuildOutputList();
    EXPECT_EQ(port.Entries(),
              (std::vector<std::string>{"(None)", "MIDI MAPPER", "fw_native:in", "fw_jack:in"}));
    ASSERT_EQ(port.OpenStoredOutput(), 0);
    EXPECT_EQ(port.Caption(), "Faderwell Standard [fw_jack:in]");
    port.SendShortMessage(HiHatTick());
    EXPECT_EQ(jack.Take(1), std::vector<std::string>{"99 2A 64"});

    ASSERT_EQ(port.Pick(OutputList::kFirstDevice), 0);
    EXPECT_EQ(port.Caption(), "Faderwell Standard [fw_native:in]");
    port.SendShortMessage(ChannelVolumeMessage(3, 7, 27));
    {
        const WordsDueAt tick(port, std::chrono::steady_clock::now() - 3ms);
        port.SendShortMessage(HiHatTick());
    }
    port.ResetAndClose();
    std::vector<std::string> expected{"B2 07 64", "99 2A 64", "89 2A 00"};
    const auto silencing = SilencingWords();
    expected.insert(expected.end(), silencing.begin(), silencing.end());
    EXPECT_EQ(node->Take(expected.size()), expected);
    EXPECT_EQ(node->Extra(kQuietAfter), std::nullopt);

    // The mapper is a node of the program's own that a patchbay links.
    ASSERT_EQ(port.Pick(OutputList::kMapper), 0);
    ChildProcess link({"pw-link", "Faderwell Standard:Faderwell Standard", "fw_native:in"},
                      ChildOptions{server.ClientEnvironment()});
    ASSERT_EQ(link.CloseInputAndWait(30s), 0);
    EXPECT_TRUE(HeardOnceConnected(port, *node));
    port.ResetAndClose();
    EXPECT_EQ(node->Take(silencing.size()), silencing);
    EXPECT_EQ(node->Quit(), 0);
}

TEST_F(PipeWireNative, ASynthesizerThatComesBackGetsTheWordsSentAfter) {
    auto node = PickedNode("fw_native_returning");
    ASSERT_TRUE(node);
    ASSERT_EQ(node->Quit(), 0);
    // Sent while it is away: dropped, not kept for its return.
    for (int value = 0; value < 100; ++value)
        port.SendShortMessage(ChannelVolumeMessage(5, 7, value));
    node = StartNode("fw_native_returning");
    ASSERT_TRUE(node->Ready());
    NextWordArrives(port, *node);
    port.ResetAndClose();
}

TEST_F(PipeWireNative, AfterPipeWireWasKilledAndStartedAgainTheOutputComesBackByItself) {
    SaidLines said(port);
    auto node = PickedNode("fw_native_life");
    ASSERT_TRUE(node);
    const std::string caption = port.Caption();
    server.Kill();
    node->Quit();
    // With the daemon gone, words go nowhere and nothing waits.
    const auto start = std::chrono::steady_clock::now();
    for (int value = 0; value < 100; ++value)
        port.SendShortMessage(ChannelVolumeMessage(5, 7, value));
    EXPECT_LT(std::chrono::steady_clock::now() - start, kFloodDeadline);

    // Back later than the output keeps knocking on its own (three seconds):
    // it has to see the daemon's socket appear.
    std::this_thread::sleep_for(4s);
    ASSERT_TRUE(server.Start()) << server.Error();
    // Moves made before the input is back go nowhere either, also once the
    // output's node is back on the daemon.
    for (int value = 0; value < 20; ++value, std::this_thread::sleep_for(50ms))
        port.SendShortMessage(ChannelVolumeMessage(5, 7, value));
    node = StartNode("fw_native_life");
    ASSERT_TRUE(node->Ready());
    EXPECT_EQ(node->Extra(kQuietAfter), std::nullopt);
    NextWordArrives(port, *node);
    EXPECT_EQ(port.Caption(), caption);
    EXPECT_EQ(said.Holding("PipeWire has gone, so MIDI to \"fw_native_life:in\" is dropped"), 1);
    EXPECT_EQ(said.Holding("PipeWire runs again: MIDI goes to \"fw_native_life:in\" again"), 1);
    port.ResetAndClose();
}

TEST_F(PipeWireNative, AStoppedDaemonNeverHoldsTheCallerLongAndThePickSaysWhy) {
    SaidLines said(port);
    auto node = PickedNode("fw_native_stuck");
    ASSERT_TRUE(node);
    ASSERT_TRUE(server.Signal(SIGSTOP));
    const auto start = std::chrono::steady_clock::now();
    const std::uint8_t result = port.Pick(OutputList::kFirstDevice);
    const auto picked = std::chrono::steady_clock::now() - start;
    ASSERT_TRUE(server.Signal(SIGCONT));
    EXPECT_NE(result, 0);
    // Ten times the room the bounds need: the last words', then the answer's.
    EXPECT_LT(picked, 10 * (PipeWireMidiOutput::kDrainBound + PipeWireMidiOutput::kAnswerBound));
    EXPECT_EQ(said.Holding("PipeWire does not answer"), 1);  // not a device that went
    ASSERT_EQ(port.Pick(OutputList::kFirstDevice), 0);
    NextWordArrives(port, *node);
    port.ResetAndClose();
}

INSTANTIATE_TEST_SUITE_P(Servers, JackLife,
                         testing::Values(ServerKind::kJackd, ServerKind::kPipeWire),
                         [](const testing::TestParamInfo<ServerKind>& server) {
                             return ServerKindName(server.param);
                         });

}  // namespace
}  // namespace faderwell::test
