#pragma once

#include <string>

namespace faderwell {

/// The text the failure report shows: the message, with "." appended when
/// its last character sorts after "." by byte value (every multi-byte
/// character does, so Japanese messages end in ".").
inline std::string FailureReportText(std::string message) {
    if (!message.empty() && static_cast<unsigned char>(message.back()) > '.')
        message += '.';
    return message;
}

}  // namespace faderwell
