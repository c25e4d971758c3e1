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
