#include "app/TerminationSignals.h"

#include <utility>

// Nothing to watch on Windows. A program with windows and no console is
// ended by the session's end (WM_QUERYENDSESSION, WM_ENDSESSION) or by a
// WM_CLOSE to its windows (taskkill without /F); Qt turns the first into its
// quit request and the second into the main window's close, and the program
// already leaves on both. There are no signals to turn into either.

namespace faderwell {

TerminationSignals::TerminationSignals(std::function<void()> onSignal)
    : onSignal_(std::move(onSignal)) {}

TerminationSignals::~TerminationSignals() = default;

}  // namespace faderwell
