#pragma once

#include <memory>

#include "settings/RegistryKey.h"

namespace faderwell {

/// The settings key of this platform: the registry on Windows, elsewhere the
/// file at DefaultSettingsFilePath().
std::unique_ptr<Registry> MakePlatformRegistry();

}  // namespace faderwell
