#include "settings/PlatformRegistry.h"

#include "settings/regfile/RegFileRegistry.h"

namespace faderwell {

// Without a registry, the settings live in the regedit-format file.
std::unique_ptr<Registry> MakePlatformRegistry() {
    return std::make_unique<RegFileRegistry>(DefaultSettingsFilePath());
}

}  // namespace faderwell
