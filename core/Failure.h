#pragma once

#include <stdexcept>
#include <string>

namespace faderwell {

/// A failure inside a handler. It travels up to where the handler was called
/// and is shown there by the failure report; the program then carries on.
class Failure : public std::runtime_error {
public:
    explicit Failure(const std::string& message) : std::runtime_error(message) {}
};

}  // namespace faderwell

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
