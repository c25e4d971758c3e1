#include "Mixer.h"

#include <string>

namespace faderwell {

namespace {
std::string Decimal(int value) {
    return std::to_string(value);
}
}  // namespace

Mixer::Mixer(MidiSink& sink, PeriodicTimer& timer, ProcessValues& values)
    : sink_(sink), timer_(timer), values_(values) {
    StopB.SetEnabled(false);
    for (int channel = 1; channel <= kChannels; ++channel) {
        Vol(channel).SetHandler([this, channel] { VolChange(channel); });
    }
    MVol.SetHandler([this] { MVolChange(); });
    MC.SetHandler([this] { MCClick(); });
    CC.SetHandler([this] { CCClick(); });
    SB1.SetHandler([this] { SB1Click(); });
    SB2.SetHandler([this] { SB2Click(); });
    SB3.SetHandler([this] { SB3Click(); });
    StartM.SetHandler([this] { StartMChange(); });
    StopM.SetHandler([this] { StopMChange(); });
    StartB.SetHandler([this] { StartBClick(); });
    StopB.SetHandler([this] { StopBClick(); });
    DrumSw.SetHandler([this] { DrumSwClick(); });
}

void Mixer::VolChange(int channel) {
    const Fader& fader = Vol(channel);
    LValue.SetText(Decimal(fader.Value()));
    sink_.SendShortMessage(ChannelVolumeMessage(channel, CC.Position(), fader.Position()));
}

void Mixer::MVolChange() {
    LValue.SetText(Decimal(MVol.Value()));
    // The master drives every linked channel in ascending order; each channel
    // that really moves sends before the next one is looked at.
    for (int channel = 1; channel <= kChannels; ++channel) {
        if (C(channel).Ticked())
            Vol(channel).SetPosition(MVol.Position());
    }
    // The link boxes follow MC's lock at every master change, so a fade locks
    // them with its first move and unlocks them with its last.
    for (auto& link : links_) link.SetEnabled(MC.Enabled());
}

void Mixer::MCClick() {
    StartB.SetEnabled(MC.Ticked());
    for (auto& link : links_) link.SetTicked(MC.Ticked());
}

void Mixer::CCClick() {
    CcP.SetText(Decimal(CC.Position()));
}

void Mixer::SB1Click() {
    MVol.SetPosition(Fader::kMin);
}
// value 64
void Mixer::SB2Click() {
    MVol.SetPosition(63);
}
void Mixer::SB3Click() {
    MVol.SetPosition(Fader::kMax);
}

}  // namespace faderwell
