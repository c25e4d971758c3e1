#include "midi/MidiOutPort.h"

#include "core/AppInfo.h"
#include "core/Texts.h"

namespace faderwell {

namespace {
constexpr std::uint8_t kSuccess = 0;
constexpr std::uint8_t kFailure = 1;
constexpr unsigned kCountModulus = 256;

std::uint8_t ResultByte(unsigned code) {
    if (code == 0)
        return kSuccess;
    // A code whose low byte is zero must still read as a failure.
    const auto low = static_cast<std::uint8_t>(code & 0xFFu);
    return low != 0 ? low : kFailure;
}
}  // namespace

MidiOutPort::MidiOutPort(MidiOutService& service, ProcessValues& values)
    : service_(service), values_(values) {}

void MidiOutPort::BuildOutputList() {
    deviceCount_ = service_.DeviceCount() % kCountModulus;
    entries_.clear();
    entries_.emplace_back(texts::kNoOutputEntry);
    entries_.emplace_back(texts::kMapperEntry);
    // One entry per device number, so that entry kFirstDevice + k always stands for device k.
    for (unsigned device = 0; device < deviceCount_; ++device) {
        entries_.push_back(service_.DeviceName(device));
    }
}

std::uint8_t MidiOutPort::OpenMidiPort() {
    ResetAndClose();
    const std::int32_t index = values_.MidiOutIndex;
    if (index == OutputList::kNone)
        return kSuccess;
    if (index == OutputList::kMapper)
        return ResultByte(service_.OpenMapper());
    if (index >= OutputList::kFirstDevice) {
        return ResultByte(
            service_.OpenDevice(static_cast<unsigned>(index - OutputList::kFirstDevice)));
    }
    return kFailure;  // no entry selected
}

std::uint8_t MidiOutPort::Pick(int index) {
    values_.MidiOutIndex = index;
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
    const bool listed = index >= 0 && static_cast<std::size_t>(index) < entries_.size();
    std::string caption(kApplicationTitle);
    caption += " [";
    if (listed)
        caption += entries_[static_cast<std::size_t>(index)];
    caption += "]";
    return caption;
}

}  // namespace faderwell
