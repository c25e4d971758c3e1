#include "ChildProcess.h"

#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <thread>

extern char** environ;

namespace faderwell::test {

namespace {
using Clock = std::chrono::steady_clock;

int Remaining(Clock::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}
}  // namespace

ChildProcess::ChildProcess(const std::vector<std::string>& argv) {
    int toChild[2];
    int fromChild[2];
    if (pipe(toChild) != 0)
        return;
    if (pipe(fromChild) != 0) {
        close(toChild[0]);
        close(toChild[1]);
        return;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, toChild[0], STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, fromChild[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, toChild[1]);
    posix_spawn_file_actions_addclose(&actions, fromChild[0]);
    std::vector<char*> args;
    for (const auto& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    pid_t pid = -1;
    if (posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ) == 0)
        pid_ = pid;
    posix_spawn_file_actions_destroy(&actions);
    close(toChild[0]);
    close(fromChild[1]);
    input_ = toChild[1];
    output_ = fromChild[0];
}

ChildProcess::~ChildProcess() {
    Kill();
    if (input_ >= 0)
        close(input_);
    if (output_ >= 0)
        close(output_);
}

std::optional<std::string> ChildProcess::ReadLine(std::chrono::milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    for (;;) {
        if (const auto end = buffered_.find('\n'); end != std::string::npos) {
            std::string line = buffered_.substr(0, end);
            buffered_.erase(0, end + 1);
            return line;
        }
        pollfd ready{output_, POLLIN, 0};
        if (poll(&ready, 1, Remaining(deadline)) <= 0)
            return std::nullopt;
        char chunk[256];
        const ssize_t got = read(output_, chunk, sizeof chunk);
        if (got <= 0)
            return std::nullopt;
        buffered_.append(chunk, static_cast<std::size_t>(got));
    }
}

std::optional<int> ChildProcess::CloseInputAndWait(std::chrono::milliseconds timeout) {
    if (input_ >= 0)
        close(input_);
    input_ = -1;
    return Wait(timeout);
}

void ChildProcess::Terminate(std::chrono::milliseconds timeout) {
    if (pid_ <= 0)
        return;
    kill(pid_, SIGTERM);
    Wait(timeout);
}

std::optional<int> ChildProcess::Wait(std::chrono::milliseconds timeout) {
    if (pid_ <= 0)
        return std::nullopt;
    const auto deadline = Clock::now() + timeout;
    int status = 0;
    // The child's end is seen only by asking; it is asked every few milliseconds.
    while (waitpid(pid_, &status, WNOHANG) == 0) {
        if (Remaining(deadline) == 0) {
            Kill();
            return std::nullopt;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    pid_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

void ChildProcess::Kill() {
    if (pid_ <= 0)
        return;
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
    pid_ = -1;
}

}  // namespace faderwell::test
