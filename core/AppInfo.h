#pragma once

#include <string_view>

#include "Version.h"

namespace faderwell {

inline constexpr std::string_view kApplicationTitle = "Faderwell Standard";

}  // namespace faderwell
