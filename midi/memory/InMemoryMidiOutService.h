#pragma once

#include <chrono>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "midi/MidiOutService.h"

namespace faderwell {

/// A MIDI service held in memory: it records every call and every word that
/// reaches an open output. Tests set up the devices and which opens fail.
class InMemoryMidiOutService final : public MidiOutService {
public:
    static constexpr unsigned kMapper = ~0u;   // the mapper's device number in the records
    static constexpr unsigned kOpenError = 2;  // "bad device id"

    std::vector<std::string> devices;    // names, in device order
    std::vector<DeviceNaming> namings;   // by device number; lasting beyond its end
    std::string missingSystemAdvice;     // what the service says when it found no system
    std::set<unsigned> failingOpens;     // device numbers (or kMapper) whose open fails
    unsigned openErrorCode{kOpenError};  // what a failing open returns

    // "count", "name 0", "open mapper", "open 1", "send", "reset", "close"
    std::vector<std::string> calls;
    std::vector<ShortMessage> delivered;  // words that reached an open output
    /// The due moment each delivered word was sent with (none: due when sent).
    std::vector<std::optional<std::chrono::steady_clock::time_point>> deliveredDue;
    std::optional<std::chrono::steady_clock::time_point> due;
    std::vector<unsigned> opened;  // outputs opened, in order (kMapper for the mapper)
    bool open{false};

    unsigned DeviceCount() override {
        calls.emplace_back("count");
        return static_cast<unsigned>(devices.size());
    }
    std::string DeviceName(unsigned device) override {
        calls.push_back("name " + std::to_string(device));
        return device < devices.size() ? devices[device] : std::string{};
    }
    DeviceNaming NamingOf(unsigned device) override {
        return device < namings.size() ? namings[device] : DeviceNaming::kLasting;
    }
    std::string MissingSystemAdvice() override { return missingSystemAdvice; }
    unsigned OpenMapper() override {
        calls.emplace_back("open mapper");
        return Open(kMapper);
    }
    unsigned OpenDevice(unsigned device) override {
        calls.push_back("open " + std::to_string(device));
        if (device >= devices.size())
            return openErrorCode;
        return Open(device);
    }
    void Send(ShortMessage word) override {
        calls.emplace_back("send");
        if (open) {
            delivered.push_back(word);
            deliveredDue.push_back(due);
        }
    }
    void SetDueMoment(std::optional<std::chrono::steady_clock::time_point> moment) override {
        due = moment;
    }
    void Reset() override { calls.emplace_back("reset"); }
    void Close() override {
        calls.emplace_back("close");
        open = false;
    }

private:
    unsigned Open(unsigned device) {
        if (failingOpens.count(device) != 0)
            return openErrorCode;
        opened.push_back(device);
        open = true;
        return 0;
    }
};

}  // namespace faderwell
