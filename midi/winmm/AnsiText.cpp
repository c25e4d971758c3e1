#include "midi/winmm/AnsiText.h"

#include <windows.h>

namespace faderwell {

std::string AnsiToUtf8(std::string_view text, unsigned codePage) {
    if (text.empty())
        return {};
    // Through UTF-16: Windows converts between code pages only by way of it.
    const int length = static_cast<int>(text.size());
    const int wideLength = MultiByteToWideChar(codePage, 0, text.data(), length, nullptr, 0);
    if (wideLength <= 0)
        return std::string(text);
    std::wstring wide(static_cast<std::size_t>(wideLength), L'\0');
    MultiByteToWideChar(codePage, 0, text.data(), length, wide.data(), wideLength);
    const int utf8Length =
        WideCharToMultiByte(CP_UTF8, 0, wide.data(), wideLength, nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<std::size_t>(utf8Length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), wideLength, utf8.data(), utf8Length, nullptr,
                        nullptr);
    return utf8;
}

}  // namespace faderwell
