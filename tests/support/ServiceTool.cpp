// The test services for scripts (the bench, the reliability run, smoke
// tests), so that they start servers exactly as the C++ tests do.
//
//   faderwell_test_service name <role>           prints the build tree's server name
//   faderwell_test_service jack <name> <period> [--realtime]
//   faderwell_test_service pipewire <name>
//   faderwell_test_service pipewire-env <name>   prints its clients' environment
//   faderwell_test_service sweep                 ends what this tree's tests left running
//
// "jack" and "pipewire" start the service, print "ready <PID>" once it
// answers, and stop it when their standard input ends or on SIGTERM, SIGINT
// or SIGHUP. Should this process itself be killed, the service ends with it.
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>

#include "TestServices.h"

namespace {

using faderwell::test::JackServer;
using faderwell::test::JackServerOptions;
using faderwell::test::PipeWireInstance;

constexpr int kPollMilliseconds = 200;

std::atomic<bool> stopRequested{false};

void OnSignal(int) {
    stopRequested = true;
}

void CatchStopSignals() {
    struct sigaction action {};
    action.sa_handler = OnSignal;  // no SA_RESTART: poll returns at once
    for (const int signal : {SIGTERM, SIGINT, SIGHUP}) sigaction(signal, &action, nullptr);
    ::signal(SIGPIPE, SIG_IGN);
}

/// Until the input ends, a stop signal comes, or the service ends by itself.
template <typename Service>
int Supervise(Service& service) {
    if (!service.Start()) {
        std::cerr << service.Error() << '\n';
        return 1;
    }
    std::cout << "ready " << service.Pid() << std::endl;
    while (!stopRequested) {
        if (!service.Running()) {
            std::cerr << "the service ended by itself\n";
            return 1;
        }
        pollfd input{STDIN_FILENO, POLLIN, 0};
        if (poll(&input, 1, kPollMilliseconds) > 0) {
            char byte = 0;
            if (read(STDIN_FILENO, &byte, 1) <= 0)
                break;
        }
    }
    service.Stop();
    return 0;
}

int Usage() {
    std::cerr << "usage: faderwell_test_service name <role> | jack <name> <period> [--realtime]"
                 " | pipewire <name> | pipewire-env <name> | sweep\n";
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 2 && std::string(argv[1]) == "sweep") {
        if (const int left = faderwell::test::EndLeftoverServices(); left > 0)
            std::cerr << "ended " << left << " test service(s) left running\n";
        return 0;
    }
    if (argc < 3)
        return Usage();
    const std::string command = argv[1];
    const std::string name = argv[2];
    if (command == "name") {
        std::cout << faderwell::test::TestServerName(name) << '\n';
        return 0;
    }
    if (command == "pipewire-env") {
        for (const auto& entry : PipeWireInstance(name).ClientEnvironment())
            std::cout << entry << '\n';
        return 0;
    }
    CatchStopSignals();
    if (command == "jack" && (argc == 4 || argc == 5)) {
        JackServerOptions options{name, std::atoi(argv[3])};
        options.realtime = argc == 5 && std::string(argv[4]) == "--realtime";
        if (options.period <= 0 || (argc == 5 && !options.realtime))
            return Usage();
        JackServer server(options);
        return Supervise(server);
    }
    if (command == "pipewire" && argc == 3) {
        PipeWireInstance instance(name);
        return Supervise(instance);
    }
    return Usage();
}
