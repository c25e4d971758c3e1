#include "ChildProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <map>
#include <thread>

extern char** environ;

namespace faderwell::test {

namespace {
using Clock = std::chrono::steady_clock;
constexpr auto kPollStep = std::chrono::milliseconds(5);
constexpr int kExecFailed = 127;

int Remaining(Clock::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

/// This process's environment with `overrides` put over it.
std::vector<std::string> MergedEnvironment(const std::vector<std::string>& overrides) {
    std::map<std::string, std::string> entries;
    auto put = [&](const std::string& entry) {
        const auto equals = entry.find('=');
        entries[entry.substr(0, equals)] = entry;
    };
    for (char** entry = environ; *entry != nullptr; ++entry) put(*entry);
    for (const auto& entry : overrides) put(entry);
    std::vector<std::string> merged;
    for (auto& [name, entry] : entries) merged.push_back(std::move(entry));
    return merged;
}

std::vector<char*> Pointers(std::vector<std::string>& strings) {
    std::vector<char*> pointers;
    for (auto& text : strings) pointers.push_back(text.data());
    pointers.push_back(nullptr);
    return pointers;
}

/// Alive and not a zombie waiting for a parent that is not this process.
bool Alive(pid_t pid) {
    std::FILE* stat = std::fopen(("/proc/" + std::to_string(pid) + "/stat").c_str(), "r");
    if (stat == nullptr)
        return false;
    char state = '?';
    const bool read = std::fscanf(stat, "%*d (%*[^)]) %c", &state) == 1;
    std::fclose(stat);
    return read && state != 'Z' && state != 'X';
}

bool OnMainThread() {
    return ::syscall(SYS_gettid) == ::getpid();
}
}  // namespace

ChildProcess::ChildProcess(const std::vector<std::string>& argv, const ChildOptions& options) {
    const bool piped = options.logFile.empty();
    int toChild[2]{-1, -1};
    int fromChild[2]{-1, -1};
    int inputFd = -1;
    int outputFd = -1;
    if (piped) {
        if (::pipe2(toChild, O_CLOEXEC) != 0)
            return;
        if (::pipe2(fromChild, O_CLOEXEC) != 0) {
            ::close(toChild[0]);
            ::close(toChild[1]);
            return;
        }
        inputFd = toChild[0];
        outputFd = fromChild[1];
    } else {
        inputFd = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
        outputFd = ::open(options.logFile.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    }
    // Everything the child needs is made before the fork: between fork and
    // exec a child of a threaded process may only make plain system calls.
    std::vector<std::string> args = argv;
    std::vector<std::string> environment = MergedEnvironment(options.environment);
    std::vector<char*> argPointers = Pointers(args);
    std::vector<char*> envPointers = Pointers(environment);
    const bool tie = options.endsWithParent && OnMainThread();
    const pid_t parent = ::getpid();

    const int nullFd = options.quiet ? ::open("/dev/null", O_WRONLY | O_CLOEXEC) : -1;
    const pid_t pid = (inputFd >= 0 && outputFd >= 0) ? ::fork() : -1;
    if (pid == 0) {
        if (tie && (::prctl(PR_SET_PDEATHSIG, SIGKILL) != 0 || ::getppid() != parent))
            ::_exit(kExecFailed);  // the parent is already gone
        ::dup2(inputFd, STDIN_FILENO);
        ::dup2(outputFd, STDOUT_FILENO);
        if (!piped)
            ::dup2(outputFd, STDERR_FILENO);
        if (nullFd >= 0)
            ::dup2(nullFd, STDERR_FILENO);
        // A test runner may block or ignore signals; the child starts clean.
        sigset_t none;
        ::sigemptyset(&none);
        ::sigprocmask(SIG_SETMASK, &none, nullptr);
        ::signal(SIGPIPE, SIG_DFL);
        ::signal(SIGINT, SIG_DFL);
        ::signal(SIGTERM, SIG_DFL);
        ::execvpe(argPointers[0], argPointers.data(), envPointers.data());
        ::_exit(kExecFailed);
    }
    if (pid > 0)
        pid_ = pid;
    if (nullFd >= 0)
        ::close(nullFd);
    if (piped) {
        ::close(toChild[0]);
        ::close(fromChild[1]);
        input_ = toChild[1];
        output_ = fromChild[0];
    } else {
        if (inputFd >= 0)
            ::close(inputFd);
        if (outputFd >= 0)
            ::close(outputFd);
    }
}

ChildProcess::~ChildProcess() {
    Kill();
    if (input_ >= 0)
        ::close(input_);
    if (output_ >= 0)
        ::close(output_);
}

bool ChildProcess::Running() {
    if (pid_ <= 0)
        return false;
    if (::waitpid(pid_, nullptr, WNOHANG) == 0)
        return true;
    pid_ = -1;
    return false;
}

std::optional<std::string> ChildProcess::ReadLine(std::chrono::milliseconds timeout) {
    if (output_ < 0)
        return std::nullopt;
    const auto deadline = Clock::now() + timeout;
    for (;;) {
        if (const auto end = buffered_.find('\n'); end != std::string::npos) {
            std::string line = buffered_.substr(0, end);
            buffered_.erase(0, end + 1);
            return line;
        }
        pollfd ready{output_, POLLIN, 0};
        const int polled = ::poll(&ready, 1, Remaining(deadline));
        if (polled < 0 && errno == EINTR)
            continue;
        if (polled <= 0)
            return std::nullopt;
        char chunk[4096];
        const ssize_t got = ::read(output_, chunk, sizeof chunk);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return std::nullopt;
        buffered_.append(chunk, static_cast<std::size_t>(got));
    }
}

std::optional<int> ChildProcess::CloseInputAndWait(std::chrono::milliseconds timeout) {
    if (input_ >= 0)
        ::close(input_);
    input_ = -1;
    return Wait(timeout);
}

void ChildProcess::Terminate(std::chrono::milliseconds timeout) {
    if (pid_ <= 0)
        return;
    ::kill(pid_, SIGTERM);
    Wait(timeout);
}

std::optional<int> ChildProcess::Wait(std::chrono::milliseconds timeout) {
    if (pid_ <= 0)
        return std::nullopt;
    const auto deadline = Clock::now() + timeout;
    int status = 0;
    // The child's end is seen only by asking; it is asked every few milliseconds.
    while (::waitpid(pid_, &status, WNOHANG) == 0) {
        if (Remaining(deadline) == 0) {
            Kill();
            return std::nullopt;
        }
        std::this_thread::sleep_for(kPollStep);
    }
    pid_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

void ChildProcess::Kill() {
    if (pid_ <= 0)
        return;
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
    pid_ = -1;
}

pid_t ChildProcess::Release() {
    const pid_t pid = pid_;
    pid_ = -1;
    return pid;
}

bool EndProcess(pid_t pid, std::chrono::milliseconds timeout) {
    if (pid <= 0 || ::kill(pid, SIGTERM) != 0)
        return true;
    const auto deadline = Clock::now() + timeout;
    while (Alive(pid)) {
        // A child of this process stays a zombie until reaped; reap it if it is one.
        ::waitpid(pid, nullptr, WNOHANG);
        if (Remaining(deadline) == 0) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, nullptr, WNOHANG);
            return false;
        }
        std::this_thread::sleep_for(kPollStep);
    }
    return true;
}

}  // namespace faderwell::test
