#pragma once

// What both test receivers do outside their real-time thread: stop on a
// signal or when the test closes their standard input, and print what their
// process callback collected, a whole line per write.
#include <poll.h>
#include <semaphore.h>
#include <signal.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <string>

namespace printer {

inline std::atomic<bool> stopRequested{false};

/// SIGTERM and SIGINT end the printing loop; a reader gone is a failed write.
inline void StopOnSignals() {
    signal(SIGTERM, [](int) { stopRequested = true; });
    signal(SIGINT, [](int) { stopRequested = true; });
    signal(SIGPIPE, SIG_IGN);
}

inline bool WriteAll(const std::string& text) {
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t count = write(STDOUT_FILENO, text.data() + done, text.size() - done);
        if (count < 0 && errno == EINTR)
            continue;
        if (count <= 0)
            return false;
        done += static_cast<std::size_t>(count);
    }
    return true;
}

inline bool InputEnded() {
    pollfd input{STDIN_FILENO, POLLIN, 0};
    if (poll(&input, 1, 0) <= 0)
        return false;
    char byte = 0;
    return read(STDIN_FILENO, &byte, 1) <= 0;
}

/// Prints (through `drain`) whenever the process callback posts `arrived`,
/// and at least every 20 ms, until a signal, the input's end or a failed
/// write.
template <class Drain>
void PrintUntilStopped(sem_t& arrived, Drain drain) {
    constexpr long kWakeNanoseconds = 20'000'000;  // how often the input's end is checked
    while (!stopRequested && !InputEnded()) {
        timespec wake{};
        clock_gettime(CLOCK_REALTIME, &wake);
        wake.tv_nsec += kWakeNanoseconds;
        if (wake.tv_nsec >= 1'000'000'000) {
            wake.tv_sec += 1;
            wake.tv_nsec -= 1'000'000'000;
        }
        sem_timedwait(&arrived, &wake);
        if (!drain())
            break;
    }
}

}  // namespace printer
