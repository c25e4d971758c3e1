// Start-up and footprint of Qt programs built with the idle probe: the time
// from fork to the first idle moment with the window shown, the resident
// memory at that moment, and the CPU time spent over an idle stretch after
// it. The programs are started in turn, run after run, so that both see the
// same machine; the first round only warms the caches and is not counted.
//
//   startup_meter [--runs N] [--idle-seconds S] NAME=PROGRAM [--env VAR=VALUE ...] ...
//
// Each --env sets a variable for the program named before it only.
// Prints "NAME.startup_ms=", "NAME.startup_ms_min=", "NAME.rss_kib=" with its
// anonymous, file-backed and shared-memory parts "NAME.rss_anon_kib=",
// "NAME.rss_file_kib=", "NAME.rss_shmem_kib=", the peak resident memory up
// to that moment "NAME.peak_kib=" (medians over the runs),
// "NAME.idle_cpu_ticks=" (one run held idle), and each run's start-up time in
// run order "NAME.startup_ms_runs=" (comma-separated), for paired comparisons,
// and the CPU time the program's threads had run by then,
// "NAME.startup_cpu_ms=" (median): its work, which a busy machine delays but
// does not grow.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "bench/ProcFiles.h"

namespace {

using faderwell::bench::CpuTicks;
using faderwell::bench::ReadProcFile;
using faderwell::bench::RunNs;
using faderwell::bench::StatusKib;

constexpr int kStartTimeoutMs = 60'000;
constexpr int kExitTimeoutMs = 10'000;

struct Program {
    std::string name;
    std::string path;
    std::vector<std::string> environment;  // VAR=VALUE set for this program only
    std::vector<double> startupMs;
    std::vector<double> residentKib;
    std::vector<double> anonymousKib;  // the program's own allocations
    std::vector<double> fileKib;       // mapped libraries and fonts
    std::vector<double> sharedKib;     // shared memory: JACK's, the X server's
    std::vector<double> peakKib;       // the most resident at any moment so far
    std::vector<double> cpuMs;         // time on a CPU up to the first idle moment
    long long idleTicks{-1};
};

std::int64_t MonotonicNs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return std::int64_t{now.tv_sec} * 1'000'000'000 + now.tv_nsec;
}

/// Waits for `fd` to become readable; false on timeout.
bool WaitReadable(int fd, int timeoutMs) {
    pollfd entry{fd, POLLIN, 0};
    int ready = 0;
    do {
        ready = poll(&entry, 1, timeoutMs);
    } while (ready < 0 && errno == EINTR);
    return ready > 0;
}

/// Ends the child by its PID: SIGTERM, and SIGKILL if it has not gone in time.
void Stop(pid_t pid) {
    const int pidfd = static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
    kill(pid, SIGTERM);
    if (pidfd < 0 || !WaitReadable(pidfd, kExitTimeoutMs)) {
        std::fprintf(stderr, "process %d ignored SIGTERM; killing it\n", int(pid));
        kill(pid, SIGKILL);
    }
    if (pidfd >= 0)
        close(pidfd);
    waitpid(pid, nullptr, 0);
}

struct Launch {
    pid_t pid{-1};
    double startupMs{0};
};

Launch StartAndWaitForIdle(const Program& program) {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0)
        throw std::runtime_error("pipe failed");
    const std::string idleFd = std::to_string(fds[1]);
    const std::int64_t forkedAt = MonotonicNs();
    const pid_t pid = fork();
    if (pid < 0)
        throw std::runtime_error("fork failed");
    if (pid == 0) {
        fcntl(fds[1], F_SETFD, 0);  // the one descriptor the program inherits
        const int null = open("/dev/null", O_WRONLY);
        dup2(null, STDOUT_FILENO);
        for (const std::string& setting : program.environment) {
            const auto equals = setting.find('=');
            setenv(setting.substr(0, equals).c_str(), setting.substr(equals + 1).c_str(), 1);
        }
        // The probe's descriptor goes by the environment: the program takes no arguments.
        setenv("FADERWELL_BENCH_IDLE_FD", idleFd.c_str(), 1);
        execl(program.path.c_str(), program.path.c_str(), nullptr);
        _exit(127);
    }
    close(fds[1]);
    std::string line;
    if (WaitReadable(fds[0], kStartTimeoutMs)) {
        char buffer[64];
        const ssize_t size = read(fds[0], buffer, sizeof buffer - 1);
        if (size > 0)
            line.assign(buffer, static_cast<std::size_t>(size));
    }
    close(fds[0]);
    if (line.empty()) {
        Stop(pid);
        throw std::runtime_error(program.name + " never reported its first idle moment");
    }
    const std::int64_t idleAt = std::stoll(line);
    return {pid, double(idleAt - forkedAt) / 1e6};
}

