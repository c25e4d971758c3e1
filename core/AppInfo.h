#pragma once

#include <string_view>

namespace faderwell {

inline constexpr std::string_view kApplicationTitle = "Faderwell Standard";
inline constexpr std::string_view kVersionText = "Version 1.02 [2000-08-31]";

}  // namespace faderwell
