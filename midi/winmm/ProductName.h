#pragma once

#include <cstddef>
#include <span>
#include <string>

namespace faderwell {

/// Size of the product-name field of a WinMM output's capability record.
inline constexpr std::size_t kProductNameField = 32;

/// The device name held in a capability record's name field: its bytes up to
/// the first zero byte, or all 32 bytes when there is none.
std::string ProductName(std::span<const char, kProductNameField> field);

}  // namespace faderwell
