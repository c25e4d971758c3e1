#include "ui/Main.h"

#include <QAction>
#include <QCheckBox>
#include <QFrame>
#include <QLayout>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QSignalBlocker>
#include <optional>

#include "core/AppInfo.h"
#include "core/Defaults.h"
#include "core/Texts.h"
#include "midi/MidiOutPort.h"
#include "settings/AccessSettings.h"
#include "ui/Accessibility.h"
#include "ui/AnchoredLabel.h"
#include "ui/AppIcon.h"
#include "ui/Appearance.h"
#include "ui/Bars.h"
#include "ui/ButtonGlyphs.h"
#include "ui/FixedWindow.h"
#include "ui/ImageButton.h"
#include "ui/Prompts.h"
#include "ui/QtText.h"
#include "ui/Sub1.h"
#include "ui/UpDownArrows.h"
#include "ui/about.h"

namespace faderwell {

namespace {

constexpr int kNumberFontPixels = 15;
constexpr int kValueFontPixels = 13;
constexpr int kStripFontPixels = 15;

// The upper panel: a fader column every 24 pixels from the first channel on.
constexpr int kPanelHeight = 177;
constexpr int kChannelPitch = 24;
constexpr int kFaderTop = 20;
constexpr int kFaderWidth = 16;
constexpr int kFaderHeight = 120;
constexpr int kMasterFaderLeft = 45;
constexpr int kFirstFaderLeft = 68;
constexpr int kLinkTop = 152;
constexpr int kLinkSize = 17;
constexpr int kMasterLinkLeft = 46;
constexpr int kFirstLinkLeft = 69;
constexpr int kLastLinkLeft = 428;  // one pixel left of the pitch
constexpr int kNumberTop = 4;
constexpr int kNumberHeight = 15;

// The label above channel N: one digit is 9 pixels wide, two are 18.
QRect NumberLabelGeometry(int channel) {
    if (channel <= 9)
        return {72 + kChannelPitch * (channel - 1), kNumberTop, 9, kNumberHeight};
    if (channel <= 15)
        return {284 + kChannelPitch * (channel - 10), kNumberTop, 18, kNumberHeight};
    return {426, kNumberTop, 18, kNumberHeight};
}

std::optional<ScrollGesture> GestureFor(int action) {
    switch (action) {
        case QAbstractSlider::SliderSingleStepAdd:
            return ScrollGesture::LineDown;
        case QAbstractSlider::SliderSingleStepSub:
            return ScrollGesture::LineUp;
        case QAbstractSlider::SliderPageStepAdd:
            return ScrollGesture::PageDown;
        case QAbstractSlider::SliderPageStepSub:
            return ScrollGesture::PageUp;
        case QAbstractSlider::SliderToMinimum:
            return ScrollGesture::ToTop;
        case QAbstractSlider::SliderToMaximum:
            return ScrollGesture::ToBottom;
        case QAbstractSlider::SliderMove:
            return ScrollGesture::ThumbTrack;
        default:
            return std::nullopt;
    }
}

// Puts a scroll bar where its fader is, without raising any signal.
void ShowPosition(QScrollBar* bar, const Fader& fader) {
    const QSignalBlocker quiet(bar);
    bar->setSliderPosition(fader.Position());
    bar->setValue(fader.Position());
    bar->setEnabled(fader.Enabled());
}

void ShowTicked(QCheckBox* box, const CheckBox& state) {
    const QSignalBlocker quiet(box);
    box->setChecked(state.Ticked());
    box->setEnabled(state.Enabled());
}

}  // namespace

TForm1::TForm1(Windows& windows, MidiOutPort& port, SettingsStore& settings, ProcessValues& values,
               Prompts& prompts, QWidget* parent)
    : QMainWindow(parent),
      windows_(windows),
      port_(port),
      settings_(settings),
      values_(values),
      prompts_(prompts),
      mixer_(port, Timer1, values) {
    // A fixed window: no sizing frame and no maximize button; minimize stays.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);
    setWindowTitle(ToQString(kApplicationTitle));
    setWindowIcon(AppIcon());
    setFont(WindowFont(kDefaultFontPixels));
    InstallFaderAccessibility();

    client_ = new QWidget(this);
    client_->setObjectName(QStringLiteral("Client"));
    client_->setFixedSize(kClientWidth, kClientHeight);
    setCentralWidget(client_);

    BuildPanel();
    BuildStrip();
    BuildMenu();
    SetFocusOrder();
    NameChildren();
    DescribeControls();

    // The window is as large as its menu bar and client area, and no larger or smaller.
    layout()->setSizeConstraint(QLayout::SetFixedSize);

    // A tick's words fall due with the tick, however late the thread came to it.
    Timer1.SetTickHandler([this](QtPeriodicTimer::Moment due) {
        Handle([this, due] {
            const WordsDueAt tick(port_, due);
            mixer_.Timer1Timer();
        });
    });
}

TForm1::~TForm1() = default;

template <class Handler>
void TForm1::Handle(Handler&& handler) {
    const QWidget* focused = focusWidget();
    Guarded(prompts_, std::forward<Handler>(handler));
    KeepFocusOnTheFadeButtons(focused);
}

void TForm1::KeepFocusOnTheFadeButtons(const QWidget* focusedBefore) {
    // Disabling the focused button would pass the focus on down the tab
    // order, to a fader that the next key would move. The partner button
    // takes it instead, so Return or Space starts and stops a fade alone.
    if (focusedBefore == StartB && !StartB->isEnabled() && StopB->isEnabled())
        StopB->setFocus(Qt::OtherFocusReason);
    else if (focusedBefore == StopB && !StopB->isEnabled() && StartB->isEnabled())
        StartB->setFocus(Qt::OtherFocusReason);
}

QScrollBar* TForm1::MakeFader(QWidget* parent, Qt::Orientation orientation, const QRect& geometry,
                              Fader& fader) {
    auto* bar = new FaderBar(orientation, parent);
    bar->setGeometry(geometry);
    bar->setRange(Fader::kMin, Fader::kMax);
    bar->setSingleStep(1);
    bar->setPageStep(1);
    bar->setFocusPolicy(Qt::StrongFocus);
    // Qt's scroll-bar menu sets values directly, past the fader contract.
    bar->setContextMenuPolicy(Qt::NoContextMenu);
    ShowPosition(bar, fader);
    fader.Subscribe([bar, &fader] { ShowPosition(bar, fader); });

    // Every gesture asks the fader for a position; the bar then shows where
    // the fader is, also when the fader kept its place.
    connect(bar, &QAbstractSlider::actionTriggered, this, [this, bar, &fader](int action) {
        if (const auto gesture = GestureFor(action)) {
            Handle([&] { fader.Scroll(*gesture, bar->sliderPosition()); });
            const QSignalBlocker quiet(bar);
            bar->setSliderPosition(fader.Position());
        }
    });
    connect(bar, &QAbstractSlider::sliderReleased, this, [this, bar, &fader] {
        Handle([&] { fader.Scroll(ScrollGesture::ThumbPosition, bar->sliderPosition()); });
        ShowPosition(bar, fader);
    });
    // A value set by an assistive tool is a thumb put in place.
    bar->onPositionRequest = [this, bar, &fader](int position) {
        Handle([&] { fader.Scroll(ScrollGesture::ThumbPosition, position); });
        ShowPosition(bar, fader);
    };
    return bar;
}

QCheckBox* TForm1::MakeCheckBox(QWidget* parent, const QRect& geometry, CheckBox& state) {
    auto* box = new QCheckBox(parent);
    box->setGeometry(geometry);
    ShowTicked(box, state);
    state.Subscribe([box, &state] { ShowTicked(box, state); });
    connect(box, &QAbstractButton::clicked, this, [this, box, &state] {
        Handle([&] { state.Toggle(); });
        ShowTicked(box, state);
    });
    return box;
}

QPushButton* TForm1::MakeButton(QWidget* parent, const QRect& geometry, Button& button) {
    auto* push = new ImageButton(parent);
    push->setGeometry(geometry);
    push->setEnabled(button.Enabled());
    button.Subscribe([push, &button] { push->setEnabled(button.Enabled()); });
    connect(push, &QAbstractButton::clicked, this,
            [this, &button] { Handle([&] { button.Click(); }); });
    return push;
}

AnchoredLabel* TForm1::MakeLabel(QWidget* parent, const QRect& geometry, Label& label,
                                 int pixelHeight) {
    auto* shown = new AnchoredLabel(ToQString(label.Text()), WindowFont(pixelHeight), geometry,
                                    Qt::AlignRight, parent);
    label.Subscribe([shown, &label] { shown->SetText(ToQString(label.Text())); });
    return shown;
}

QFrame* TForm1::MakeBevel(QWidget* parent, const QRect& geometry, int shape) {
    auto* bevel = new QFrame(parent);
    bevel->setFrameStyle(shape);
    bevel->setLineWidth(1);
    bevel->setGeometry(geometry);
    bevel->setAttribute(Qt::WA_TransparentForMouseEvents);
    MarkDecorative(bevel);
    return bevel;
}

void TForm1::BuildPanel() {
    Panel1 = new QFrame(client_);
    Panel1->setFrameStyle(QFrame::Panel | QFrame::Raised);
    Panel1->setLineWidth(1);
    Panel1->setGeometry(0, 0, kClientWidth, kPanelHeight);

    const QFont numberFont = WindowFont(kNumberFontPixels, true);
    const auto numberLabel = [&](const QString& text, const QRect& geometry) {
        return new AnchoredLabel(text, numberFont, geometry, Qt::AlignLeft, Panel1);
    };
    numbers_[0] = numberLabel(QStringLiteral("M"), {46, kNumberTop, 12, kNumberHeight});
    for (int channel = 1; channel <= Mixer::kChannels; ++channel) {
        numbers_[static_cast<std::size_t>(channel)] =
            numberLabel(QString::number(channel), NumberLabelGeometry(channel));
    }
    // Built before the faders, which cover all of it but its right edge: a
    // sliver of a digit, no label of anything, so assistive tools skip it.
    Label8 = numberLabel(QStringLiteral("1"), {80, kFaderTop, 9, kNumberHeight});
    MarkDecorative(Label8);

    MVol = MakeFader(Panel1, Qt::Vertical, {kMasterFaderLeft, kFaderTop, kFaderWidth, kFaderHeight},
                     mixer_.MVol);
    for (int channel = 1; channel <= Mixer::kChannels; ++channel) {
        const int left = kFirstFaderLeft + kChannelPitch * (channel - 1);
        vols_[static_cast<std::size_t>(channel - 1)] =
            MakeFader(Panel1, Qt::Vertical, {left, kFaderTop, kFaderWidth, kFaderHeight},
                      mixer_.Vol(channel));
    }
    MC = MakeCheckBox(Panel1, {kMasterLinkLeft, kLinkTop, kLinkSize, kLinkSize}, mixer_.MC);
    for (int channel = 1; channel <= Mixer::kChannels; ++channel) {
        const int left = channel == Mixer::kChannels
                             ? kLastLinkLeft
                             : kFirstLinkLeft + kChannelPitch * (channel - 1);
        links_[static_cast<std::size_t>(channel - 1)] =
            MakeCheckBox(Panel1, {left, kLinkTop, kLinkSize, kLinkSize}, mixer_.C(channel));
    }

    const auto preset = [&](const QString& caption, int top, Button& button) {
        QPushButton* push = MakeButton(Panel1, {8, top, 29, 15}, button);
        push->setText(caption);
        push->setFocusPolicy(Qt::NoFocus);  // presets are for the mouse only
        return push;
    };
    SB1 = preset(QStringLiteral("127"), 36, mixer_.SB1);
    SB2 = preset(QStringLiteral("64"), 73, mixer_.SB2);
    SB3 = preset(QStringLiteral("0"), 109, mixer_.SB3);

    Bevel5 = MakeBevel(Panel1, {8, 150, 29, 17}, QFrame::Box | QFrame::Sunken);
    LValue = MakeLabel(Panel1, {19, 152, 14, 13}, mixer_.LValue, kValueFontPixels);
}

void TForm1::BuildStrip() {
    // Frames first, so that what they enclose lies above them.
    Bevel4 = MakeBevel(client_, {0, 176, 457, 41}, QFrame::Box | QFrame::Raised);
    Bevel3 = MakeBevel(client_, {8, 184, 177, 25}, QFrame::Panel | QFrame::Sunken);
    Bevel1 = MakeBevel(client_, {220, 184, 37, 25}, QFrame::Box | QFrame::Sunken);
    Bevel2 = MakeBevel(client_, {382, 184, 37, 25}, QFrame::Box | QFrame::Sunken);

    Label2 = new AnchoredLabel(ToQString(texts::kControllerCaption), WindowFont(kStripFontPixels),
                               {12, 188, 47, 15}, Qt::AlignLeft, client_);
    CcP = MakeLabel(client_, {88, 188, 8, 15}, mixer_.CcP, kStripFontPixels);

    CC = new UpDownArrows(client_);
    CC->setGeometry(100, 185, 16, 23);
    CC->setEnabled(mixer_.CC.Enabled());
    CC->ShowValue(mixer_.CC.Position());
    mixer_.CC.Subscribe([this] {
        CC->setEnabled(mixer_.CC.Enabled());
        CC->ShowValue(mixer_.CC.Position());
    });
    connect(CC->Up, &QAbstractButton::clicked, this,
            [this] { Handle([this] { mixer_.CC.StepUp(); }); });
    connect(CC->Down, &QAbstractButton::clicked, this,
            [this] { Handle([this] { mixer_.CC.StepDown(); }); });

    DrumSw = MakeCheckBox(client_, {124, 188, 17, 17}, mixer_.DrumSw);
    // The word beside the box is only a caption: clicking it does nothing.
    Label3 = new AnchoredLabel(ToQString(texts::kDrumCaption), font(), {144, 192, 33, 12},
                               Qt::AlignLeft, client_);

    const QColor highlight = palette().color(QPalette::Light);
    StartB = MakeButton(client_, {192, 184, 25, 25}, mixer_.StartB);
    StartB->setIcon(ButtonGlyphIcon(ButtonGlyphBitmap(GlyphSymbol::Start), highlight));
    StartP = MakeLabel(client_, {240, 190, 8, 15}, mixer_.StartP, kStripFontPixels);
    StartM = MakeFader(client_, Qt::Horizontal, {264, 184, 113, 9}, mixer_.StartM);
    StopM = MakeFader(client_, Qt::Horizontal, {264, 200, 113, 9}, mixer_.StopM);
    StopP = MakeLabel(client_, {392, 190, 24, 15}, mixer_.StopP, kStripFontPixels);
    StopB = MakeButton(client_, {424, 184, 25, 25}, mixer_.StopB);
    StopB->setIcon(ButtonGlyphIcon(ButtonGlyphBitmap(GlyphSymbol::Stop), highlight));
    for (QPushButton* button : {StartB, StopB}) {
        button->setIconSize({kGlyphSize, kGlyphSize});
        button->setFocusPolicy(Qt::StrongFocus);
    }
}

void TForm1::BuildMenu() {
    MainMenu1 = menuBar();
    MainMenu1->setNativeMenuBar(false);  // the menu belongs to the window
    File1 = MainMenu1->addMenu(ToQString(texts::kFileMenu));
    O1 = File1->addAction(ToQString(texts::kSettingsCommand));
    N1 = File1->addSeparator();
    Exit1 = File1->addAction(ToQString(texts::kExitCommand));
    HelpH1 = MainMenu1->addMenu(ToQString(texts::kHelpMenu));
    VerInfo = HelpH1->addAction(ToQString(texts::kAboutCommand));

    O1->setEnabled(mixer_.O1.Enabled());
    mixer_.O1.Subscribe([this] { O1->setEnabled(mixer_.O1.Enabled()); });
    connect(O1, &QAction::triggered, this, [this] { Handle([this] { O1Click(); }); });
    connect(Exit1, &QAction::triggered, this, [this] { Handle([this] { Exit1Click(); }); });
    connect(VerInfo, &QAction::triggered, this, [this] { Handle([this] { VerInfoClick(); }); });
}

void TForm1::SetFocusOrder() {
    std::vector<QWidget*> order{StartB, StopB, MVol};
    order.insert(order.end(), vols_.begin(), vols_.end());
    order.push_back(MC);
    order.insert(order.end(), links_.begin(), links_.end());
    order.insert(order.end(), {DrumSw, StartM, StopM});
    for (std::size_t i = 1; i < order.size(); ++i) setTabOrder(order[i - 1], order[i]);
}

void TForm1::NameChildren() {
    const auto name = [](QObject* object, const QString& text) { object->setObjectName(text); };
    name(Panel1, QStringLiteral("Panel1"));
    name(Label8, QStringLiteral("Label8"));
    name(MVol, QStringLiteral("MVol"));
    name(MC, QStringLiteral("MC"));
    for (int channel = 1; channel <= Mixer::kChannels; ++channel) {
        name(Vol(channel), QStringLiteral("Vol%1").arg(channel));
        name(C(channel), QStringLiteral("C%1").arg(channel));
    }
    name(SB1, QStringLiteral("SB1"));
    name(SB2, QStringLiteral("SB2"));
    name(SB3, QStringLiteral("SB3"));
    name(Bevel1, QStringLiteral("Bevel1"));
    name(Bevel2, QStringLiteral("Bevel2"));
    name(Bevel3, QStringLiteral("Bevel3"));
    name(Bevel4, QStringLiteral("Bevel4"));
    name(Bevel5, QStringLiteral("Bevel5"));
    name(LValue, QStringLiteral("LValue"));
    name(Label2, QStringLiteral("Label2"));
    name(CcP, QStringLiteral("CcP"));
    name(CC, QStringLiteral("CC"));
    name(DrumSw, QStringLiteral("DrumSw"));
    name(Label3, QStringLiteral("Label3"));
    name(StartB, QStringLiteral("StartB"));
    name(StartP, QStringLiteral("StartP"));
    name(StartM, QStringLiteral("StartM"));
    name(StopM, QStringLiteral("StopM"));
    name(StopP, QStringLiteral("StopP"));
    name(StopB, QStringLiteral("StopB"));
    name(MainMenu1, QStringLiteral("MainMenu1"));
    name(O1, QStringLiteral("O1"));
    name(Exit1, QStringLiteral("Exit1"));
    name(VerInfo, QStringLiteral("VerInfo"));
}

void TForm1::DescribeControls() {
    // Controls without text of their own get a name; a label or a button that
    // shows a text (a number among them) is named by it, so a new number is
    // heard as the new name.
    Describe(MVol, QStringLiteral("Master"),
             QStringLiteral("Moves every linked channel to its value"));
    Describe(MC, QStringLiteral("Link all channels"),
             QStringLiteral("Links or unlinks every channel at once; a fade starts only while "
                            "it is ticked"));
    for (int channel = 1; channel <= Mixer::kChannels; ++channel) {
        Describe(Vol(channel), QStringLiteral("Channel %1").arg(channel),
                 QStringLiteral("Control Change value on MIDI channel %1").arg(channel));
        Describe(C(channel), QStringLiteral("Link channel %1").arg(channel),
                 QStringLiteral("Channel %1 follows the master while ticked").arg(channel));
        NumberLabel(channel)->setAccessibleDescription(
            QStringLiteral("Number of the channel fader below"));
    }
    NumberLabel(0)->setAccessibleDescription(QStringLiteral("The master fader below"));
    const std::pair<QWidget*, const char*> shownTexts[] = {
        {SB1, "Sets the master to 127"},
        {SB2, "Sets the master to 64"},
        {SB3, "Sets the master to 0"},
        {LValue, "The value of the fader moved last"},
        {Label2, "Caption of the controller number"},
        {CcP, "The controller number every channel fader sends"},
        {Label3, "Caption of the drum box"},
        {StartP, "The value a fade starts from"},
        {StopP, "The value a fade ends at"},
    };
    for (const auto& [control, description] : shownTexts)
        control->setAccessibleDescription(QString::fromUtf8(description));
    Describe(CC, QStringLiteral("Controller number"),
             QStringLiteral("Chooses the controller every channel fader sends, 0 to 127"));
    Describe(CC->Up, QStringLiteral("Next controller number"),
             QStringLiteral("Raises the controller number by one"));
    Describe(CC->Down, QStringLiteral("Previous controller number"),
             QStringLiteral("Lowers the controller number by one"));
    Describe(DrumSw, ToQString(texts::kDrumCaption),
             QStringLiteral("A hi-hat note on channel 10 at every fade step; each change sends "
                            "the drum-kit selection"));
    Describe(StartB, QStringLiteral("Start fade"),
             QStringLiteral("Fades the master from the start level to the stop level"));
    Describe(StopB, QStringLiteral("Stop fade"), QStringLiteral("Stops the fade where it stands"));
    Describe(StartM, QStringLiteral("Fade start level"),
             QStringLiteral("The value a fade starts from"));
    Describe(StopM, QStringLiteral("Fade stop level"), QStringLiteral("The value a fade ends at"));
}

void TForm1::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    RefuseMaximized(*this, event);
}

void TForm1::FormCreate() {
    values_.SpeedStep = Defaults::kSpeedStep;
    values_.MidiOutIndex = Defaults::kOutput;
    settings_.AccessSettings(SettingsStore::kLoad);
}

void TForm1::O1Click() {
    windows_.config->exec();
    // Leaving the program while the dialog was open is no reason to save.
    if (windows_.sessionEnding)
        return;
    settings_.AccessSettings(SettingsStore::kSave);
}

void TForm1::VerInfoClick() {
    windows_.versioninfo->exec();
}

void TForm1::Exit1Click() {
    port_.ResetAndClose();
    close();
}

void TForm1::ShowCentred() {
    adjustSize();
    if (const QScreen* shown = screen()) {
        move(shown->availableGeometry().center() - rect().center());
    }
    show();
    // Without a window manager (xvfb-run) nobody else would activate it.
    activateWindow();
    StartB->setFocus(Qt::OtherFocusReason);
}

}  // namespace faderwell
