#include "bench/ProcFiles.h"

#include <gtest/gtest.h>
#include <unistd.h>

namespace faderwell::bench {
namespace {

TEST(ProcFiles, MemoryFiguresAreReadFromTheirOwnLine) {
    constexpr std::string_view status =
        "Name:\tx\nVmHWM:\t  900 kB\nVmRSS:\t   812 kB\nRssAnon:\t 300 kB\nRssAnonX:\t 7 kB\n"
        "RssFile:\t     512 kB";
    EXPECT_EQ(StatusKib(status, "VmRSS"), 812);
    EXPECT_EQ(StatusKib(status, "RssAnon"), 300);
    EXPECT_EQ(StatusKib(status, "RssFile"), 512);  // the last line needs no line end
    EXPECT_FALSE(StatusKib(status, "RssShmem").has_value());
    EXPECT_FALSE(StatusKib("Name:\tkthreadd\nVmHWM:\t 0 kB\n", "VmRSS").has_value());
    EXPECT_FALSE(StatusKib("VmRSS:\t\n", "VmRSS").has_value());
}

struct StatCase {
    const char* name;
    const char* stat;
    std::optional<std::int64_t> ticks;
    friend void PrintTo(const StatCase& stat, std::ostream* out) { *out << stat.name; }
};

class CpuTicksOf : public testing::TestWithParam<StatCase> {};

TEST_P(CpuTicksOf, AddsUserAndSystemTime) {
    EXPECT_EQ(CpuTicks(GetParam().stat), GetParam().ticks);
}

const StatCase kStats[] = {
    {"Plain", "42 (faderwell) S 1 42 42 0 -1 4194560 900 0 0 0 17 5 0 0 20 0 3 0", 22},
    // A command name may hold spaces and parentheses of its own.
    {"NameWithParentheses", "42 (a) b (c) R 1 42 42 0 -1 0 0 0 0 0 3 4 0 0 20 0 1 0", 7},
    {"Truncated", "42 (x) S 1 42 42 0 -1 0 0 0 0 0 3", std::nullopt},
    {"NotNumbers", "42 (x) S 1 42 42 0 -1 0 0 0 0 0 u s 0 0", std::nullopt},
    {"NoName", "", std::nullopt},
};

INSTANTIATE_TEST_SUITE_P(Stat, CpuTicksOf, testing::ValuesIn(kStats),
                         [](const auto& test) { return std::string(test.param.name); });

TEST(ProcFiles, ReadsThisProcess) {
    const std::string self = "/proc/" + std::to_string(getpid());
    EXPECT_GT(StatusKib(ReadProcFile(self + "/status"), "VmRSS").value_or(0), 0);
    EXPECT_TRUE(CpuTicks(ReadProcFile(self + "/stat")).has_value());
    EXPECT_TRUE(ReadProcFile(self + "/no such file").empty());
    // Two readings around some work: the run time only grows, and by the work.
    const auto before = RunNs(getpid());
    volatile double sum = 0;
    for (int i = 0; i < 10'000'000; ++i) sum = sum + i;
    const auto after = RunNs(getpid());
    ASSERT_TRUE(before.has_value() && after.has_value());
    EXPECT_GT(*after, *before);
    EXPECT_FALSE(RunNs(-1).has_value());
}

}  // namespace
}  // namespace faderwell::bench
