#pragma once

#include <array>
#include <cstdint>
#include <utility>

#include "Controls.h"
#include "ProcessValues.h"
#include "Seams.h"

namespace faderwell {

/// The fade timer's interval for a speed step; the step is held within 1..5,
/// as the speed slider shows it.
int FadeIntervalForStep(int step);

inline constexpr int kSpeedStepMin = 1;
inline constexpr int kSpeedStepMax = 5;

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
    // Channel faders, each sending a Control Change on its own channel.
    Fader &Vol1{vol_[0]}, &Vol2{vol_[1]}, &Vol3{vol_[2]}, &Vol4{vol_[3]}, &Vol5{vol_[4]},
        &Vol6{vol_[5]}, &Vol7{vol_[6]}, &Vol8{vol_[7]}, &Vol9{vol_[8]}, &Vol10{vol_[9]},
        &Vol11{vol_[10]}, &Vol12{vol_[11]}, &Vol13{vol_[12]}, &Vol14{vol_[13]},
        &Vol15{vol_[14]}, &Vol16{vol_[15]};
    // Link boxes: channel N follows the master while box N is ticked.
    CheckBox &C1{links_[0]}, &C2{links_[1]}, &C3{links_[2]}, &C4{links_[3]}, &C5{links_[4]},
        &C6{links_[5]}, &C7{links_[6]}, &C8{links_[7]}, &C9{links_[8]}, &C10{links_[9]},
        &C11{links_[10]}, &C12{links_[11]}, &C13{links_[12]}, &C14{links_[13]},
        &C15{links_[14]}, &C16{links_[15]};

    Fader MVol{kStartPosition};  // master
    CheckBox MC{true};           // all links; gates StartB
    UpDown CC;                   // controller number for every channel
    Label CcP{"0"};
    Label LValue{"64"};  // deliberately not "63": the first fader change replaces it
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
    void Vol1Change() { VolChange(1); }
    void Vol2Change() { VolChange(2); }
    void Vol3Change() { VolChange(3); }
    void Vol4Change() { VolChange(4); }
    void Vol5Change() { VolChange(5); }
    void Vol6Change() { VolChange(6); }
    void Vol7Change() { VolChange(7); }
    void Vol8Change() { VolChange(8); }
    void Vol9Change() { VolChange(9); }
    void Vol10Change() { VolChange(10); }
    void Vol11Change() { VolChange(11); }
    void Vol12Change() { VolChange(12); }
    void Vol13Change() { VolChange(13); }
    void Vol14Change() { VolChange(14); }
    void Vol15Change() { VolChange(15); }
    void Vol16Change() { VolChange(16); }
    void MVolChange();
    void MCClick();
    void CCClick();
    void SB1Click();
    void SB2Click();
    void SB3Click();

    void StartMChange();
    void StopMChange();
    /// Throws Failure("タイマーを取得できません") when the timer cannot be had;
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
