#include "ui/Sub1.h"

#include <QApplication>
#include <QKeyEvent>
#include <QProxyStyle>
#include <QStyleFactory>
#include <QStyledItemDelegate>
#include <iterator>

#include "core/Defaults.h"
#include "core/Messages.h"
#include "ui/Accessibility.h"
#include "ui/Appearance.h"
#include "ui/QtText.h"

namespace faderwell {

namespace {

constexpr QSize kClientSize{304, 161};
constexpr int kPortFontPixels = 15;
constexpr int kVisibleOutputs = 8;

constexpr int kOutputEntryHeight = 15;

// The platform's look, except that a drop-down opens its list below the box
// rather than over it.
class ListBelowStyle final : public QProxyStyle {
public:
    explicit ListBelowStyle(QObject* owner)
        : QProxyStyle(QStyleFactory::create(PlatformStyleName())) {
        setParent(owner);
    }

    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returnData) const override {
        if (hint == SH_ComboBox_Popup)
            return 0;
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
};

// Entries of one height, whatever the font asks for.
class FixedHeightDelegate final : public QStyledItemDelegate {
public:
    FixedHeightDelegate(int height, QObject* owner) : QStyledItemDelegate(owner), height_(height) {}

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        return {QStyledItemDelegate::sizeHint(option, index).width(), height_};
    }

private:
    int height_;
};

}  // namespace

Tconfig::Tconfig(QWidget& form1, Mixer& mixer, MidiOutPort& port, ProcessValues& values,
                 Prompts& prompts, QWidget* parent)
    : FixedDialog(ToQString(texts::kSettingsTitle), kClientSize, parent),
      form1_(form1),
      mixer_(mixer),
      port_(port),
      values_(values),
      prompts_(prompts) {
    LayOut();
    DescribeControls();
    // Wired after the starting state is in place, so building raises no handler.
    Connect();
}

void Tconfig::LayOut() {
    GroupBox1->setGeometry(0, 0, 304, 49);
    MIDIPORT->setGeometry(8, 16, 281, 23);
    MIDIPORT->setEditable(false);
    MIDIPORT->setMaxVisibleItems(kVisibleOutputs);
    MIDIPORT->setFont(WindowFont(kPortFontPixels));
    // Made by the dialog after GroupBox1, so it outlives the list that uses it.
    MIDIPORT->setStyle(new ListBelowStyle(this));
    MIDIPORT->setItemDelegate(new FixedHeightDelegate(kOutputEntryHeight, MIDIPORT));

    GroupBox2->setGeometry(0, 49, 304, 68);
    FSPEED->setGeometry(12, 12, 273, 33);
    FSPEED->setRange(kSpeedStepMin, kSpeedStepMax);
    FSPEED->setValue(Defaults::kSpeedStep);  // until start-up shows the stored step
    FSPEED->setSingleStep(1);
    FSPEED->setPageStep(1);
    FSPEED->setTickPosition(QSlider::TicksBelow);
    FSPEED->setTickInterval(1);

    GroupBox3->setGeometry(0, 120, 257, 41);
    KG->setChecked(true);
}

void Tconfig::FitToText() {
    PlaceLabel(*Label1, 12, 48);
    PlaceLabel(*Label2, 64, 48);
    PlaceLabel(*Label3, 132, 48);
    PlaceLabel(*Label4, 188, 48);
    PlaceLabel(*Label5, 264, 48);
    PlaceWidening(*KG, {16, 16, 57, 17});
    PlaceWidening(*GS, {80, 16, 81, 17});
    PlaceWidening(*XG, {176, 16, 65, 17});
}

void Tconfig::Connect() {
    const auto guarded = [this](void (Tconfig::*handler)()) {
        return [this, handler] { Guarded(prompts_, [this, handler] { (this->*handler)(); }); };
    };

    // activated is the user's pick only: from the list, or by arrow keys and
    // the wheel on the closed box; setCurrentIndex raises nothing.
    connect(MIDIPORT, &QComboBox::activated, this, guarded(&Tconfig::MIDIPORTChange));

    // Every notification of the user's handling counts, also one that leaves
    // the position where it was: a key or a page click (each an action, even
    // at an end), a drag step, and pressing or releasing the thumb.
    // actionTriggered comes with the new slider position already in place.
    connect(FSPEED, &QAbstractSlider::actionTriggered, this,
            [run = guarded(&Tconfig::FSPEEDChange)](int) { run(); });
    connect(FSPEED, &QAbstractSlider::sliderPressed, this, guarded(&Tconfig::FSPEEDChange));
    connect(FSPEED, &QAbstractSlider::sliderReleased, this, guarded(&Tconfig::FSPEEDChange));

    // A vendor's handler runs whenever its button becomes checked, also by the program.
    const auto onChecked = [&guarded](void (Tconfig::*handler)()) {
        return [run = guarded(handler)](bool checked) {
            if (checked)
                run();
        };
    };
    connect(KG, &QAbstractButton::toggled, this, onChecked(&Tconfig::KGClick));
    connect(GS, &QAbstractButton::toggled, this, onChecked(&Tconfig::GSClick));
    connect(XG, &QAbstractButton::toggled, this, onChecked(&Tconfig::XGClick));
}

