#pragma once

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "core/Messages.h"
#include "midi/OutputName.h"

namespace faderwell {

/// The platform's MIDI output service: the one narrow layer the output port
/// talks to. It holds the single output handle; at most one output is open.
/// Every call is made on the user-interface thread, and none may throw.
class MidiOutService {
public:
    virtual ~MidiOutService() = default;

    /// Number of output devices; devices are numbered from 0.
    virtual unsigned DeviceCount() = 0;
    /// The product name of `device`, as the user sees it in their own tools,
    /// in UTF-8 whatever the platform's own encoding.
    virtual std::string DeviceName(unsigned device) = 0;
    /// How `device`'s name is made, so that it is found again by name after
    /// the device restarted.
    virtual DeviceNaming NamingOf(unsigned device) {
        static_cast<void>(device);
        return DeviceNaming::kLasting;
    }
    /// After DeviceCount: one plain line saying that no MIDI system at all
    /// was found and what to start; empty when there is one.
    virtual std::string MissingSystemAdvice() { return {}; }
    /// Where the service says, in one plain English line each, what befalls
    /// the open output between the calls (a server that went and came
    /// back). It may say so from any thread.
    virtual void SetNotices(std::function<void(std::string_view line)> notices) {
        static_cast<void>(notices);
    }
    /// Why an open returned `code`, in a few plain English words.
    virtual std::string OpenFailureReason(unsigned code);
    /// Opens the system's MIDI mapper (or what stands for it). Returns 0 on
    /// success, otherwise an error code that is non-zero in its low byte.
    virtual unsigned OpenMapper() = 0;
    /// Opens output device `device`. Returns 0 or an error code as above.
    virtual unsigned OpenDevice(unsigned device) = 0;
    /// Sends one word at once. Without an open output it goes nowhere.
    virtual void Send(ShortMessage word) = 0;
    /// The words sent from here on fell due at `due`, the moment of the
    /// fade tick that sends them, however late the thread came to send
    /// them; none: they are due when sent. A service that schedules its
    /// words on a clock of its own plays a fade's ticks with the spacing
    /// they fell due at; one that sends at once has nothing to do.
    virtual void SetDueMoment(std::optional<std::chrono::steady_clock::time_point> due) {
        static_cast<void>(due);
    }
    /// Silences what is sounding on the open output, if any.
    virtual void Reset() = 0;
    /// Closes the open output, if any.
    virtual void Close() = 0;
};

}  // namespace faderwell
