// End to end against a real JACK server (dummy driver, a server name of the
// test run's own): words leave the process and reach another JACK client,
// exactly and in order, and a device or server that goes away takes nothing
// without crashing or blocking the sender. What a desktop does to the output
// over its life (the server killed and started again, a second program, the
// synthesizer restarted) runs on jackd and on a private PipeWire instance.
#include <gtest/gtest.h>
#include <jack/jack.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include "../core/Doubles.h"
#include "ChildProcess.h"
#include "JackReceiver.h"
#include "TestServices.h"
#include "core/Defaults.h"
#include "core/Mixer.h"
#include "core/OutputList.h"
#include "midi/MidiOutPort.h"
#include "midi/linux/LinuxMidiOutService.h"

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
public:
    ClientCounter() {
        client_ = jack_client_open("fw_counter", JackNoStartServer, nullptr);
        if (client_ == nullptr)
            return;
        jack_set_client_registration_callback(client_, &ClientCounter::OnClient, this);
        jack_on_shutdown(client_, &ClientCounter::OnShutdown, this);
        ready_ = jack_activate(client_) == 0;
    }
    ~ClientCounter() {
        // jackd's libjack crashes closing a client whose server was stopped
        // when another client of the process was closed after the stop (the
        // program's output is): the process ends soon after, and takes the
        // client with it. The program holds one client at a time.
        if (client_ != nullptr && !serverGone)
            jack_client_close(client_);
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
    std::atomic<int> admitted{0};
    std::atomic<int> letGo{0};
    std::atomic<bool> serverGone{false};

private:
    static void OnClient(const char*, int registered, void* counter) {
        auto& self = *static_cast<ClientCounter*>(counter);
        (registered ? self.admitted : self.letGo).fetch_add(1);
    }
    static void OnShutdown(void* counter) {
        static_cast<ClientCounter*>(counter)->serverGone = true;
    }

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
    LinuxMidiOutService service;
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

TEST_F(JackDevice, ListingAndOpeningTakeOneShortLivedClientBeyondTheOutput) {
    ClientCounter counter;
    ASSERT_TRUE(counter.Ready());
    // Start-up's order: the list, then the stored output. Each client the
    // server admits or lets go costs tens of milliseconds of start-up.
    port.BuildOutputList();
    ASSERT_EQ(port.Pick(OutputList::kMapper), 0);
    // The server tells its clients in its own time.
    EXPECT_TRUE(PollUntil([&] { return counter.admitted >= 2 && counter.letGo >= 1; }, 10s));
    EXPECT_EQ(counter.admitted.load(), 2);  // the list's client, the output
    EXPECT_EQ(counter.letGo.load(), 1);     // the list's
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
TEST_F(JackDevice, TheProgramOpensTheStoredReceiverAfterAnotherInputCameBeforeIt) {
    JackReceiver other("fw_other");
    ASSERT_TRUE(other.Ready());
    JackReceiver stored("fw_stored");
    ASSERT_TRUE(stored.Ready());
    port.BuildOutputList();
    ASSERT_EQ(port.Entries(),
              (std::vector<std::string>{"(None)", "MIDI MAPPER", "fw_other:in", "fw_stored:in"}));

    // Saved when the receiver stood first in the list, with Roland's kit.
    std::string config =
        (std::filesystem::temp_directory_path() / "faderwell-config-XXXXXX").string();
    ASSERT_NE(::mkdtemp(config.data()), nullptr);
    const std::filesystem::path file = std::filesystem::path(config) / "veldrin" / "faderwell.reg";
    std::filesystem::create_directories(file.parent_path());
    std::ofstream(file) << "Windows Registry Editor Version 5.00\n\n"
                           "[HKEY_CURRENT_USER\\SOFTWARE\\VELDRIN\\FADERWELL]\n"
                           "\"MIDI_OUT\"=hex:02\n\"MIDI_OUT_NAME\"=\"fw_stored:in\"\n"
                           "\"SPEED\"=hex:03\n\"VENDOR\"=hex:01\n";
    {
        ChildProcess program({FADERWELL_PROGRAM},
                             {{"XDG_CONFIG_HOME=" + config, "QT_QPA_PLATFORM=offscreen"}});
        ASSERT_TRUE(program.Started());
        EXPECT_EQ(stored.Take(3), (std::vector<std::string>{"B9 00 3D", "B9 20 02", "C9 00"}));
        EXPECT_EQ(other.Extra(kQuietAfter), std::nullopt);
        program.Terminate(30s);
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
    /// Connects two ports as a patchbay would.
    int Connect(const std::string& from, const std::string& to) const {
        ChildProcess connect({"jack_connect", from, to}, ChildOptions{server.ClientEnvironment()});
        return connect.CloseInputAndWait(30s).value_or(-1);
    }

    LifeServer server{GetParam()};
    ProcessValues values{Defaults::Values()};
    /// The program's output, ended before its server.
    LinuxMidiOutService service;
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

TEST_P(JackLife, AfterTheServerWasKilledAndStartedAgainTheReceiverAndTheMapperDeliver) {
    auto receiver = StartReceiver("fw_life_synth");
    ASSERT_TRUE(receiver->Ready());
    ASSERT_TRUE(PickTheReceiver(port));
    port.SendShortMessage(HiHatTick());
    ASSERT_EQ(receiver->Take(1), std::vector<std::string>{"99 2A 64"});
    {
        // Once the clients have learnt of the end: a user picks long after.
        ClientCounter watch;
        ASSERT_TRUE(watch.Ready());
        server.Kill();
        ASSERT_TRUE(PollUntil([&] { return watch.serverGone.load(); }, 10s));
    }
    receiver->Quit();
    // Dead, the output takes words and its close costs nothing.
    EXPECT_LT(FloodAndClose(port), kFloodDeadline);

    ASSERT_TRUE(server.Start()) << server.Error();
    receiver = StartReceiver("fw_life_synth");
    ASSERT_TRUE(receiver->Ready());
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

TEST_P(JackLife, TwoProgramsOutputsEachReachTheSameReceiver) {
    auto receiver = StartReceiver("fw_life_shared");
    ASSERT_TRUE(receiver->Ready());
    // Two programs, each with its service and port: JACK sees two clients
    // asking for the same name.
    MidiOutPort& first = port;
    LinuxMidiOutService secondService;
    MidiOutPort second(secondService, values);
    ASSERT_TRUE(PickTheReceiver(first));
    ASSERT_TRUE(PickTheReceiver(second));

    ClientCounter watch;
    ASSERT_TRUE(watch.Ready());
    EXPECT_EQ(watch.OutputPorts("^Faderwell Standard"),
              (std::vector<std::string>{"Faderwell Standard:Faderwell Standard",
                                        "Faderwell Standard-01:Faderwell Standard"}));
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

INSTANTIATE_TEST_SUITE_P(Servers, JackLife,
                         testing::Values(ServerKind::kJackd, ServerKind::kPipeWire),
                         [](const testing::TestParamInfo<ServerKind>& server) {
                             return ServerKindName(server.param);
                         });

}  // namespace
}  // namespace faderwell::test
