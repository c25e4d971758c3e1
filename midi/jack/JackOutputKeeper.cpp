#include "midi/jack/JackOutputKeeper.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <utility>

#include "midi/jack/JackMidiOutput.h"

namespace faderwell {

namespace {
using Clock = std::chrono::steady_clock;

/// How long the keeper's end waits for the last words and the close, at
/// most, however long the server keeps showing signs of life.
constexpr auto kEndBound = JackMidiOutput::kDrainBound + JackMidiOutput::kConnectBound;

/// How long a client opened for a listing stays when no output is opened on
/// it: start-up lists and opens the stored output right after, on that one
/// client; one that stayed for nothing would keep the server's port table
/// (tens of MB) mapped for as long as the program runs.
constexpr std::chrono::seconds kListingLinger{3};

std::string Quoted(const std::optional<std::string>& destination) {
    std::string quoted(1, '"');
    quoted += destination ? *destination : std::string("MIDI MAPPER");
    quoted += '"';
    return quoted;
}
}  // namespace

struct JackOutputKeeper::Shared {
    Shared(std::string clientName, Notices say)
        : name(std::move(clientName)), notices(std::move(say)) {}

    const std::string name;
    const Notices notices;
    JackWordQueue words;
    /// An output is open on a running server: words handed over are taken.
    std::atomic<bool> live{false};
    /// libjack calls the thread has come back from: a sign of a server that
    /// answers, beside the process cycles.
    std::atomic<std::uint64_t> progress{0};
    /// A new client is being opened: in a process that has just started, on
    /// a busy machine, libjack takes its time over it without a sign.
    std::atomic<bool> newClient{false};

    std::mutex lock;
    std::condition_variable changed;
    // Under the lock. What the user-interface thread wants: requests are
    // numbered, and the thread carries out the newest.
    std::uint64_t requested{0};
    bool wantOpen{false};
    std::optional<std::string> destination;
    bool stopping{false};
    /// Listings asked for and made, numbered as the requests are.
    std::uint64_t listsAsked{0};
    std::uint64_t listsMade{0};
    std::optional<std::vector<std::string>> listed;
    // What the thread reports, and what libjack's threads tell it.
    std::uint64_t handled{0};
    Outcome outcome{Outcome::kNoServer};
    bool ended{false};
    bool serverGone{false};
    bool announceReturn{false};  // say so once the chosen input is connected again
    bool returned{false};

    // The thread's own.
    std::unique_ptr<JackMidiOutput> output;
    /// The client was opened for a listing and has served no output yet.
    bool listedOnly{false};
    /// The output chosen and opened, kept across a server's end: the
    /// input it connects to (none: the mapper).
    std::optional<std::optional<std::string>> chosen;

    void Say(const std::string& line) const {
        if (notices)
            notices(line);
    }
    void Step() { progress.fetch_add(1); }
    std::uint64_t Signs() const { return progress.load() + words.cycles.load(); }

    JackOutputEvents Events() {
        return {[this] {
                    live.store(false);
                    const std::lock_guard guard(lock);
                    serverGone = true;
                    changed.notify_all();
                },
                [this] {
                    const std::lock_guard guard(lock);
                    if (announceReturn) {
                        returned = true;
                        changed.notify_all();
                    }
                }};
    }

    /// Closes a client whose server has gone and drops what it left unsent:
    /// nothing is kept for a server to come.
    void DropClient() {
        live.store(false);
        output.reset();
        Step();
        while (words.ring.Front() != nullptr) words.ring.Pop();
        words.sent.store(false);
    }

    /// A client on the server that runs now: the one there is, unless its
    /// server has gone, or a new one, inactive; false when no server runs.
    bool EnsureClient() {
        if (output && output->ServerGone())
            DropClient();
        if (!output) {
            newClient.store(true);
            output = JackMidiOutput::Open(name, name, words, Events());
            newClient.store(false);
            Step();
        }
        return output != nullptr;
    }

    std::optional<std::vector<std::string>> List() {
        const bool had = output != nullptr;
        if (!EnsureClient())
            return std::nullopt;
        listedOnly = listedOnly || !had;
        auto names = output->Destinations();
        Step();
        return names;
    }

