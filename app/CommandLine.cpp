#include "app/CommandLine.h"

#include "core/AppInfo.h"

namespace faderwell {

namespace {
constexpr std::string_view kHelpOption = "--help";
constexpr std::string_view kVersionOption = "--version";
}  // namespace

CommandLine ReadCommandLine(const std::vector<std::string_view>& arguments) {
    CommandLine line;
    for (const std::string_view argument : arguments) {
        if (line.request == CommandLine::Request::kStart && argument == kHelpOption)
            line.request = CommandLine::Request::kHelp;
        else if (line.request == CommandLine::Request::kStart && argument == kVersionOption)
            line.request = CommandLine::Request::kVersion;
        else if (argument != kHelpOption && argument != kVersionOption)
            line.ignored.emplace_back(argument);
    }
    return line;
}

std::string UsageText() {
    const std::string command(kCommandName);
    return "Usage: " + command + " [OPTION]\n" + std::string(kApplicationTitle) + ": " +
           std::string(kSummary) +
           ".\n"
           "Opens the mixer's window; it needs a graphical display.\n"
           "\n"
           "  --help     display this help and exit\n"
           "  --version  output version information and exit\n"
           "\n"
           "Other arguments are ignored (named on standard error), and the mixer starts.\n"
           "\n"
           "Keys, MIDI outputs, settings and PipeWire: man " +
           command +
           "\n"
           "Home page: " +
           std::string(texts::kMakerPage) + "\n";
}

std::string VersionText() {
    // The version proper is the first line's last word, as GNU's tools expect.
    return std::string(kCommandName) + " (" + std::string(kApplicationTitle) + ") " +
           std::string(kVersionNumber) + "\n" + std::string(texts::kMakerLine) +
           "\n"
           "All rights reserved.\n";
}

std::string IgnoredLine(const std::vector<std::string>& ignored) {
    if (ignored.empty())
        return {};
    std::string line = std::string(kCommandName) + ": ignored:";
    for (const std::string& argument : ignored) line += " " + argument;
    return line;
}

}  // namespace faderwell
