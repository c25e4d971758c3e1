#include "app/TerminationSignals.h"

#include <sys/socket.h>
#include <unistd.h>
#include <QSocketNotifier>
#include <array>
#include <csignal>
#include <cstring>
#include <memory>
#include <stdexcept>

// The signals by which a session or a service manager ends the program
// (SIGTERM, SIGHUP, and SIGINT from a terminal), passed to the user-interface
// thread through a socket pair the signal handler writes to.

namespace faderwell {

namespace {

constexpr std::array kSignals{SIGTERM, SIGHUP, SIGINT};

// The two ends of the pipe: the handler writes, the event loop reads.
std::array<int, 2> gPipe{-1, -1};

extern "C" void OnTerminationSignal(int) {
    const char byte = 1;
    // Only async-signal-safe calls here; a full pipe already carries the news.
    [[maybe_unused]] const auto written = ::write(gPipe[0], &byte, 1);
}

}  // namespace

TerminationSignals::TerminationSignals(std::function<void()> onSignal)
    : onSignal_(std::move(onSignal)) {
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, gPipe.data()) != 0) {
        throw std::runtime_error(std::string("socketpair: ") + std::strerror(errno));
    }
    auto notifier = std::make_unique<QSocketNotifier>(gPipe[1], QSocketNotifier::Read);
    connect(notifier.get(), &QSocketNotifier::activated, this, [this] {
        char byte = 0;
        while (::read(gPipe[1], &byte, 1) > 0) {
        }
        if (onSignal_)
            onSignal_();
    });
    watcher_ = std::move(notifier);

    struct sigaction action {};
    action.sa_handler = OnTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int signal : kSignals) ::sigaction(signal, &action, nullptr);
}

TerminationSignals::~TerminationSignals() {
    struct sigaction action {};
    action.sa_handler = SIG_DFL;
    sigemptyset(&action.sa_mask);
    for (const int signal : kSignals) ::sigaction(signal, &action, nullptr);
    // The notifier goes before the socket it watches is closed.
    watcher_.reset();
    for (int& end : gPipe) {
        ::close(end);
        end = -1;
    }
}

}  // namespace faderwell