    /// The previous output lets its words leave and lets go of its input.
    void Disconnect() {
        live.store(false);
        chosen.reset();
        if (output && output->ServerGone())
            DropClient();
        if (output) {
            output->Disconnect();
            Step();
        }
    }

    Outcome Open(const std::optional<std::string>& to) {
        Disconnect();
        // The client of the last output (or listing) serves again, unless
        // its server has gone meanwhile, which an inactive client on
        // PipeWire's libjack learns only here: opening a client afresh for
        // every output costs PipeWire's libjack memory it never gives back.
        if (output && !output->Activate())
            DropClient();
        if (!EnsureClient() || !output->Activate()) {
            DropClient();
            return Outcome::kNoServer;
        }
        listedOnly = false;
        Step();
        if (to && !output->ConnectTo(*to)) {
            Step();
            output->Disconnect();
            Step();
            if (output->ServerGone())
                DropClient();
            return Outcome::kMissing;
        }
        Step();
        chosen = to;
        live.store(true);
        return Outcome::kOpen;
    }

    /// After the chosen output's server went: a server that runs now gets the
    /// output, which follows the chosen input from here on. False when none
    /// runs.
    bool Reopen() {
        if (!EnsureClient())
            return false;
        listedOnly = false;
        const std::optional<std::string> to = *chosen;
        {
            const std::lock_guard guard(lock);
            announceReturn = to.has_value();
        }
        if (to ? !output->Follow(*to) : !output->Activate()) {
            DropClient();
            return false;
        }
        Step();
        live.store(true);
        if (!to)
            Say("a JACK server runs again: MIDI goes to " + Quoted(to) + " again");
        return true;
    }

