#pragma once

#include <functional>
#include <string>

namespace faderwell {

/// What the program says, instead of a toolkit backtrace, where no display is.
std::string NoDisplayMessage();
inline constexpr int kNoDisplayExitCode = 1;

/// Reads one environment variable; null when it is not set.
using EnvironmentLookup = std::function<const char*(const char*)>;

/// Whether the toolkit will find a display to open: the chosen platform
/// plugin (QT_QPA_PLATFORM) when one is chosen, otherwise an X11 or a Wayland
/// display. Desktops without such variables always have one.
bool HasGraphicalDisplay(const EnvironmentLookup& environment);

}  // namespace faderwell
