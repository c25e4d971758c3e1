#include "midi/winmm/ProductName.h"

#include <algorithm>

namespace faderwell {

std::string ProductName(std::span<const char, kProductNameField> field) {
    // The field is not zero-terminated when the name fills it.
    const auto end = std::find(field.begin(), field.end(), '\0');
    return std::string(field.begin(), end);
}

}  // namespace faderwell