std::int64_t Required(const std::optional<std::int64_t>& value, const std::string& what) {
    if (!value)
        throw std::runtime_error("cannot read " + what);
    return *value;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

}  // namespace

int main(int argc, char** argv) {
    int runs = 5;
    int idleSeconds = 10;
    std::vector<Program> programs;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument == "--runs" && i + 1 < argc) {
            runs = std::max(1, std::atoi(argv[++i]));
        } else if (argument == "--env" && i + 1 < argc && !programs.empty() &&
                   std::string_view(argv[i + 1]).find('=') != std::string_view::npos) {
            programs.back().environment.emplace_back(argv[++i]);
        } else if (argument == "--idle-seconds" && i + 1 < argc) {
            idleSeconds = std::max(0, std::atoi(argv[++i]));
        } else if (const auto equals = argument.find('='); equals != std::string::npos) {
            Program program;
            program.name = argument.substr(0, equals);
            program.path = argument.substr(equals + 1);
            programs.push_back(std::move(program));
        } else {
            std::fprintf(
                stderr,
                "usage: %s [--runs N] [--idle-seconds S] NAME=PROGRAM [--env VAR=VALUE ...] ...\n",
                argv[0]);
            return 2;
        }
    }
    if (programs.empty()) {
        std::fprintf(stderr, "no program to measure\n");
        return 2;
    }

    try {
        for (int run = 0; run <= runs; ++run) {
            for (Program& program : programs) {
                const Launch launch = StartAndWaitForIdle(program);
                const auto runNs = Required(RunNs(launch.pid), program.name + " CPU time");
                const std::string proc = "/proc/" + std::to_string(launch.pid);
                const std::string status = ReadProcFile(proc + "/status");
                const auto resident =
                    Required(StatusKib(status, "VmRSS"), program.name + " resident memory");
                const auto anonymous =
                    Required(StatusKib(status, "RssAnon"), program.name + " resident memory");
                const auto file =
                    Required(StatusKib(status, "RssFile"), program.name + " resident memory");
                const auto shared =
                    Required(StatusKib(status, "RssShmem"), program.name + " resident memory");
                const auto peak =
                    Required(StatusKib(status, "VmHWM"), program.name + " peak resident memory");
                // The last round holds each program idle and counts its CPU time.
                if (run == runs && idleSeconds > 0) {
                    const auto before = Required(CpuTicks(ReadProcFile(proc + "/stat")),
                                                 program.name + " CPU time");
                    std::this_thread::sleep_for(std::chrono::seconds(idleSeconds));
                    const auto after = Required(CpuTicks(ReadProcFile(proc + "/stat")),
                                                program.name + " CPU time");
                    program.idleTicks = after - before;
                }
                Stop(launch.pid);
                if (run > 0) {
                    program.startupMs.push_back(launch.startupMs);
                    program.residentKib.push_back(double(resident));
                    program.anonymousKib.push_back(double(anonymous));
                    program.fileKib.push_back(double(file));
                    program.sharedKib.push_back(double(shared));
                    program.peakKib.push_back(double(peak));
                    program.cpuMs.push_back(double(runNs) / 1e6);
                }
            }
        }
    } catch (const std::exception& error) {
        std::fprintf(stderr, "startup_meter: %s\n", error.what());
        return 1;
    }

    for (const Program& program : programs) {
        std::printf("%s.startup_ms=%.1f\n", program.name.c_str(), Median(program.startupMs));
        std::printf("%s.startup_ms_min=%.1f\n", program.name.c_str(),
                    *std::min_element(program.startupMs.begin(), program.startupMs.end()));
        std::printf("%s.rss_kib=%.0f\n", program.name.c_str(), Median(program.residentKib));
        std::printf("%s.rss_anon_kib=%.0f\n", program.name.c_str(), Median(program.anonymousKib));
        std::printf("%s.rss_file_kib=%.0f\n", program.name.c_str(), Median(program.fileKib));
        std::printf("%s.rss_shmem_kib=%.0f\n", program.name.c_str(), Median(program.sharedKib));
        std::printf("%s.peak_kib=%.0f\n", program.name.c_str(), Median(program.peakKib));
        std::printf("%s.startup_cpu_ms=%.1f\n", program.name.c_str(), Median(program.cpuMs));
        std::printf("%s.startup_ms_runs=", program.name.c_str());
        for (std::size_t run = 0; run < program.startupMs.size(); ++run)
            std::printf("%s%.1f", run == 0 ? "" : ",", program.startupMs[run]);
        std::printf("\n");
        if (program.idleTicks >= 0)
            std::printf("%s.idle_cpu_ticks=%lld\n", program.name.c_str(), program.idleTicks);
    }
    return 0;
}
