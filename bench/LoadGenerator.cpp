// Keeps the named processor cores busy until SIGTERM or SIGINT, so the fade
// can be timed on a machine that has other work to do. Each core gets one
// thread pinned to it that streams through a buffer larger than the caches
// and does arithmetic on it: the core stays busy and the caches stay cold.
//
//   bench_load <core> [<core> ...]
#include <pthread.h>
#include <sched.h>
#include <signal.h>

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr std::size_t kBufferWords = std::size_t{16} << 20;  // 128 MiB of 64-bit words

std::atomic<bool> running{true};
std::atomic<std::uint64_t> sink{0};

void Work(int core) {
    cpu_set_t set;
    CPU_ZERO(&set);
    CPU_SET(static_cast<std::size_t>(core), &set);
    if (pthread_setaffinity_np(pthread_self(), sizeof set, &set) != 0)
        std::fprintf(stderr, "cannot pin the load to core %d; it runs unpinned\n", core);
    std::vector<std::uint64_t> buffer(kBufferWords, 1);
    std::uint64_t state = UINT64_C(0x9E3779B97F4A7C15) + static_cast<std::uint64_t>(core);
    // Busy on purpose: keeping the core occupied is this program's whole job.
    while (running.load(std::memory_order_relaxed)) {
        for (std::size_t i = 0; i < buffer.size(); i += 8) {
            state ^= state << 13;
            state ^= state >> 7;
            state ^= state << 17;
            buffer[i] += state;
        }
        sink.fetch_add(buffer[state % buffer.size()], std::memory_order_relaxed);
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s <core> [<core> ...]\n", argv[0]);
        return 2;
    }
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGINT);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    std::vector<std::thread> workers;
    for (int i = 1; i < argc; ++i) workers.emplace_back(Work, std::atoi(argv[i]));

    int signal = 0;
    sigwait(&stopSignals, &signal);
    running = false;
    for (auto& worker : workers) worker.join();
    return 0;
}
