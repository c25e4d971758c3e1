#include "settings/winreg/WindowsRegistry.h"

#include <windows.h>

#include <string>
#include <utility>

namespace faderwell {

namespace {

class WindowsRegistryKey final : public RegistryKey {
public:
    explicit WindowsRegistryKey(HKEY key) : key_(key) {}
    WindowsRegistryKey(const WindowsRegistryKey&) = delete;
    WindowsRegistryKey& operator=(const WindowsRegistryKey&) = delete;
    ~WindowsRegistryKey() override { RegCloseKey(key_); }

    std::optional<ValueInfo> Query(std::string_view name) override {
        const std::string valueName(name);
        DWORD type = REG_NONE;
        DWORD size = 0;
        if (RegQueryValueExA(key_, valueName.c_str(), nullptr, &type, nullptr, &size) !=
            ERROR_SUCCESS) {
            return std::nullopt;
        }
        return ValueInfo{type, size};
    }

    bool Read(std::string_view name, std::uint8_t* buffer, std::uint32_t size) override {
        const std::string valueName(name);
        DWORD type = REG_NONE;
        DWORD read = size;
        // A value that grew since the query no longer fits: ERROR_MORE_DATA.
        return RegQueryValueExA(key_, valueName.c_str(), nullptr, &type, buffer, &read) ==
                   ERROR_SUCCESS &&
               read == size;
    }

    bool WriteBinaryByte(std::string_view name, std::uint8_t byte) override {
        const std::string valueName(name);
        return RegSetValueExA(key_, valueName.c_str(), 0, REG_BINARY, &byte, 1) == ERROR_SUCCESS;
    }

private:
    HKEY key_{nullptr};
};

}  // namespace

WindowsRegistry::WindowsRegistry(std::string keyPath) : keyPath_(std::move(keyPath)) {}

std::unique_ptr<RegistryKey> WindowsRegistry::OpenOrCreateKey() {
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, keyPath_.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                        KEY_ALL_ACCESS, nullptr, &key, nullptr) != ERROR_SUCCESS) {
        return nullptr;
    }
    return std::make_unique<WindowsRegistryKey>(key);
}

}  // namespace faderwell
