#include "ForkedChild.h"

#include <grp.h>
#include <pwd.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <exception>
#include <filesystem>
#include <stdexcept>
#include <system_error>

namespace faderwell::test {

namespace {

constexpr uid_t kNobodyFallback = 65534;  // Debian's nobody/nogroup
constexpr int kSetupFailed = 125;         // the child could not take on its limits

bool ApplyLimits(const ChildLimits& limits) {
    if (limits.unprivileged && ::geteuid() == 0) {
        if (::setgroups(0, nullptr) != 0 || ::setgid(UnprivilegedGroup()) != 0 ||
            ::setuid(UnprivilegedUser()) != 0) {
            return false;
        }
        if (::setuid(0) == 0)
            return false;  // the drop did not hold
    }
    if (limits.maxFileSize) {
        if (::signal(SIGXFSZ, SIG_IGN) == SIG_ERR)
            return false;
        const rlimit limit{*limits.maxFileSize, *limits.maxFileSize};
        if (::setrlimit(RLIMIT_FSIZE, &limit) != 0)
            return false;
    }
    ::alarm(limits.timeoutSeconds);
    return true;
}

void WriteAll(int fd, const std::string& text) {
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t count = ::write(fd, text.data() + done, text.size() - done);
        if (count < 0 && errno == EINTR)
            continue;
        if (count <= 0)
            return;
        done += static_cast<std::size_t>(count);
    }
}

ChildOutcome Reap(pid_t child, ChildOutcome outcome) {
    int status = 0;
    while (::waitpid(child, &status, 0) < 0) {
        if (errno != EINTR)
            throw std::system_error(errno, std::generic_category(), "waitpid");
    }
    outcome.exited = WIFEXITED(status);
    outcome.exitCode = outcome.exited ? WEXITSTATUS(status) : -1;
    outcome.signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
    return outcome;
}

}  // namespace

std::string ChildOutcome::Describe() const {
    if (!exited)
        return "signal " + std::to_string(signal);
    return "exit " + std::to_string(exitCode) + ": " + output;
}

uid_t UnprivilegedUser() {
    if (::geteuid() != 0)
        return ::geteuid();
    const passwd* nobody = ::getpwnam("nobody");
    return nobody ? nobody->pw_uid : kNobodyFallback;
}

gid_t UnprivilegedGroup() {
    if (::geteuid() != 0)
        return ::getegid();
    const passwd* nobody = ::getpwnam("nobody");
    return nobody ? nobody->pw_gid : kNobodyFallback;
}

void GiveToUnprivilegedUser(const std::string& root) {
    if (::geteuid() != 0)
        return;
    const uid_t user = UnprivilegedUser();
    const gid_t group = UnprivilegedGroup();
    if (::lchown(root.c_str(), user, group) != 0)
        throw std::system_error(errno, std::generic_category(), "lchown " + root);
    for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
        if (::lchown(entry.path().c_str(), user, group) != 0)
            throw std::system_error(errno, std::generic_category(),
                                    "lchown " + entry.path().string());
    }
}

ChildOutcome RunInChild(const ChildLimits& limits, const std::function<std::string()>& body) {
    int pipeEnds[2];
    if (::pipe(pipeEnds) != 0)
        throw std::system_error(errno, std::generic_category(), "pipe");
    // Resolved before the fork: the child should do as little as it can.
    (void)UnprivilegedUser();
    const pid_t child = ::fork();
    if (child < 0)
        throw std::system_error(errno, std::generic_category(), "fork");
    if (child == 0) {
        ::close(pipeEnds[0]);
        if (!ApplyLimits(limits))
            ::_exit(kSetupFailed);
        std::string output;
        try {
            output = body();
        } catch (const std::exception& error) {
            output = std::string("exception: ") + error.what();
        }
        WriteAll(pipeEnds[1], output);
        // No exit handlers: they belong to the parent (test runner, leak checker).
        ::_exit(0);
    }
    ::close(pipeEnds[1]);
    ChildOutcome outcome;
    char buffer[4096];
    while (true) {
        const ssize_t count = ::read(pipeEnds[0], buffer, sizeof buffer);
        if (count < 0 && errno == EINTR)
            continue;
        if (count <= 0)
            break;
        outcome.output.append(buffer, static_cast<std::size_t>(count));
    }
    ::close(pipeEnds[0]);
    return Reap(child, std::move(outcome));
}

pid_t StartChild(const std::function<void()>& body) {
    const pid_t child = ::fork();
    if (child < 0)
        throw std::system_error(errno, std::generic_category(), "fork");
    if (child == 0) {
        try {
            body();
        } catch (...) {
            ::_exit(kSetupFailed);
        }
        ::_exit(0);
    }
    return child;
}

ChildOutcome WaitForChild(pid_t child) {
    return Reap(child, {});
}

bool KillAndReap(pid_t child) {
    ::kill(child, SIGKILL);
    const ChildOutcome outcome = Reap(child, {});
    return !outcome.exited && outcome.signal == SIGKILL;
}

}  // namespace faderwell::test
