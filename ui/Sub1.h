#pragma once

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QRadioButton>
#include <QSlider>

#include "core/Mixer.h"
#include "core/ProcessValues.h"
#include "core/Texts.h"
#include "midi/MidiOutPort.h"
#include "ui/Bars.h"
#include "ui/CaptionGroupBox.h"
#include "ui/FixedDialog.h"
#include "ui/GroupRadioButton.h"
#include "ui/Prompts.h"
#include "ui/QtText.h"

class QKeyEvent;

namespace faderwell {

/// The settings dialog "設定": the MIDI output, the fade speed and the
/// vendor whose drum kit is selected. Every choice takes effect at once;
/// there are no buttons, and closing from the title bar only hides it.
class Tconfig : public FixedDialog {
    Q_OBJECT
public:
    /// `form1` is the main window, whose title shows the open output.
    Tconfig(QWidget& form1, Mixer& mixer, MidiOutPort& port, ProcessValues& values,
            Prompts& prompts, QWidget* parent = nullptr);

    /// Once at start-up, after the settings are loaded: builds the output
    /// list, opens the stored output, shows the stored speed and vendor,
    /// sets the fade interval and sends the drum-kit selection.
    /// `sessionEnding` tells whether the session ended while a message was
    /// shown; start-up then stops at once.
    void FormCreate(const std::function<bool()>& sessionEnding = {});

    /// The user picked an output (also by arrow keys or the wheel on the closed list).
    void MIDIPORTChange();
    /// The user handled the speed slider, whether or not it moved.
    void FSPEEDChange();
    /// A vendor button became checked.
    void KGClick();
    void GSClick();
    void XGClick();

    CaptionGroupBox* const GroupBox1{new CaptionGroupBox(ToQString(texts::kOutputGroup), this)};
    QComboBox* const MIDIPORT{new QComboBox(GroupBox1)};
    CaptionGroupBox* const GroupBox2{new CaptionGroupBox(ToQString(texts::kSpeedGroup), this)};
    QSlider* const FSPEED{new TrackBar(Qt::Horizontal, GroupBox2)};
    QLabel* const Label1{new QLabel(ToQString(texts::kSpeedNames[0]), GroupBox2)};
    QLabel* const Label2{new QLabel(ToQString(texts::kSpeedNames[1]), GroupBox2)};
    QLabel* const Label3{new QLabel(ToQString(texts::kSpeedNames[2]), GroupBox2)};
    QLabel* const Label4{new QLabel(ToQString(texts::kSpeedNames[3]), GroupBox2)};
    QLabel* const Label5{new QLabel(ToQString(texts::kSpeedNames[4]), GroupBox2)};
    CaptionGroupBox* const GroupBox3{new CaptionGroupBox(ToQString(texts::kVendorGroup), this)};
    QRadioButton* const KG{
        new GroupRadioButton(ToQString(texts::kVendorNames[kVendorKorg]), GroupBox3)};
    QRadioButton* const GS{
        new GroupRadioButton(ToQString(texts::kVendorNames[kVendorRoland]), GroupBox3)};
    QRadioButton* const XG{
        new GroupRadioButton(ToQString(texts::kVendorNames[kVendorYamaha]), GroupBox3)};

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void FitToText() override;

private:
    void LayOut();
    void Connect();
    void DescribeControls();
    /// The message on a failed open, otherwise the main window's title.
    void ShowOpenResult(std::uint8_t result);

    QWidget& form1_;
    Mixer& mixer_;
    MidiOutPort& port_;
    ProcessValues& values_;
    Prompts& prompts_;
};

}  // namespace faderwell
