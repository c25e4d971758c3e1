#include "settings/PlatformRegistry.h"

#include "settings/winreg/WindowsRegistry.h"

namespace faderwell {

std::unique_ptr<Registry> MakePlatformRegistry() {
    return std::make_unique<WindowsRegistry>();
}

}  // namespace faderwell
