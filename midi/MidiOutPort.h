#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/ProcessValues.h"
#include "core/Seams.h"
#include "midi/MidiOutService.h"

namespace faderwell {

/// The program's single MIDI output, chosen by its index in the output list
/// (`MidiOutIndex`, an OutputList position).
class MidiOutPort final : public MidiSink {
public:
    MidiOutPort(MidiOutService& service, ProcessValues& values);

    /// Builds the output list once: "(None)", "MIDI MAPPER", then every
    /// device in device order. The device count is taken here, modulo 256.
    void BuildOutputList();
    const std::vector<std::string>& Entries() const { return entries_; }
    /// The device count taken when the list was built.
    unsigned DeviceCount() const { return deviceCount_; }

    /// Resets and closes the current output (always), then opens the one at
    /// `MidiOutIndex`. Returns 0 on success, non-zero on failure.
    std::uint8_t OpenMidiPort();
    /// The user picked list entry `index`: it becomes `MidiOutIndex`, kept
    /// even when the open fails. Returns OpenMidiPort's result.
    std::uint8_t Pick(int index);

    /// One service call per word, at once: no buffering, no retry, no report.
    void SendShortMessage(ShortMessage word) override;
    /// The words sent from here on fell due at `due` (none: when sent).
    void SetDueMoment(std::optional<std::chrono::steady_clock::time_point> due) {
        service_.SetDueMoment(due);
    }
    /// The exit command's reset and close.
    void ResetAndClose();

    /// The main window's title after a successful open:
    /// "Faderwell Standard [" + text of entry `MidiOutIndex` + "]".
    std::string Caption() const;

private:
    MidiOutService& service_;
    ProcessValues& values_;
    std::vector<std::string> entries_;
    unsigned deviceCount_{0};
};

/// Marks every word sent during its life as due at one moment: the fade
/// tick's that sends them.
class WordsDueAt {
public:
    WordsDueAt(MidiOutPort& port, std::chrono::steady_clock::time_point due) : port_(port) {
        port_.SetDueMoment(due);
    }
    ~WordsDueAt() { port_.SetDueMoment(std::nullopt); }
    WordsDueAt(const WordsDueAt&) = delete;
    WordsDueAt& operator=(const WordsDueAt&) = delete;

private:
    MidiOutPort& port_;
};

}  // namespace faderwell
