#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/MidiSink.h"
#include "core/OutputList.h"
#include "core/ProcessValues.h"
#include "midi/MidiOutService.h"

namespace faderwell {

/// The program's single MIDI output, chosen by its index in the output list
/// (`MidiOutIndex`, an OutputList position) and found again at start-up by
/// its stored name (`MidiOutName`), since positions move as devices come
/// and go.
///
/// It says where MIDI goes, in one plain English line each, through the
/// notices it is given: at start-up when there is no MIDI system or the
/// stored output is not listed, why an open failed, and what the service
/// says of the open output meanwhile.
class MidiOutPort final : public MidiSink {
public:
    using Notices = std::function<void(std::string_view line)>;

    MidiOutPort(MidiOutService& service, ProcessValues& values);
    /// The service says nothing more through the port.
    ~MidiOutPort() override;
    MidiOutPort(const MidiOutPort&) = delete;
    MidiOutPort& operator=(const MidiOutPort&) = delete;

    /// Where the lines go, the service's among them; nowhere until set.
    /// Set it once, before the list is built: the service may say its lines
    /// from a thread of its own.
    void SetNotices(Notices notices);

    /// Builds the output list once: "(None)", "MIDI MAPPER", then every
    /// device in device order. The device count is taken here, modulo 256.
    /// A stored device name is looked up in it: the device of that name
    /// becomes `MidiOutIndex`; when none is listed, the start-up open fails.
    void BuildOutputList();
    const std::vector<std::string>& Entries() const { return entries_; }
    /// The device count taken when the list was built.
    unsigned DeviceCount() const { return deviceCount_; }
    /// The entry the output list shows chosen: `MidiOutIndex`, or -1 when it
    /// has no entry or the stored name was not found.
    int ChosenEntry() const;

    /// Start-up's open: fails without opening anything when the stored name
    /// was not found, otherwise OpenMidiPort. An output opened by its
    /// position alone gets its name stored with the next save.
    std::uint8_t OpenStoredOutput();
    /// Resets and closes the current output (always), then opens the one at
    /// `MidiOutIndex`. Returns 0 on success, non-zero on failure.
    std::uint8_t OpenMidiPort();
    /// The user picked list entry `index`: it becomes `MidiOutIndex`, and
    /// its text `MidiOutName`, kept even when the open fails. Returns
    /// OpenMidiPort's result.
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
    bool Listed(std::int32_t index) const;
    void FindStoredName();
    void Say(std::string_view line) const;

    MidiOutService& service_;
    ProcessValues& values_;
    Notices notices_;
    std::vector<std::string> entries_;
    std::vector<NamedDevice> devices_;  // the devices of the list, with how each is named
    unsigned deviceCount_{0};
    bool storedNameMissing_{false};
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
