#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace faderwell::test {

/// A program the test starts, with its standard input and output piped to
/// the test. Killed and reaped at destruction if still running.
class ChildProcess {
public:
    explicit ChildProcess(const std::vector<std::string>& argv);
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool Started() const { return pid_ > 0; }
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

private:
    std::optional<int> Wait(std::chrono::milliseconds timeout);

    int pid_{-1};
    int input_{-1};
    int output_{-1};
    std::string buffered_;
};

}  // namespace faderwell::test
