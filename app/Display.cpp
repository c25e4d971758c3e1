#include "app/Display.h"

#include <QtGlobal>
#include <string>
#include <string_view>

#include "app/CommandLine.h"
#include "core/AppInfo.h"

namespace faderwell {

namespace {
bool IsSet(const char* value) {
    return value != nullptr && *value != '\0';
}
}  // namespace

std::string NoDisplayMessage() {
    return std::string(kApplicationTitle) +
           " needs a graphical display: start it in a desktop session, or on a virtual "
           "display with: xvfb-run " +
           // The command the package installs, never a script of the source tree.
           std::string(kCommandName);
}

bool HasGraphicalDisplay(const EnvironmentLookup& environment) {
#if defined(Q_OS_WIN) || defined(Q_OS_MACOS)
    (void)environment;
    return true;
#else
    const bool x11 = IsSet(environment("DISPLAY"));
    const bool wayland = IsSet(environment("WAYLAND_DISPLAY"));
    const char* platform = environment("QT_QPA_PLATFORM");
    if (!IsSet(platform))
        return x11 || wayland;
    // A list of plugins is tried in order; the first one that has its display wins.
    for (std::string_view rest = platform; !rest.empty();) {
        const auto end = rest.find(';');
        std::string_view plugin = rest.substr(0, end);
        plugin = plugin.substr(0, plugin.find(':'));  // options follow a colon
        if (plugin == "xcb") {
            if (x11)
                return true;
        } else if (plugin.substr(0, 7) == "wayland") {
            if (wayland)
                return true;
        } else if (!plugin.empty()) {
            return true;  // offscreen, vnc, eglfs and the like bring their own screen
        }
        rest = end == std::string_view::npos ? std::string_view{} : rest.substr(end + 1);
    }
    return false;
#endif
}

}  // namespace faderwell
