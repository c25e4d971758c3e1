#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace faderwell {

/// The command the package installs, as its user types it.
inline constexpr std::string_view kCommandName = "faderwell";

/// What the command line asks of the program. It has two options, answered
/// without a display or any MIDI; everything else on it (a session manager's
/// restart passes its own arguments) is ignored, and the mixer starts.
struct CommandLine {
    enum class Request { kStart, kHelp, kVersion };
    Request request{Request::kStart};
    std::vector<std::string> ignored;  // in the order given
};

/// Reads the arguments after the program's name. The first of --help and
/// --version wins, as with GNU's option parsers.
CommandLine ReadCommandLine(const std::vector<std::string_view>& arguments);

/// --help: the usage text, for standard output.
std::string UsageText();
/// --version: the name and version, for standard output.
std::string VersionText();
/// The one line for standard error that names the ignored arguments; empty
/// when there are none.
std::string IgnoredLine(const std::vector<std::string>& ignored);

}  // namespace faderwell
