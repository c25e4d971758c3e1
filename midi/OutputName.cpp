#include "midi/OutputName.h"

#include <algorithm>

namespace faderwell {

namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

/// "1234" or "1234:0": digits, with at most one colon between digits.
bool IsNumberGroup(std::string_view text) {
    if (text.empty() || !IsDigit(text.front()) || !IsDigit(text.back()))
        return false;
    return std::all_of(text.begin(), text.end(), [](char c) { return IsDigit(c) || c == ':'; }) &&
           std::count(text.begin(), text.end(), ':') <= 1;
}

/// `name` without a trailing " C:P" (RtMidi's client and port numbers).
std::string_view WithoutAddress(std::string_view name) {
    const std::size_t space = name.rfind(' ');
    if (space == std::string_view::npos)
        return name;
    const std::string_view address = name.substr(space + 1);
    return address.find(':') != std::string_view::npos && IsNumberGroup(address)
               ? name.substr(0, space)
               : name;
}

/// The device `matches` picks among `devices`: the one at `storedDevice`,
/// otherwise the first.
template <typename Matches>
std::optional<std::size_t> Pick(const std::vector<NamedDevice>& devices,
                                std::optional<std::size_t> storedDevice, Matches matches) {
    if (storedDevice && *storedDevice < devices.size() && matches(devices[*storedDevice]))
        return storedDevice;
    for (std::size_t device = 0; device < devices.size(); ++device) {
        if (matches(devices[device]))
            return device;
    }
    return std::nullopt;
}

}  // namespace

std::string LastingName(std::string_view name, DeviceNaming naming) {
    if (naming == DeviceNaming::kLasting)
        return std::string(name);
    if (naming == DeviceNaming::kAlsaSequencer)
        name = WithoutAddress(name);
    std::string lasting;
    while (!name.empty()) {
        const std::size_t open = name.find('(');
        const std::size_t close = open == std::string_view::npos ? open : name.find(')', open + 1);
        if (close == std::string_view::npos) {
            lasting += name;
            break;
        }
        std::string_view before = name.substr(0, open);
        if (IsNumberGroup(name.substr(open + 1, close - open - 1))) {
            // " (1234)" goes with the space before it.
            if (before.ends_with(' '))
                before.remove_suffix(1);
            lasting += before;
        } else {
            lasting += name.substr(0, close + 1);
        }
        name.remove_prefix(close + 1);
    }
    return lasting;
}

std::optional<std::size_t> FindByName(const std::vector<NamedDevice>& devices,
                                      std::string_view stored,
                                      std::optional<std::size_t> storedDevice) {
    if (const auto exact = Pick(devices, storedDevice,
                                [&](const NamedDevice& device) { return device.name == stored; }))
        return exact;
    return Pick(devices, storedDevice, [&](const NamedDevice& device) {
        return LastingName(device.name, device.naming) == LastingName(stored, device.naming);
    });
}

}  // namespace faderwell
