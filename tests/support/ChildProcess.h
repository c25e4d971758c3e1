#pragma once

#include <sys/types.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace faderwell::test {

/// How a child is started.
struct ChildOptions {
    /// "NAME=value" entries over this process's own environment.
    std::vector<std::string> environment{};
    /// Empty: standard input and output are pipes to this process (a client
    /// the test talks to). Otherwise both outputs go to this file and the
    /// input is /dev/null (a service with a log).
    std::string logFile{};
    /// Killed when this process ends, however it ends, so that a test killed
    /// by its time-out or by Ctrl-C leaves nothing behind. SIGKILL, not
    /// SIGTERM: a synchronous JACK server asked to stop can wait forever for
    /// the clients that died with this process. Only a child started from
    /// the main thread can be tied so: the kernel ties it to the thread
    /// that started it.
    bool endsWithParent{true};
    /// Its standard error to /dev/null (a probe whose complaints are expected).
    bool quiet{false};
};

/// A program the test starts. It stays in the test's process group, so a
/// Ctrl-C at the terminal reaches it too. Killed and reaped at destruction
/// if still running.
class ChildProcess {
public:
    explicit ChildProcess(const std::vector<std::string>& argv, const ChildOptions& options = {});
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool Started() const { return pid_ > 0; }
    pid_t Pid() const { return pid_; }
    /// True while it has not ended (reaps it when it has).
    bool Running();
    /// The next line of its output without the newline; nothing when the
    /// output ends or `timeout` passes first.
    std::optional<std::string> ReadLine(std::chrono::milliseconds timeout);
    /// Closes its standard input and waits for it to end; its exit status,
    /// or nothing when it had to be killed after `timeout`.
    std::optional<int> CloseInputAndWait(std::chrono::milliseconds timeout);
    /// Asks it to end (SIGTERM) and reaps it; kills it after `timeout`.
    void Terminate(std::chrono::milliseconds timeout);
    /// Ends it at once (SIGKILL) and reaps it.
    void Kill();
    /// Lets it run on beyond this object (and this process): nothing ends it here.
    pid_t Release();

private:
    std::optional<int> Wait(std::chrono::milliseconds timeout);

    pid_t pid_{-1};
    int input_{-1};
    int output_{-1};
    std::string buffered_;
};

/// Sends SIGTERM to `pid` and waits up to `timeout` for it to go, then
/// SIGKILL. For a process this one did not start (so cannot reap): polls.
/// True once it is gone.
bool EndProcess(pid_t pid, std::chrono::milliseconds timeout);

}  // namespace faderwell::test
