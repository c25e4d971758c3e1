#include "SettingsFiles.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <system_error>

#include "../settings/LoadCases.h"
#include "core/Failure.h"
#include "settings/AccessSettings.h"
#include "settings/regfile/RegFileRegistry.h"

namespace faderwell::test {

namespace fs = std::filesystem;

ScratchTree::ScratchTree() {
    std::string pattern = (fs::temp_directory_path() / "faderwell-reliability-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr)
        throw std::system_error(errno, std::generic_category(), "mkdtemp");
    root_ = pattern;
    fs::create_directories(Directory());
}

ScratchTree::~ScratchTree() {
    std::error_code error;
    // Read-only directories of a test would keep their files otherwise.
    for (const auto& entry : fs::recursive_directory_iterator(root_, error)) {
        if (entry.is_directory(error) && !entry.is_symlink(error))
            fs::permissions(entry.path(), fs::perms::owner_all, fs::perm_options::add, error);
    }
    fs::remove_all(root_, error);
}

std::string ReadBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void WriteBytes(const fs::path& path, std::string_view bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out)
        throw std::runtime_error("cannot write " + path.string());
}

std::map<std::string, std::string> Snapshot(const fs::path& root) {
    std::map<std::string, std::string> tree;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        struct stat info {};
        if (::lstat(entry.path().c_str(), &info) != 0)
            throw std::system_error(errno, std::generic_category(), "lstat");
        char mode[8];
        std::snprintf(mode, sizeof mode, "%04o", static_cast<unsigned>(info.st_mode & 07777));
        std::string description = mode;
        if (S_ISREG(info.st_mode)) {
            description += " file " + ReadBytes(entry.path());
        } else if (S_ISDIR(info.st_mode)) {
            description += " directory";
        } else if (S_ISLNK(info.st_mode)) {
            description += " link " + fs::read_symlink(entry.path()).string();
        } else {
            description += " other";
        }
        tree[fs::relative(entry.path(), root).string()] = description;
    }
    return tree;
}

int TemporaryFiles(const fs::path& settingsFile) {
    const std::string prefix = "." + settingsFile.filename().string() + ".";
    int count = 0;
    for (const auto& entry : fs::directory_iterator(settingsFile.parent_path())) {
        if (entry.path().filename().string().starts_with(prefix))
            ++count;
    }
    return count;
}

std::optional<std::string> Access(const fs::path& file, ProcessValues& values,
                                  std::uint8_t direction) {
    RegFileRegistry registry(file);
    return faderwell::Access(registry, values, direction);
}

std::string Describe(const std::optional<std::string>& error, const ProcessValues& values) {
    return error.value_or("-") + " " + std::to_string(values.MidiOutIndex) + "," +
           std::to_string(values.SpeedStep) + "," + std::to_string(values.Vendor);
}

std::string StoredFile(const ProcessValues& values) {
    const auto hex = [](std::int32_t value) {
        char text[3];
        std::snprintf(text, sizeof text, "%02x", static_cast<unsigned>(value & 0xFF));
        return std::string(text);
    };
    return "Windows Registry Editor Version 5.00\r\n"
           "; synth rack, studio B\r\n"
           "\r\n"
           "[HKEY_CURRENT_USER\\Software\\Someone\\Else]\r\n"
           "\"Window\"=hex:00,01,02,03,04,05,06,07,08,09,0a,0b,0c,0d,0e,0f,10,11,12,13,14,15,\\\r\n"
           "  16,17\r\n"
           "\"Name\"=\"caf\xC3\xA9\"\r\n"
           "\r\n"
           "[HKEY_CURRENT_USER\\SOFTWARE\\VELDRIN\\FADERWELL]\r\n"
           "\"MIDI_OUT\"=hex:" +
           hex(values.MidiOutIndex) +
           "\r\n"
           "\"Theme\"=\"dark\"\r\n"
           "\"SPEED\"=hex:" +
           hex(values.SpeedStep) +
           "\r\n"
           "\"VENDOR\"=hex:" +
           hex(values.Vendor) + "\r\n";
}

}  // namespace faderwell::test
