#include "midi/MidiOutPort.h"

#include "core/AppInfo.h"
#include "core/OutputList.h"
#include "core/Texts.h"

namespace faderwell {

namespace {
constexpr std::uint8_t kSuccess = 0;
constexpr std::uint8_t kFailure = 1;
constexpr std::uint8_t kNotListed = 2;  // as the services' "no such device"
constexpr unsigned kCountModulus = 256;

std::uint8_t ResultByte(unsigned code) {
    if (code == 0)
        return kSuccess;
    // A code whose low byte is zero must still read as a failure.
    const auto low = static_cast<std::uint8_t>(code & 0xFFu);
    return low != 0 ? low : kFailure;
}

/// The names that stand for no device: with them the position alone counts.
bool NamesADevice(std::string_view name) {
    return !name.empty() && name != texts::kNoOutputEntry && name != texts::kMapperEntry;
}

std::string Quoted(std::string_view text) {
    // Appended piece by piece: GCC 12 at -O3 takes "\"" + std::string for an
    // overlapping copy (-Wrestrict).
    std::string quoted(1, '"');
    quoted += text;
    quoted += '"';
    return quoted;
}
}  // namespace

MidiOutPort::MidiOutPort(MidiOutService& service, ProcessValues& values)
    : service_(service), values_(values) {}

MidiOutPort::~MidiOutPort() {
    service_.SetNotices({});
}

void MidiOutPort::SetNotices(Notices notices) {
    notices_ = std::move(notices);
    service_.SetNotices([this](std::string_view line) { Say(line); });
}

void MidiOutPort::BuildOutputList() {
    deviceCount_ = service_.DeviceCount() % kCountModulus;
    if (const std::string advice = service_.MissingSystemAdvice(); !advice.empty())
        Say(advice);
    entries_.clear();
    devices_.clear();
    entries_.emplace_back(texts::kNoOutputEntry);
    entries_.emplace_back(texts::kMapperEntry);
    // One entry per device number, so that entry kFirstDevice + k always stands for device k.
    for (unsigned device = 0; device < deviceCount_; ++device) {
        devices_.push_back({service_.DeviceName(device), service_.NamingOf(device)});
        entries_.push_back(devices_.back().name);
    }
    FindStoredName();
}

void MidiOutPort::FindStoredName() {
    storedNameMissing_ = false;
    if (!NamesADevice(values_.MidiOutName))
        return;
    const std::int32_t index = values_.MidiOutIndex;
    const std::optional<std::size_t> storedDevice =
        index >= OutputList::kFirstDevice
            ? std::optional<std::size_t>(static_cast<std::size_t>(index - OutputList::kFirstDevice))
            : std::nullopt;
    if (const auto device = FindByName(devices_, values_.MidiOutName, storedDevice)) {
        values_.MidiOutIndex = OutputList::kFirstDevice + static_cast<std::int32_t>(*device);
        values_.MidiOutName = devices_[*device].name;
        return;
    }
    // Whatever stands at the old position now is not what the user chose.
    storedNameMissing_ = true;
    Say("the chosen MIDI output " + Quoted(values_.MidiOutName) +
        " is not listed, so nothing is opened; start it and restart, or pick another output");
}

bool MidiOutPort::Listed(std::int32_t index) const {
    return index >= 0 && static_cast<std::size_t>(index) < entries_.size();
}

int MidiOutPort::ChosenEntry() const {
    return !storedNameMissing_ && Listed(values_.MidiOutIndex) ? values_.MidiOutIndex : -1;
}

std::uint8_t MidiOutPort::OpenStoredOutput() {
    if (storedNameMissing_) {
        ResetAndClose();
        return kNotListed;
    }
    const std::uint8_t result = OpenMidiPort();
    const std::int32_t index = values_.MidiOutIndex;
    if (result == kSuccess && values_.MidiOutName.empty() && Listed(index))
        values_.MidiOutName = entries_[static_cast<std::size_t>(index)];
    return result;
}

std::uint8_t MidiOutPort::OpenMidiPort() {
    ResetAndClose();
    const std::int32_t index = values_.MidiOutIndex;
    if (index == OutputList::kNone)
        return kSuccess;
    unsigned code = kFailure;  // no entry selected
    if (index == OutputList::kMapper) {
        code = service_.OpenMapper();
    } else if (index >= OutputList::kFirstDevice) {
        code = service_.OpenDevice(static_cast<unsigned>(index - OutputList::kFirstDevice));
    }
    if (code == 0)
        return kSuccess;
    if (index < 0) {
        Say("no MIDI output is chosen");
    } else {
        const std::string output = Listed(index)
                                       ? Quoted(entries_[static_cast<std::size_t>(index)])
                                       : "number " + std::to_string(index) + " of the list";
        Say("cannot open the MIDI output " + output + ": " + service_.OpenFailureReason(code));
    }
    return ResultByte(code);
}

std::uint8_t MidiOutPort::Pick(int index) {
    values_.MidiOutIndex = index;
    values_.MidiOutName = Listed(index) ? entries_[static_cast<std::size_t>(index)] : std::string{};
    storedNameMissing_ = false;
    return OpenMidiPort();
}

void MidiOutPort::SendShortMessage(ShortMessage word) {
    service_.Send(word);
}

void MidiOutPort::ResetAndClose() {
    service_.Reset();
    service_.Close();
}

std::string MidiOutPort::Caption() const {
    const std::int32_t index = values_.MidiOutIndex;
    std::string caption(kApplicationTitle);
    caption += " [";
    if (Listed(index))
        caption += entries_[static_cast<std::size_t>(index)];
    caption += "]";
    return caption;
}

void MidiOutPort::Say(std::string_view line) const {
    if (notices_)
        notices_(std::string(kApplicationTitle) + ": " + std::string(line));
}

}  // namespace faderwell
