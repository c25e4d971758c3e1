#pragma once

#include <array>
#include <cstdint>
#include <utility>

#include "Controls.h"
#include "FadeSpeed.h"
#include "MidiSink.h"
#include "PeriodicTimer.h"
#include "ProcessValues.h"

namespace faderwell {

/// The mixer: sixteen channel faders, the master with its links, the presets,
/// the controller selector and the fade engine. All of the main window's
/// state lives here; the window shows it and forwards the user's gestures.
///
/// Handlers are wired to the controls at construction, after every control
/// has its starting state, so building the mixer sends nothing.
class Mixer {
public:
    Mixer(MidiSink& sink, PeriodicTimer& timer, ProcessValues& values);
    Mixer(const Mixer&) = delete;
    Mixer& operator=(const Mixer&) = delete;

    static constexpr int kChannels = midi::kChannelCount;
    static constexpr int kStartPosition = 64;

    /// Channel fader and link box of channel 1..16.
    Fader& Vol(int channel) { return vol_.at(static_cast<std::size_t>(channel - 1)); }
    CheckBox& C(int channel) { return links_.at(static_cast<std::size_t>(channel - 1)); }

private:
    template <class T, class Arg, std::size_t... I>
    static std::array<T, sizeof...(I)> Filled(Arg arg, std::index_sequence<I...>) {
        return {((void)I, T{arg})...};
    }

    std::array<Fader, kChannels> vol_{
        Filled<Fader>(kStartPosition, std::make_index_sequence<kChannels>{})};
    std::array<CheckBox, kChannels> links_{
        Filled<CheckBox>(true, std::make_index_sequence<kChannels>{})};

public:
    Fader MVol{kStartPosition};  // master
    CheckBox MC{true};           // all links; gates StartB
    UpDown CC;                   // controller number for every channel
    Label CcP{"0"};
    Label LValue{"64"};    // deliberately not "63": the first fader change replaces it
    Button SB1, SB2, SB3;  // master presets "127", "64", "0"

    // Fade controls.
    Fader StartM{Fader::kMax};  // start level, value 0
    Fader StopM{Fader::kMin};   // stop level, value 127
    Label StartP{"0"};
    Label StopP{"127"};
    Button StartB;
    Button StopB;
    CheckBox DrumSw{false};
    Control O1;  // the settings command; locked while a fade runs

    /// The fade cursor, a master position; 128 is reachable when start and
    /// stop both stand at 127.
    std::uint8_t FadeLevel{0};

    // Handlers, run by the controls they are named after.
    void VolChange(int channel);
    void MVolChange();
    void MCClick();
    void CCClick();
    void SB1Click();
    void SB2Click();
    void SB3Click();

    void StartMChange();
    void StopMChange();
    /// Throws Failure(texts::kTimerUnavailable) when the timer cannot be had;
    /// the timer then stays disabled and the controls unlocked.
    void StartBClick();
    void StopBClick();
    void Timer1Timer();
    void DrumSwClick();

    /// The speed slider was handled by the user (also without moving):
    /// the interval follows its position, which becomes the speed step.
    void FSPEEDChange(int sliderPosition);
    /// Once at start-up, after the slider shows the restored step.
    void SetStartupInterval(int sliderPosition);

    /// The three drum-kit words for the current vendor, in order.
    void SendDrumKitSelect();

    bool Fading() const { return timer_.Enabled(); }

private:
    void SetLocked(bool locked);

    MidiSink& sink_;
    PeriodicTimer& timer_;
    ProcessValues& values_;
};

}  // namespace faderwell
