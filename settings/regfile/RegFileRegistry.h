#pragma once

#include <filesystem>
#include <memory>

#include "settings/RegistryKey.h"

namespace faderwell {

/// Where the settings file lives: $XDG_CONFIG_HOME/veldrin/faderwell.reg, with
/// $XDG_CONFIG_HOME defaulting to $HOME/.config. Empty when neither is known.
std::filesystem::path DefaultSettingsFilePath();

/// The same rule over given values (null or empty when unset). A relative
/// XDG_CONFIG_HOME is ignored, as the base directory rules say.
std::filesystem::path SettingsFilePathFrom(const char* xdgConfigHome, const char* home);

/// The settings key kept in a registry editor export file (see RegFile), for
/// platforms without a registry.
///
/// Opening reads the file once; a missing file (and its directories) is
/// created holding the empty key, as the registry creates a missing key. A
/// file that cannot be read or parsed is a key that cannot be opened, and is
/// never written. Each write replaces the whole file atomically: everything
/// else in it is kept byte for byte.
class RegFileRegistry final : public Registry {
public:
    explicit RegFileRegistry(std::filesystem::path path);

    std::unique_ptr<RegistryKey> OpenOrCreateKey() override;

private:
    std::filesystem::path path_;
};

}  // namespace faderwell
