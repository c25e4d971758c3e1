#include "settings/PlatformRegistry.h"

#ifdef _WIN32
#include "settings/winreg/WindowsRegistry.h"
#else
#include "settings/regfile/RegFileRegistry.h"
#endif

namespace faderwell {

std::unique_ptr<Registry> MakePlatformRegistry() {
#ifdef _WIN32
    return std::make_unique<WindowsRegistry>();
#else
    return std::make_unique<RegFileRegistry>(DefaultSettingsFilePath());
#endif
}

}  // namespace faderwell