    void Run() {
        std::unique_lock guard(lock);
        std::uint64_t done = 0;
        std::optional<Clock::time_point> lookAgain;  // while the chosen output's server is gone
        std::optional<Clock::time_point> letGo;      // of a client that only listed
        while (true) {
            if (requested != done) {
                done = requested;
                const bool open = wantOpen;
                const std::optional<std::string> to = destination;
                announceReturn = false;
                lookAgain.reset();
                guard.unlock();
                Outcome result = Outcome::kOpen;
                if (open)
                    result = Open(to);
                else
                    Disconnect();
                guard.lock();
                handled = done;
                outcome = result;
                changed.notify_all();
                continue;
            }
            if (listsAsked != listsMade) {
                const std::uint64_t asked = listsAsked;
                guard.unlock();
                auto names = List();
                guard.lock();
                listed = std::move(names);
                listsMade = asked;
                changed.notify_all();
                if (listedOnly)
                    letGo = Clock::now() + kListingLinger;
                continue;
            }
            if (stopping)
                break;
            if (serverGone) {
                serverGone = false;
                announceReturn = false;
                guard.unlock();
                if (output && output->ServerGone())
                    DropClient();
                if (chosen)
                    Say("the JACK server has gone, so MIDI to " + Quoted(*chosen) +
                        " is dropped until a server runs again");
                guard.lock();
                if (chosen)
                    lookAgain = Clock::now() + kLookAgain;
                continue;
            }
            if (returned) {
                returned = false;
                if (announceReturn && chosen) {
                    announceReturn = false;
                    guard.unlock();
                    Say("a JACK server runs again: MIDI goes to " + Quoted(*chosen) + " again");
                    guard.lock();
                }
                continue;
            }
            if (lookAgain && Clock::now() >= *lookAgain) {
                guard.unlock();
                // A listing meanwhile may have opened the client already.
                const bool back = chosen && !live.load() && Reopen();
                guard.lock();
                lookAgain.reset();
                if (!back && chosen && !live.load())
                    lookAgain = Clock::now() + kLookAgain;
                continue;
            }
            if (letGo && Clock::now() >= *letGo) {
                letGo.reset();
                if (listedOnly) {
                    guard.unlock();
                    DropClient();
                    listedOnly = false;
                    guard.lock();
                }
                continue;
            }
            if (lookAgain || letGo)
                changed.wait_until(guard, std::min(lookAgain.value_or(Clock::time_point::max()),
                                                   letGo.value_or(Clock::time_point::max())));
            else
                changed.wait(guard);
        }
        guard.unlock();
        output.reset();
        guard.lock();
        ended = true;
        changed.notify_all();
    }
};

JackOutputKeeper::JackOutputKeeper(std::string name, Notices notices)
    : shared_(std::make_shared<Shared>(std::move(name), std::move(notices))) {
    // The thread holds the shared state too: should a server never answer,
    // it may outlive the keeper.
    thread_ = std::thread([shared = shared_] { shared->Run(); });
}

JackOutputKeeper::~JackOutputKeeper() {
    Shared& s = *shared_;
    std::unique_lock guard(s.lock);
    ++s.requested;
    s.wantOpen = false;
    s.destination.reset();
    s.stopping = true;
    s.changed.notify_all();
    const auto end = Clock::now() + kEndBound;
    std::uint64_t signs = s.Signs();
    while (!s.ended) {
        const auto check = std::min(Clock::now() + kAnswerBound, end);
        if (s.changed.wait_until(guard, check, [&] { return s.ended; }))
            break;
        const std::uint64_t now = s.Signs();
        if (Clock::now() >= end || now == signs)
            break;
        signs = now;
    }
    const bool ended = s.ended;
    guard.unlock();
    if (ended)
        thread_.join();
    else
        thread_.detach();  // stuck in libjack: it ends with the process
}

template <typename Handled>
bool JackOutputKeeper::AwaitThread(std::unique_lock<std::mutex>& guard, Handled handled) {
    Shared& s = *shared_;
    // Waits while the server shows signs of life, or a new client is being
    // opened, up to the connection's own bound and a little more.
    const auto end = Clock::now() + JackMidiOutput::kConnectBound + kAnswerBound;
    std::uint64_t signs = s.Signs();
    while (!handled()) {
        const auto check = std::min(Clock::now() + kAnswerBound, end);
        if (s.changed.wait_until(guard, check, handled))
            break;
        const std::uint64_t now = s.Signs();
        if (Clock::now() >= end || (now == signs && !s.newClient.load()))
            break;
        signs = now;
    }
    return handled();
}

JackOutputKeeper::Outcome JackOutputKeeper::Open(const std::optional<std::string>& destination) {
    Shared& s = *shared_;
    std::unique_lock guard(s.lock);
    const std::uint64_t request = ++s.requested;
    s.wantOpen = true;
    s.destination = destination;
    s.changed.notify_all();
    if (AwaitThread(guard, [&] { return s.handled >= request; }))
        return s.outcome;
    // Given up: whenever the server answers again, nothing stays open.
    ++s.requested;
    s.wantOpen = false;
    s.destination.reset();
    s.changed.notify_all();
    return Outcome::kNoAnswer;
}

std::optional<std::vector<std::string>> JackOutputKeeper::Destinations() {
    Shared& s = *shared_;
    std::unique_lock guard(s.lock);
    const std::uint64_t request = ++s.listsAsked;
    s.changed.notify_all();
    if (!AwaitThread(guard, [&] { return s.listsMade >= request; }))
        return std::nullopt;  // a server that does not answer lists nothing
    return s.listed;
}

void JackOutputKeeper::Close() {
    Shared& s = *shared_;
    const std::lock_guard guard(s.lock);
    ++s.requested;
    s.wantOpen = false;
    s.destination.reset();
    s.changed.notify_all();
}

void JackOutputKeeper::Send(const std::uint8_t* bytes, std::size_t size,
                            std::optional<std::chrono::steady_clock::time_point> due) {
    Shared& s = *shared_;
    if (!s.live.load() || size == 0 || size > 3)
        return;
    s.words.sent.store(true);
    s.words.ring.Push(JackMidiOutput::Stamp(bytes, size, due));  // full: dropped
}

std::uint64_t JackOutputKeeper::Cycles() const {
    return shared_->words.cycles.load();
}

}  // namespace faderwell
