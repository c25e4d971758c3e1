#pragma once

#include "Messages.h"

namespace faderwell {

/// Where every composed message goes. Implemented by the MIDI output port.
class MidiSink {
public:
    virtual ~MidiSink() = default;
    /// Sends one word at once. Reports nothing: a port with no output drops it.
    virtual void SendShortMessage(ShortMessage word) = 0;
};

}  // namespace faderwell
