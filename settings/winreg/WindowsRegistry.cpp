#include "settings/winreg/WindowsRegistry.h"

#include <windows.h>

#include <string>
#include <string_view>
#include <utility>

namespace faderwell {

namespace {

std::wstring Wide(std::string_view utf8) {
    if (utf8.empty())
        return {};
    const int size = static_cast<int>(utf8.size());
    const int length = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, wide.data(), length);
    return wide;
}

std::string Utf8(std::wstring_view wide) {
    if (wide.empty())
        return {};
    const int size = static_cast<int>(wide.size());
    const int length =
        WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<std::size_t>(length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, utf8.data(), length, nullptr, nullptr);
    return utf8;
}

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

    /// Text goes through the registry's wide functions, so that a name
    /// outside the ANSI code page comes back as it was.
    std::optional<std::string> ReadText(std::string_view name, std::uint32_t maxBytes) override {
        const std::wstring valueName = Wide(name);
        DWORD type = REG_NONE;
        DWORD size = 0;
        if (RegQueryValueExW(key_, valueName.c_str(), nullptr, &type, nullptr, &size) !=
                ERROR_SUCCESS ||
            type != REG_SZ || size > maxBytes * sizeof(wchar_t)) {
            return std::nullopt;
        }
        std::wstring text(size / sizeof(wchar_t) + 1, L'\0');
        DWORD read = size;
        if (RegQueryValueExW(key_, valueName.c_str(), nullptr, &type,
                             reinterpret_cast<BYTE*>(text.data()), &read) != ERROR_SUCCESS ||
            type != REG_SZ) {
            return std::nullopt;
        }
        text.resize(read / sizeof(wchar_t));
        return Utf8(std::wstring_view(text.c_str()));  // up to the first NUL
    }

    bool WriteText(std::string_view name, std::string_view text) override {
        const std::wstring valueName = Wide(name);
        const std::wstring data = Wide(text);
        const auto bytes = static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t));
        return RegSetValueExW(key_, valueName.c_str(), 0, REG_SZ,
                              reinterpret_cast<const BYTE*>(data.c_str()), bytes) == ERROR_SUCCESS;
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
