#include "TestServices.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

namespace faderwell::test {

namespace {
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr auto kStopDeadline = 10s;
/// What an earlier run left is asked to end once, briefly: a JACK server
/// whose clients died with their test may never finish stopping.
constexpr auto kLeftoverDeadline = 2s;
constexpr auto kProbeDeadline = 5s;  // one probe: a connect that hangs is a failure
constexpr auto kProbeInterval = 50ms;

std::string ReadWhole(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    // A process that ends while its /proc file is read fails the read (ESRCH),
    // which libstdc++ throws from the stream buffer: it has nothing to tell.
    try {
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    } catch (const std::ios_base::failure&) {
        return {};
    }
}

/// The NUL-separated strings of a /proc file (cmdline, environ).
std::vector<std::string> ProcStrings(pid_t pid, const char* file) {
    const std::string text = ReadWhole("/proc/" + std::to_string(pid) + "/" + file);
    std::vector<std::string> strings;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = text.find('\0', start);
        strings.push_back(text.substr(start, end - start));
        if (end == std::string::npos)
            break;
        start = end + 1;
    }
    return strings;
}

std::string BaseName(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

/// Every process of this user running `program` for which `matches` holds.
template <typename Matches>
std::vector<pid_t> FindProcesses(const std::string& program, Matches matches) {
    std::vector<pid_t> found;
    DIR* proc = ::opendir("/proc");
    if (proc == nullptr)
        return found;
    while (const dirent* entry = ::readdir(proc)) {
        char* end = nullptr;
        const long pid = std::strtol(entry->d_name, &end, 10);
        if (end == entry->d_name || *end != '\0' || pid == ::getpid())
            continue;
        struct stat info {};
        if (::stat(("/proc/" + std::string(entry->d_name)).c_str(), &info) != 0 ||
            info.st_uid != ::getuid())
            continue;
        const auto argv = ProcStrings(static_cast<pid_t>(pid), "cmdline");
        if (!argv.empty() && BaseName(argv[0]) == program && matches(static_cast<pid_t>(pid), argv))
            found.push_back(static_cast<pid_t>(pid));
    }
    ::closedir(proc);
    return found;
}

/// Ends what an earlier run left under this name; false if something stays.
bool EndStale(const std::vector<pid_t>& stale, std::string& error, const std::string& what) {
    for (const pid_t pid : stale) {
        if (!EndProcess(pid, kLeftoverDeadline) && !EndProcess(pid, kStopDeadline)) {
            error =
                what + " left by an earlier run (PID " + std::to_string(pid) + ") would not end";
            return false;
        }
    }
    return true;
}

/// Asks `jack_wait -c` (with `environment`) whether the server answers.
bool Answers(const std::vector<std::string>& probe, const std::vector<std::string>& environment) {
    ChildProcess check(probe, ChildOptions{environment, {}, true, true});
    const auto line = check.ReadLine(kProbeDeadline);
    check.CloseInputAndWait(kProbeDeadline);
    return line == std::optional<std::string>("running");
}

/// Probes until the server answers, the process ends or the deadline passes.
/// A client that knocks while the server is still setting up is turned away,
/// so one probe is not enough.
bool WaitUntilAnswers(ChildProcess& server, const std::vector<std::string>& probe,
                      const std::vector<std::string>& environment, std::string& error,
                      const std::string& what, const std::string& log) {
    const auto deadline = Clock::now() + kServiceStartDeadline;
    while (server.Running()) {
        if (Answers(probe, environment))
            return true;
        if (Clock::now() > deadline) {
            error = what + " did not answer within " +
                    std::to_string(kServiceStartDeadline.count()) + " s; its log:\n" +
                    ReadWhole(log);
            server.Kill();
            return false;
        }
        std::this_thread::sleep_for(kProbeInterval);
    }
    error = what + " ended at start; its log:\n" + ReadWhole(log);
    return false;
}

/// Makes `dir` a directory only this user can enter, as a runtime directory
/// must be; false with the reason in `error` when it cannot be one.
bool MakePrivateDir(const std::string& dir, std::string& error, const std::string& what) {
    if (::mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST) {
        error = what + ": cannot make " + dir + ": " + std::strerror(errno);
        return false;
    }
    struct stat info {};
    if (::lstat(dir.c_str(), &info) != 0 || !S_ISDIR(info.st_mode) || info.st_uid != ::getuid() ||
        (info.st_mode & 077) != 0) {
        error = what + ": " + dir + " is not a private directory of this user";
        return false;
    }
    return true;
}

/// Whether the process runs with `dir` as its runtime directory.
bool RunsIn(pid_t pid, const std::string& dir) {
    const std::string entry = "XDG_RUNTIME_DIR=" + dir;
    for (const auto& text : ProcStrings(pid, "environ")) {
        if (text == entry)
            return true;
    }
    return false;
}

std::string StateDir() {
    const std::string dir = FADERWELL_TEST_STATE_DIR;
    ::mkdir(dir.c_str(), 0755);
    return dir;
}
}  // namespace

std::string TestServerName(const std::string& role) {
    return "faderwell_" + role + "_" FADERWELL_TEST_TREE_TAG;
}

int EndLeftoverServices() {
    const std::string prefix = "faderwell_";
    const std::string suffix = std::string("_") + FADERWELL_TEST_TREE_TAG;
    auto ours = [&](const std::string& text) {
        return text.size() > prefix.size() + suffix.size() && text.rfind(prefix, 0) == 0 &&
               text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
    };
    auto servers = FindProcesses("jackd", [&](pid_t, const std::vector<std::string>& argv) {
        for (std::size_t i = 0; i + 1 < argv.size(); ++i) {
            if (argv[i] == "-n" && ours(argv[i + 1]))
                return true;
        }
        return false;
    });
    const auto inOurRuntimeDir = [&](pid_t pid, const std::vector<std::string>&) {
        const std::string entry = "XDG_RUNTIME_DIR=/tmp/";
        const std::string end = ".runtime";
        for (const auto& text : ProcStrings(pid, "environ")) {
            if (text.rfind(entry, 0) == 0 && text.size() > entry.size() + end.size() &&
                text.compare(text.size() - end.size(), end.size(), end) == 0 &&
                ours(text.substr(entry.size(), text.size() - entry.size() - end.size())))
                return true;
        }
        return false;
    };
    for (const char* program : {"pipewire", "weston"}) {
        const auto instances = FindProcesses(program, inOurRuntimeDir);
        servers.insert(servers.end(), instances.begin(), instances.end());
    }
    // This tree's receivers, wherever they were started from.
    for (const std::string receiver : {FADERWELL_JACK_RECEIVER, FADERWELL_PIPEWIRE_RECEIVER}) {
        const auto receivers =
            FindProcesses(BaseName(receiver), [&](pid_t pid, const std::vector<std::string>&) {
                std::error_code error;
                const auto exe =
                    std::filesystem::read_symlink("/proc/" + std::to_string(pid) + "/exe", error);
                return !error && exe == receiver;
            });
        // The clients first: a server stopped together with a client of its keeps its slot.
        servers.insert(servers.begin(), receivers.begin(), receivers.end());
    }
    for (const pid_t pid : servers) EndProcess(pid, kLeftoverDeadline);
    return static_cast<int>(servers.size());
}

// --- Every service ---------------------------------------------------------

void ServiceProcess::Stop() {
    if (process_)
        process_->Terminate(kStopDeadline);
}

void ServiceProcess::Kill() {
    if (process_)
        process_->Kill();
}

pid_t ServiceProcess::Release() {
    return process_ ? process_->Release() : -1;
}

// --- JACK --------------------------------------------------------------------

JackServer::JackServer(JackServerOptions options) : options_(std::move(options)) {}

std::string JackServer::LogFile() const {
    return StateDir() + "/" + options_.name + ".jackd.log";
}

bool JackServer::Start(bool endsWithParent) {
    error_.clear();
    const std::string what = "JACK server '" + options_.name + "'";
    // Ours by name: a jackd started with this name by an earlier run that died.
    const auto stale = FindProcesses("jackd", [&](pid_t, const std::vector<std::string>& argv) {
        for (std::size_t i = 0; i + 1 < argv.size(); ++i) {
            if (argv[i] == "-n" && argv[i + 1] == options_.name)
                return true;
        }
        return false;
    });
    if (!EndStale(stale, error_, what))
        return false;
    const std::vector<std::string> probe{"jack_wait", "-s", options_.name, "-c"};
    if (Answers(probe, {"JACK_NO_START_SERVER=1"})) {
        error_ = what + " is already served by a process that is not a test server; stop it";
        return false;
    }

    const std::string log = LogFile();
    std::ofstream(log, std::ios::trunc).flush();
    // -p before -d limits the ports, and so the shared memory the server
    // takes. Synchronous, the server waits for a late client up to ten times
    // its client time-out (jackd's default, 500 ms): five seconds, room for
    // a busy machine. A longer time-out would stall the server as long
    // whenever a client goes away in the middle of a cycle.
    std::vector<std::string> argv{"jackd", "-n", options_.name, "-S", "-p", "32"};
    argv.push_back(options_.realtime ? "-R" : "--no-realtime");
    for (const auto& arg :
         {std::string("-d"), std::string("dummy"), std::string("-r"), std::to_string(options_.rate),
          std::string("-p"), std::to_string(options_.period)}) {
        argv.push_back(arg);
    }
    process_ = std::make_unique<ChildProcess>(argv, ChildOptions{{}, log, endsWithParent});
    if (!process_->Started()) {
        error_ = what + ": jackd could not be started";
        return false;
    }
    return WaitUntilAnswers(*process_, probe, {"JACK_NO_START_SERVER=1"}, error_, what, log);
}

// --- PipeWire ----------------------------------------------------------------

PipeWireInstance::PipeWireInstance(std::string name)
    : name_(std::move(name)), runtimeDir_("/tmp/" + name_ + ".runtime") {}

std::vector<std::string> PipeWireInstance::ClientEnvironment() const {
    const char* libraryPath = std::getenv("LD_LIBRARY_PATH");
    std::string path = kJackLibraryDir;
    if (libraryPath != nullptr && *libraryPath != '\0')
        path += std::string(":") + libraryPath;
    return {"LD_LIBRARY_PATH=" + path, "XDG_RUNTIME_DIR=" + runtimeDir_,
            "PIPEWIRE_RUNTIME_DIR=" + runtimeDir_};
}

bool PipeWireInstance::Start(bool endsWithParent) {
    error_.clear();
    const std::string what = "PipeWire instance '" + name_ + "'";
    // Ours by name: a pipewire whose runtime directory is this instance's.
    const auto stale = FindProcesses("pipewire", [&](pid_t pid, const std::vector<std::string>&) {
        return RunsIn(pid, runtimeDir_);
    });
    if (!EndStale(stale, error_, what))
        return false;
    if (!MakePrivateDir(runtimeDir_, error_, what))
        return false;
    // What a stale instance left: its socket and lock would turn the new one away.
    for (const char* leftover : {"/pipewire-0", "/pipewire-0.lock"})
        ::unlink((runtimeDir_ + leftover).c_str());

    const std::string log = StateDir() + "/" + name_ + ".pipewire.log";
    std::ofstream(log, std::ios::trunc).flush();
    process_ = std::make_unique<ChildProcess>(
        std::vector<std::string>{"pipewire"},
        ChildOptions{{"XDG_RUNTIME_DIR=" + runtimeDir_, "PIPEWIRE_RUNTIME_DIR=" + runtimeDir_},
                     log,
                     endsWithParent});
    if (!process_->Started()) {
        error_ = what + ": pipewire could not be started";
        return false;
    }
    return WaitUntilAnswers(*process_, {"jack_wait", "-c"}, ClientEnvironment(), error_, what, log);
}

// --- Weston ------------------------------------------------------------------

WestonCompositor::WestonCompositor(std::string name)
    : name_(std::move(name)), runtimeDir_("/tmp/" + name_ + ".runtime") {}

std::vector<std::string> WestonCompositor::ClientEnvironment() const {
    return {"XDG_RUNTIME_DIR=" + runtimeDir_, "WAYLAND_DISPLAY=" + name_};
}

bool WestonCompositor::Start() {
    error_.clear();
    const std::string what = "Weston compositor '" + name_ + "'";
    const auto stale = FindProcesses("weston", [&](pid_t pid, const std::vector<std::string>&) {
        return RunsIn(pid, runtimeDir_);
    });
    if (!EndStale(stale, error_, what) || !MakePrivateDir(runtimeDir_, error_, what))
        return false;
    const std::string socket = runtimeDir_ + "/" + name_;
    // What a stale compositor left: its socket and lock would turn the new one away.
    for (const std::string& leftover : {socket, socket + ".lock"}) ::unlink(leftover.c_str());

    const std::string log = StateDir() + "/" + name_ + ".weston.log";
    std::ofstream(log, std::ios::trunc).flush();
    process_ = std::make_unique<ChildProcess>(
        std::vector<std::string>{"weston", "--backend=headless-backend.so", "--socket=" + name_,
                                 "--idle-time=0", "--no-config"},
        ChildOptions{{"XDG_RUNTIME_DIR=" + runtimeDir_}, log});
    if (!process_->Started()) {
        error_ = what + ": weston could not be started";
        return false;
    }
    // The socket listens from the moment it exists: a client that connects
    // then is served once the compositor is up.
    const auto deadline = Clock::now() + kServiceStartDeadline;
    struct stat info {};
    while (::stat(socket.c_str(), &info) != 0 || !S_ISSOCK(info.st_mode)) {
        if (!process_->Running()) {
            error_ = what + " ended at start; its log:\n" + ReadWhole(log);
            return false;
        }
        if (Clock::now() > deadline) {
            error_ = what + " made no socket within " +
                     std::to_string(kServiceStartDeadline.count()) + " s; its log:\n" +
                     ReadWhole(log);
            process_->Kill();
            return false;
        }
        std::this_thread::sleep_for(kProbeInterval);
    }
    return true;
}

// --- D-Bus -------------------------------------------------------------------

bool SessionBus::Start(const std::vector<std::string>& environment) {
    error_.clear();
    process_ = std::make_unique<ChildProcess>(
        std::vector<std::string>{"dbus-daemon", "--session", "--nofork", "--nopidfile",
                                 "--print-address=1"},
        ChildOptions{environment});
    // The address comes once the bus listens.
    const auto address =
        process_->Started() ? process_->ReadLine(kServiceStartDeadline) : std::nullopt;
    if (!address || address->empty()) {
        error_ = "the D-Bus session bus did not start";
        return false;
    }
    address_ = *address;
    return true;
}

std::vector<std::string> SessionBus::ClientEnvironment() const {
    return {"DBUS_SESSION_BUS_ADDRESS=" + address_};
}

// --- Environment -------------------------------------------------------------

ScopedEnvironment::ScopedEnvironment(const char* name, const std::string& value) : name_(name) {
    if (const char* old = std::getenv(name))
        old_ = old;
    ::setenv(name, value.c_str(), 1);
}

ScopedEnvironment::~ScopedEnvironment() {
    if (old_)
        ::setenv(name_, old_->c_str(), 1);
    else
        ::unsetenv(name_);
}

}  // namespace faderwell::test
