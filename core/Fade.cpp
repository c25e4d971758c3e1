#include <string>

#include "Failure.h"
#include "Mixer.h"
#include "Texts.h"

namespace faderwell {

void Mixer::StartMChange() {
    StartP.SetText(std::to_string(StartM.Value()));
}
void Mixer::StopMChange() {
    StopP.SetText(std::to_string(StopM.Value()));
}

void Mixer::SetLocked(bool locked) {
    // MC comes last on unlocking: link boxes copy its flag at the next master change.
    StartB.SetEnabled(!locked);
    StopB.SetEnabled(locked);
    CC.SetEnabled(!locked);
    StartM.SetEnabled(!locked);
    StopM.SetEnabled(!locked);
    SB1.SetEnabled(!locked);
    SB2.SetEnabled(!locked);
    SB3.SetEnabled(!locked);
    O1.SetEnabled(!locked);
    MC.SetEnabled(!locked);
}

void Mixer::StartBClick() {
    FadeLevel = static_cast<std::uint8_t>(StartM.Position());
    if (!timer_.SetEnabled(true)) {
        // Leave nothing half-started: no timer, no lock, and the next press tries again.
        timer_.SetEnabled(false);
        throw Failure(std::string(texts::kTimerUnavailable));
    }
    // The master keeps its position until the first tick.
    SetLocked(true);
}

void Mixer::Timer1Timer() {
    if (DrumSw.Ticked())
        sink_.SendShortMessage(HiHatTick());

    if (FadeLevel > StopM.Position()) {
        --FadeLevel;
    } else {
        ++FadeLevel;
    }
    if (FadeLevel == StopM.Position()) {
        timer_.SetEnabled(false);
        SetLocked(false);
    }
    // Every tick sets the master, the last included; its change unlocks the
    // link boxes again because MC is already enabled by then.
    MVol.SetPosition(FadeLevel);
}

void Mixer::StopBClick() {
    timer_.SetEnabled(false);
    SetLocked(false);
    for (auto& link : links_) link.SetEnabled(MC.Enabled());
}

void Mixer::DrumSwClick() {
    SendDrumKitSelect();
}

void Mixer::SendDrumKitSelect() {
    for (const ShortMessage word : DrumKitSelect(values_.Vendor)) sink_.SendShortMessage(word);
}

void Mixer::FSPEEDChange(int sliderPosition) {
    timer_.SetInterval(FadeIntervalForStep(sliderPosition));
    values_.SpeedStep = sliderPosition;
}

void Mixer::SetStartupInterval(int sliderPosition) {
    timer_.SetInterval(FadeIntervalForStep(sliderPosition));
}

}  // namespace faderwell