void Tconfig::DescribeControls() {
    // A control that shows a text is named by it; the list and the slider
    // by the caption of the group that frames them.
    Describe(MIDIPORT, GroupBox1->title(),
             QStringLiteral("The MIDI output every message goes to; a pick opens it at once"));
    Describe(FSPEED, GroupBox2->title(),
             QStringLiteral("Fade speed from %1, slowest (%2 ms a step), to %3, fastest (%4 ms a "
                            "step)")
                 .arg(kSpeedStepMin)
                 .arg(FadeIntervalForStep(kSpeedStepMin))
                 .arg(kSpeedStepMax)
                 .arg(FadeIntervalForStep(kSpeedStepMax)));
    QLabel* const speedLabels[] = {Label1, Label2, Label3, Label4, Label5};
    static_assert(std::size(speedLabels) == kSpeedStepCount, "one label a speed step");
    int step = kSpeedStepMin;
    for (QLabel* label : speedLabels) {
        label->setAccessibleDescription(
            QStringLiteral("Fade speed %1 of %2").arg(step++).arg(kSpeedStepMax));
    }
    for (QRadioButton* vendor : {KG, GS, XG}) {
        vendor->setAccessibleDescription(
            QStringLiteral("The drum kit selection sent is this maker's"));
    }
    GroupBox1->setAccessibleDescription(QStringLiteral("MIDI output"));
    GroupBox2->setAccessibleDescription(QStringLiteral("Fade speed"));
    GroupBox3->setAccessibleDescription(QStringLiteral("Maker of the sound module"));
}

void Tconfig::FormCreate(const std::function<bool()>& sessionEnding) {
    port_.BuildOutputList();
    MIDIPORT->clear();
    // UTF-8 on every platform: the Windows backend converts the device names
    // from the ANSI code page they come in.
    for (const std::string& entry : port_.Entries())
        MIDIPORT->addItem(QString::fromStdString(entry));
    MIDIPORT->setCurrentIndex(port_.ChosenEntry());

    if (port_.DeviceCount() != 0)
        ShowOpenResult(port_.OpenStoredOutput());
    // The session may have ended while a failed open was being reported.
    if (sessionEnding && sessionEnding())
        return;

    // The slider holds the value within its range; SpeedStep keeps the stored value.
    FSPEED->setValue(values_.SpeedStep);
    mixer_.SetStartupInterval(FSPEED->value());

    switch (values_.Vendor) {
        case kVendorKorg:
            KG->setChecked(true);
            break;
        case kVendorRoland:
            GS->setChecked(true);
            break;
        case kVendorYamaha:
            XG->setChecked(true);
            break;
        default:
            break;  // KORG stays checked, and the stored code stays as it is
    }

    mixer_.SendDrumKitSelect();
}

void Tconfig::MIDIPORTChange() {
    // The drum kit is not sent again: the next DRUM toggle does that.
    ShowOpenResult(port_.Pick(MIDIPORT->currentIndex()));
}

void Tconfig::FSPEEDChange() {
    mixer_.FSPEEDChange(FSPEED->sliderPosition());
}

// The new kit is sent at the next DRUM toggle or the next start, not now.
void Tconfig::KGClick() {
    values_.Vendor = kVendorKorg;
}
void Tconfig::GSClick() {
    values_.Vendor = kVendorRoland;
}
void Tconfig::XGClick() {
    values_.Vendor = kVendorYamaha;
}

void Tconfig::ShowOpenResult(std::uint8_t result) {
    if (result != 0) {
        prompts_.Message(ToQString(texts::kDeviceUnavailable));
        return;
    }
    form1_.setWindowTitle(QString::fromStdString(port_.Caption()));
    // Qt's own title bar on Wayland shows a new title only with the window's
    // next frame, and the main window, behind this dialog, draws none.
    form1_.update();
}

void Tconfig::keyPressEvent(QKeyEvent* event) {
    // No cancel button, so Escape closes nothing.
    if (event->key() == Qt::Key_Escape || event->matches(QKeySequence::Cancel)) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

}  // namespace faderwell
