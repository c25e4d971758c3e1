#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace faderwell::bench {

/// A memory figure in KiB ("VmRSS", "RssAnon", "RssFile") from the text of
/// /proc/<pid>/status.
std::optional<std::int64_t> StatusKib(std::string_view status, std::string_view key);

/// User plus system time in clock ticks from the text of /proc/<pid>/stat,
/// all threads of the process included.
std::optional<std::int64_t> CpuTicks(std::string_view stat);

/// The time all live threads of process `pid` have run on a CPU, in
/// nanoseconds, from each /proc/<pid>/task/<tid>/schedstat: the work done,
/// whatever the machine made the process wait for a CPU meanwhile.
std::optional<std::int64_t> RunNs(int pid);

/// The whole text of a file under /proc; empty when it cannot be read.
std::string ReadProcFile(const std::string& path);

}  // namespace faderwell::bench
