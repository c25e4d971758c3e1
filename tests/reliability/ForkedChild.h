#pragma once

#include <sys/resource.h>
#include <sys/types.h>

#include <functional>
#include <optional>
#include <ostream>
#include <string>

namespace faderwell::test {

/// What a child process is held to before its body runs.
struct ChildLimits {
    /// Run as an ordinary user. Root ignores permission bits, so a child of
    /// root drops to "nobody" (and its group) first.
    bool unprivileged{false};
    /// RLIMIT_FSIZE in bytes, with SIGXFSZ ignored so that a write past it
    /// fails with EFBIG instead of ending the child.
    std::optional<rlim_t> maxFileSize;
    /// A body that hangs is ended by SIGALRM after this many seconds.
    unsigned timeoutSeconds{10};

    friend void PrintTo(const ChildLimits& limits, std::ostream* os) {
        *os << (limits.unprivileged ? "unprivileged" : "privileged") << ", file size limit ";
        if (limits.maxFileSize)
            *os << *limits.maxFileSize;
        else
            *os << "none";
        *os << ", " << limits.timeoutSeconds << " s";
    }
};

struct ChildOutcome {
    bool exited{false};  // ended by _exit, not by a signal
    int exitCode{-1};
    int signal{0};
    std::string output;  // what the body returned

    /// "exit 0: <output>" or "signal 14": one string for assertions to show.
    std::string Describe() const;
};

/// Runs `body` in a forked child under `limits` and returns what it
/// returned. An exception leaving the body becomes "exception: <what>".
ChildOutcome RunInChild(const ChildLimits& limits, const std::function<std::string()>& body);

/// Starts `body` in a forked child that runs until it is killed.
pid_t StartChild(const std::function<void()>& body);

/// Waits for a child of StartChild to end by itself.
ChildOutcome WaitForChild(pid_t child);

/// Sends SIGKILL and waits for the child; true when the kill ended it.
bool KillAndReap(pid_t child);

/// The user and group an unprivileged child runs as: "nobody" when this
/// process is root, otherwise this process's own.
uid_t UnprivilegedUser();
gid_t UnprivilegedGroup();

/// Hands every file below and including `root` to the unprivileged user, so
/// that a child which dropped its privileges can reach them.
void GiveToUnprivilegedUser(const std::string& root);

}  // namespace faderwell::test
