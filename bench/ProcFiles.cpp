#include "bench/ProcFiles.h"

#include <charconv>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace faderwell::bench {

namespace {

std::optional<std::int64_t> Number(std::string_view text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos)
        return std::nullopt;
    text.remove_prefix(first);
    std::int64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc{} || end == text.data())
        return std::nullopt;
    return value;
}

}  // namespace

std::optional<std::int64_t> StatusKib(std::string_view status, std::string_view key) {
    for (std::size_t begin = 0; begin < status.size();) {
        std::size_t end = status.find('\n', begin);
        if (end == std::string_view::npos)
            end = status.size();
        const std::string_view line = status.substr(begin, end - begin);
        if (line.size() > key.size() && line.substr(0, key.size()) == key &&
            line[key.size()] == ':')
            return Number(line.substr(key.size() + 1));
        begin = end + 1;
    }
    return std::nullopt;
}

std::optional<std::int64_t> RunNs(int pid) {
    std::error_code error;
    const std::string tasks = "/proc/" + std::to_string(pid) + "/task";
    std::int64_t total = 0;
    bool any = false;
    for (const auto& task : std::filesystem::directory_iterator(tasks, error)) {
        // The first of its three fields; a thread that ended meanwhile has none.
        const std::string schedstat = ReadProcFile(task.path().string() + "/schedstat");
        std::int64_t ns = 0;
        const auto [end, failure] =
            std::from_chars(schedstat.data(), schedstat.data() + schedstat.size(), ns);
        if (failure == std::errc() && end != schedstat.data()) {
            total += ns;
            any = true;
        }
    }
    if (error || !any)
        return std::nullopt;
    return total;
}

std::optional<std::int64_t> CpuTicks(std::string_view stat) {
    // The command name in parentheses may hold spaces and parentheses itself;
    // the fields after the last ')' start with the state, field 3.
    const auto close = stat.rfind(')');
    if (close == std::string_view::npos)
        return std::nullopt;
    std::string_view rest = stat.substr(close + 1);
    constexpr int kUtimeField = 14;
    std::optional<std::int64_t> utime;
    for (int field = 3; field <= kUtimeField + 1; ++field) {
        const auto begin = rest.find_first_not_of(' ');
        if (begin == std::string_view::npos)
            return std::nullopt;
        rest.remove_prefix(begin);
        const auto end = rest.find(' ');
        const std::string_view token = rest.substr(0, end);
        if (field == kUtimeField) {
            utime = Number(token);
        } else if (field == kUtimeField + 1) {
            const auto stime = Number(token);
            if (!utime || !stime)
                return std::nullopt;
            return *utime + *stime;
        }
        if (end == std::string_view::npos)
            return std::nullopt;
        rest.remove_prefix(end);
    }
    return std::nullopt;
}

std::string ReadProcFile(const std::string& path) {
    std::ifstream in(path);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

}  // namespace faderwell::bench
