#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace faderwell {

/// How a MIDI system names its devices, and so which part of a name
/// survives a restart of the device.
enum class DeviceNaming {
    /// The name is the device's for good (a Windows device).
    kLasting,
    /// A JACK port: "client:port", where ALSA clients seen through
    /// PipeWire's bridge and some synthesizers put their process number in
    /// brackets, "(4242)" or "(4242:0)".
    kJackPort,
    /// An ALSA sequencer port as RtMidi names it: "client:port C:P", where
    /// the client and port numbers are handed out in start order, and some
    /// clients (FluidSynth) put their process number in both names.
    kAlsaSequencer,
};

/// One listed device as the name rule sees it.
struct NamedDevice {
    std::string name;
    DeviceNaming naming{DeviceNaming::kLasting};
};

/// The part of `name` that stays the same when the device is started again:
/// a lasting name as it is; a JACK name without every bracketed number such
/// as "(1234)" or "(1234:0)"; an ALSA name without those and without its
/// trailing "C:P".
std::string LastingName(std::string_view name, DeviceNaming naming);

/// The device number of the device the user chose by the name `stored`:
/// the device of exactly that name, else the device whose lasting name
/// equals the stored name's, read the way that device's system names it.
/// Where several match alike, the one at `storedDevice` (the stored
/// position) wins, otherwise the first. Nothing when none matches.
std::optional<std::size_t> FindByName(const std::vector<NamedDevice>& devices,
                                      std::string_view stored,
                                      std::optional<std::size_t> storedDevice);

}  // namespace faderwell
