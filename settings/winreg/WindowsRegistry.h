#pragma once

#include <memory>
#include <string>

#include "settings/RegistryKey.h"

namespace faderwell {

/// The settings key in the Windows registry, below HKEY_CURRENT_USER.
class WindowsRegistry final : public Registry {
public:
    /// `keyPath` is another key only for tests, which must not touch the user's settings.
    explicit WindowsRegistry(std::string keyPath = std::string(kSettingsKeyPath));

    std::unique_ptr<RegistryKey> OpenOrCreateKey() override;

private:
    std::string keyPath_;
};

}  // namespace faderwell
