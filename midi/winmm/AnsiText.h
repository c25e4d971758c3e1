#pragma once

#include <string>
#include <string_view>

namespace faderwell {

/// Windows' multimedia functions name devices in an 8-bit code page (the
/// system's ANSI code page for the A functions); the rest of the program
/// holds text as UTF-8. Bytes the code page has no character for become the
/// replacement character; an unknown code page leaves the bytes as they are.
std::string AnsiToUtf8(std::string_view text, unsigned codePage);

}  // namespace faderwell
