#include "settings/regfile/RegFileRegistry.h"

#include <pwd.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <system_error>
#include <utility>

#include "settings/regfile/AtomicFile.h"
#include "settings/regfile/RegFile.h"

namespace faderwell {

namespace {

class RegFileKey final : public RegistryKey {
public:
    RegFileKey(std::filesystem::path path, RegFile file)
        : path_(std::move(path)), file_(std::move(file)) {}

    std::optional<ValueInfo> Query(std::string_view name) override {
        const auto value = file_.Find(kSettingsKey, name);
        if (!value)
            return std::nullopt;
        return ValueInfo{value->type, static_cast<std::uint32_t>(value->data.size())};
    }

    bool Read(std::string_view name, std::uint8_t* buffer, std::uint32_t size) override {
        const auto value = file_.Find(kSettingsKey, name);
        if (!value || value->data.size() != size)
            return false;
        if (size != 0)
            std::memcpy(buffer, value->data.data(), size);
        return true;
    }

    std::optional<std::string> ReadText(std::string_view name, std::uint32_t maxBytes) override {
        const auto value = file_.Find(kSettingsKey, name);
        if (!value || value->type != regtype::kSz || value->data.size() > maxBytes)
            return std::nullopt;
        const auto& data = value->data;
        return std::string(data.begin(), std::find(data.begin(), data.end(), 0));
    }

    bool WriteBinaryByte(std::string_view name, std::uint8_t byte) override {
        return Write(name, RegValue{regtype::kBinary, {byte}});
    }

    bool WriteText(std::string_view name, std::string_view text) override {
        RegValue value{regtype::kSz, {text.begin(), text.end()}};
        value.data.push_back(0);
        return Write(name, value);
    }

    bool Commit() override {
        if (!pending_)
            return true;
        if (!ReplaceFile(path_, file_.Serialize()))
            return false;
        pending_ = false;
        return true;
    }

private:
    /// Held until Commit, so that one save replaces the file once.
    bool Write(std::string_view name, const RegValue& value) {
        RegFile next = file_;
        next.Set(kSettingsKey, name, value);
        // Never write a file that the next start would refuse to read.
        if (next.Serialize().size() > RegFile::kMaxSize)
            return false;
        file_ = std::move(next);
        pending_ = true;
        return true;
    }

    std::filesystem::path path_;
    RegFile file_;  // with the writes held for Commit
    bool pending_{false};
};

}  // namespace

std::filesystem::path SettingsFilePathFrom(const char* xdgConfigHome, const char* home) {
    std::filesystem::path base;
    if (xdgConfigHome && *xdgConfigHome && std::filesystem::path(xdgConfigHome).is_absolute()) {
        base = xdgConfigHome;
    } else if (home && *home) {
        base = std::filesystem::path(home) / ".config";
    } else {
        return {};
    }
    return base / "veldrin" / "faderwell.reg";
}

std::filesystem::path DefaultSettingsFilePath() {
    const char* home = std::getenv("HOME");
    if (!home || !*home) {
        const passwd* user = ::getpwuid(::getuid());
        home = user ? user->pw_dir : nullptr;
    }
    return SettingsFilePathFrom(std::getenv("XDG_CONFIG_HOME"), home);
}

RegFileRegistry::RegFileRegistry(std::filesystem::path path) : path_(std::move(path)) {}

std::unique_ptr<RegistryKey> RegFileRegistry::OpenOrCreateKey() {
    if (path_.empty())
        return nullptr;
    const std::filesystem::path path = ResolveSymlinks(path_);
    std::string text;
    std::optional<RegFile> file;
    switch (ReadWholeFile(path, RegFile::kMaxSize, text)) {
        case ReadStatus::kRead:
            file = RegFile::Parse(text);
            break;
        case ReadStatus::kMissing:
            file = RegFile{};
            break;
        case ReadStatus::kFailed:
            break;
    }
    if (!file)
        return nullptr;  // unreadable or not understood: never touched
    if (!file->HasKey(kSettingsKey)) {
        // Opening creates the key, as the registry does.
        file->AddKey(kSettingsKey);
        std::error_code error;
        if (path.has_parent_path())
            std::filesystem::create_directories(path.parent_path(), error);
        if (error || !ReplaceFile(path, file->Serialize()))
            return nullptr;
    }
    return std::make_unique<RegFileKey>(path, std::move(*file));
}

}  // namespace faderwell
