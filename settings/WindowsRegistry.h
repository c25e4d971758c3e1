#pragma once

#include <memory>

#include "settings/RegistryKey.h"

namespace faderwell {

/// The settings key in the Windows registry: HKEY_CURRENT_USER\SOFTWARE\VELDRIN\FADERWELL.
class WindowsRegistry final : public Registry {
public:
    std::unique_ptr<RegistryKey> OpenOrCreateKey() override;
};

}  // namespace faderwell
