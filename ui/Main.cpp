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
#include <variant>
#include <vector>

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

    BuildControls();
    BuildMenu();

    // The window is as large as its menu bar and client area, and no larger or smaller.
    layout()->setSizeConstraint(QLayout::SetFixedSize);
    KeepFixedSize(*this);

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

// Where a control stands: on the window's client area or on the panel of faders.
enum class TForm1::Place { Client, Panel };

// What a row of the layout builds.
enum class TForm1::Kind {
    Panel,       // the raised panel of the faders
    Bevel,       // a frame that only draws
    Number,      // the number above a fader
    Fader,       // a scroll bar showing a fader, vertical or, wider than high, horizontal
    Link,        // a check box showing one of the mixer's boxes
    Preset,      // a button for the mouse only that sets the master
    FadeButton,  // a button with a glyph that starts or stops a fade
    Value,       // a right-aligned label showing one of the mixer's values
    Caption,     // a left-aligned label with a text of its own
    Arrows,      // the controller number's arrows
};

// One control of the window: what it is, where it stands, the mixer's part it
// shows, the member that keeps it and what assistive tools are told of it.
struct TForm1::ControlRow {
    using Slot = std::variant<QFrame**, QLabel**, AnchoredLabel**, QScrollBar**, QCheckBox**,
                              QPushButton**, UpDownArrows**>;
    using Model = std::variant<std::monostate, Fader*, CheckBox*, Button*, Label*, UpDown*>;

    Kind kind;
    Place place;
    QRect geometry;
    QString name;  // the object name; the number labels have none
    Slot slot;
    Model model{};
    QString text{};  // what a number, preset or caption shows
    int fontPixels{kStripFontPixels};
    int frame{QFrame::NoFrame};
    GlyphSymbol glyph{GlyphSymbol::Start};
    bool decorative{false};    // only draws: assistive tools skip it
    QString accessibleName{};  // none: the text it shows names it, a new number a new name
    QString description{};
};

std::vector<TForm1::ControlRow> TForm1::Layout() {
    constexpr int kBox = QFrame::Box;
    constexpr int kPanel = QFrame::Panel;
    const auto channelName = [](const char* prefix, int channel) {
        return QStringLiteral("%1%2").arg(QLatin1String(prefix)).arg(channel);
    };

    // Built in this order: what comes later lies above what came first.
    std::vector<ControlRow> rows{
        {.kind = Kind::Panel,
         .place = Place::Client,
         .geometry = {0, 0, kClientWidth, kPanelHeight},
         .name = QStringLiteral("Panel1"),
         .slot = &Panel1},
        {.kind = Kind::Number,
         .place = Place::Panel,
         .geometry = {46, kNumberTop, 12, kNumberHeight},
         .name = {},
         .slot = &numbers_[0],
         .text = QStringLiteral("M"),
         .description = QStringLiteral("The master fader below")},
    };
    for (int channel = 1; channel <= Mixer::kChannels; ++channel) {
        rows.push_back(
            {.kind = Kind::Number,
             .place = Place::Panel,
             .geometry = NumberLabelGeometry(channel),
             .name = {},
             .slot = &numbers_[static_cast<std::size_t>(channel)],
             .text = QString::number(channel),
             .description = QStringLiteral("Number of channel fader %1 below").arg(channel)});
    }
    // Built before the faders, which cover all of it but its right edge: a
    // sliver of a digit, no label of anything, so assistive tools skip it.
    rows.push_back({.kind = Kind::Number,
                    .place = Place::Panel,
                    .geometry = {80, kFaderTop, 9, kNumberHeight},
                    .name = QStringLiteral("Label8"),
                    .slot = &Label8,
                    .text = QStringLiteral("1"),
                    .decorative = true});
    rows.push_back({.kind = Kind::Fader,
                    .place = Place::Panel,
                    .geometry = {kMasterFaderLeft, kFaderTop, kFaderWidth, kFaderHeight},
                    .name = QStringLiteral("MVol"),
                    .slot = &MVol,
                    .model = &mixer_.MVol,
                    .accessibleName = QStringLiteral("Master"),
                    .description = QStringLiteral("Moves every linked channel to its value")});
    for (int channel = 1; channel <= Mixer::kChannels; ++channel) {
        const int left = kFirstFaderLeft + kChannelPitch * (channel - 1);
        rows.push_back(
            {.kind = Kind::Fader,
             .place = Place::Panel,
             .geometry = {left, kFaderTop, kFaderWidth, kFaderHeight},
             .name = channelName("Vol", channel),
             .slot = &vols_[static_cast<std::size_t>(channel - 1)],
             .model = &mixer_.Vol(channel),
             .accessibleName = QStringLiteral("Channel %1").arg(channel),
             .description =
                 QStringLiteral("Control Change value on MIDI channel %1").arg(channel)});
    }
    rows.push_back({.kind = Kind::Link,
                    .place = Place::Panel,
                    .geometry = {kMasterLinkLeft, kLinkTop, kLinkSize, kLinkSize},
                    .name = QStringLiteral("MC"),
                    .slot = &MC,
                    .model = &mixer_.MC,
                    .accessibleName = QStringLiteral("Link all channels"),
                    .description = QStringLiteral("Links or unlinks every channel at once; a "
                                                  "fade starts only while it is ticked")});
    for (int channel = 1; channel <= Mixer::kChannels; ++channel) {
        const int left = channel == Mixer::kChannels
                             ? kLastLinkLeft
                             : kFirstLinkLeft + kChannelPitch * (channel - 1);
        rows.push_back(
            {.kind = Kind::Link,
             .place = Place::Panel,
             .geometry = {left, kLinkTop, kLinkSize, kLinkSize},
             .name = channelName("C", channel),
             .slot = &links_[static_cast<std::size_t>(channel - 1)],
             .model = &mixer_.C(channel),
             .accessibleName = QStringLiteral("Link channel %1").arg(channel),
             .description =
                 QStringLiteral("Channel %1 follows the master while ticked").arg(channel)});
    }
    const auto preset = [&](const char* name, QPushButton** slot, Button& button, int value,
                            int top) {
        rows.push_back({.kind = Kind::Preset,
                        .place = Place::Panel,
                        .geometry = {8, top, 29, 15},
                        .name = QLatin1String(name),
                        .slot = slot,
                        .model = &button,
                        .text = QString::number(value),
                        .description = QStringLiteral("Sets the master to %1").arg(value)});
    };
    preset("SB1", &SB1, mixer_.SB1, Fader::kMax, 36);
    preset("SB2", &SB2, mixer_.SB2, 64, 73);
    preset("SB3", &SB3, mixer_.SB3, Fader::kMin, 109);

    const auto bevel = [&](const char* name, QFrame** slot, Place place, const QRect& geometry,
                           int frame) {
        rows.push_back({.kind = Kind::Bevel,
                        .place = place,
                        .geometry = geometry,
                        .name = QLatin1String(name),
                        .slot = slot,
                        .frame = frame,
                        .decorative = true});
    };
    bevel("Bevel5", &Bevel5, Place::Panel, {8, 150, 29, 17}, kBox | QFrame::Sunken);
    rows.push_back({.kind = Kind::Value,
                    .place = Place::Panel,
                    .geometry = {19, 152, 14, 13},
                    .name = QStringLiteral("LValue"),
                    .slot = &LValue,
                    .model = &mixer_.LValue,
                    .fontPixels = kValueFontPixels,
                    .description = QStringLiteral("The value of the fader moved last")});

    // The fade strip. Frames first, so that what they enclose lies above them.
    bevel("Bevel4", &Bevel4, Place::Client, {0, 176, 457, 41}, kBox | QFrame::Raised);
    bevel("Bevel3", &Bevel3, Place::Client, {8, 184, 177, 25}, kPanel | QFrame::Sunken);
    bevel("Bevel1", &Bevel1, Place::Client, {220, 184, 37, 25}, kBox | QFrame::Sunken);
    bevel("Bevel2", &Bevel2, Place::Client, {382, 184, 37, 25}, kBox | QFrame::Sunken);
    rows.insert(
        rows.end(),
        {
            {.kind = Kind::Caption,
             .place = Place::Client,
             .geometry = {12, 188, 47, 15},
             .name = QStringLiteral("Label2"),
             .slot = &Label2,
             .text = ToQString(texts::kControllerCaption),
             .description = QStringLiteral("Caption of the controller number")},
            {.kind = Kind::Value,
             .place = Place::Client,
             .geometry = {88, 188, 8, 15},
             .name = QStringLiteral("CcP"),
             .slot = &CcP,
             .model = &mixer_.CcP,
             .description = QStringLiteral("The controller number every channel fader sends")},
            {.kind = Kind::Arrows,
             .place = Place::Client,
             .geometry = {100, 185, 16, 23},
             .name = QStringLiteral("CC"),
             .slot = &CC,
             .model = &mixer_.CC,
             .accessibleName = QStringLiteral("Controller number"),
             .description =
                 QStringLiteral("Chooses the controller every channel fader sends, 0 to 127")},
            {.kind = Kind::Link,
             .place = Place::Client,
             .geometry = {124, 188, 17, 17},
             .name = QStringLiteral("DrumSw"),
             .slot = &DrumSw,
             .model = &mixer_.DrumSw,
             .accessibleName = ToQString(texts::kDrumCaption),
             .description = QStringLiteral("A hi-hat note on channel 10 at every fade step; each "
                                           "change sends the drum-kit selection")},
            // The word beside the box is only a caption: clicking it does nothing.
            {.kind = Kind::Caption,
             .place = Place::Client,
             .geometry = {144, 192, 33, 12},
             .name = QStringLiteral("Label3"),
             .slot = &Label3,
             .text = ToQString(texts::kDrumCaption),
             .fontPixels = kDefaultFontPixels,
             .description = QStringLiteral("Caption of the drum box")},
            {.kind = Kind::FadeButton,
             .place = Place::Client,
             .geometry = {192, 184, 25, 25},
             .name = QStringLiteral("StartB"),
             .slot = &StartB,
             .model = &mixer_.StartB,
             .glyph = GlyphSymbol::Start,
             .accessibleName = QStringLiteral("Start fade"),
             .description =
                 QStringLiteral("Fades the master from the start level to the stop level")},
            {.kind = Kind::Value,
             .place = Place::Client,
             .geometry = {240, 190, 8, 15},
             .name = QStringLiteral("StartP"),
             .slot = &StartP,
             .model = &mixer_.StartP,
             .description = QStringLiteral("Shows the value a fade starts from")},
            {.kind = Kind::Fader,
             .place = Place::Client,
             .geometry = {264, 184, 113, 9},
             .name = QStringLiteral("StartM"),
             .slot = &StartM,
             .model = &mixer_.StartM,
             .accessibleName = QStringLiteral("Fade start level"),
             .description = QStringLiteral("The value a fade starts from")},
            {.kind = Kind::Fader,
             .place = Place::Client,
             .geometry = {264, 200, 113, 9},
             .name = QStringLiteral("StopM"),
             .slot = &StopM,
             .model = &mixer_.StopM,
             .accessibleName = QStringLiteral("Fade stop level"),
             .description = QStringLiteral("The value a fade ends at")},
            {.kind = Kind::Value,
             .place = Place::Client,
             .geometry = {392, 190, 24, 15},
             .name = QStringLiteral("StopP"),
             .slot = &StopP,
             .model = &mixer_.StopP,
             .description = QStringLiteral("Shows the value a fade ends at")},
            {.kind = Kind::FadeButton,
             .place = Place::Client,
             .geometry = {424, 184, 25, 25},
             .name = QStringLiteral("StopB"),
             .slot = &StopB,
             .model = &mixer_.StopB,
             .glyph = GlyphSymbol::Stop,
             .accessibleName = QStringLiteral("Stop fade"),
             .description = QStringLiteral("Stops the fade where it stands")},
        });
    return rows;
}

void TForm1::BuildControls() {
    // Tab runs from the controller number to the fade buttons, then through
    // the faders and boxes as built. The window's first focus is the start
    // button, so that its first keys start and stop a fade.
    std::vector<QWidget*> tabOrder;
    std::vector<QWidget*> laterTabStops;
    for (const ControlRow& row : Layout()) {
        QWidget* control = Build(row, row.place == Place::Panel ? Panel1 : client_);
        if (row.kind == Kind::Arrows || row.kind == Kind::FadeButton)
            tabOrder.push_back(control);
        else if (row.kind == Kind::Fader || row.kind == Kind::Link)
            laterTabStops.push_back(control);
        if (!row.name.isEmpty())
            control->setObjectName(row.name);
        if (row.decorative)
            MarkDecorative(control);
        if (!row.accessibleName.isEmpty())
            control->setAccessibleName(row.accessibleName);
        if (!row.description.isEmpty())
            control->setAccessibleDescription(row.description);
    }
    tabOrder.insert(tabOrder.end(), laterTabStops.begin(), laterTabStops.end());
    for (std::size_t i = 1; i < tabOrder.size(); ++i) setTabOrder(tabOrder[i - 1], tabOrder[i]);
}

namespace {

// Keeps a built widget in the member the row names; a row whose member does
// not fit what it builds fails at once, on the first window built.
template <class Widget, class Row>
Widget* Keep(const Row& row, Widget* widget) {
    *std::get<Widget**>(row.slot) = widget;
    return widget;
}

template <class Part, class Row>
Part& ModelOf(const Row& row) {
    return *std::get<Part*>(row.model);
}

}  // namespace

QWidget* TForm1::Build(const ControlRow& row, QWidget* parent) {
    switch (row.kind) {
        case Kind::Panel:
        case Kind::Bevel: {
            auto* frame = new QFrame(parent);
            frame->setLineWidth(1);
            frame->setGeometry(row.geometry);
            if (row.kind == Kind::Panel) {
                frame->setFrameStyle(QFrame::Panel | QFrame::Raised);
            } else {
                frame->setFrameStyle(row.frame);
                frame->setAttribute(Qt::WA_TransparentForMouseEvents);
            }
            return Keep(row, frame);
        }
        case Kind::Number:
            return Keep<QLabel>(
                row, new AnchoredLabel(row.text, WindowFont(kNumberFontPixels, true), row.geometry,
                                       Qt::AlignLeft, parent));
        case Kind::Caption:
            return Keep<QLabel>(row, new AnchoredLabel(row.text, WindowFont(row.fontPixels),
                                                       row.geometry, Qt::AlignLeft, parent));
        case Kind::Value:
            return Keep(row, MakeLabel(parent, row.geometry, ModelOf<Label>(row), row.fontPixels));
        case Kind::Fader: {
            const Qt::Orientation orientation =
                row.geometry.width() > row.geometry.height() ? Qt::Horizontal : Qt::Vertical;
            return Keep(row, MakeFader(parent, orientation, row.geometry, ModelOf<Fader>(row)));
        }
        case Kind::Link:
            return Keep(row, MakeCheckBox(parent, row.geometry, ModelOf<CheckBox>(row)));
        case Kind::Preset: {
            QPushButton* push = MakeButton(parent, row.geometry, ModelOf<Button>(row));
            push->setText(row.text);
            push->setFocusPolicy(Qt::NoFocus);  // presets are for the mouse only
            return Keep(row, push);
        }
        case Kind::FadeButton: {
            QPushButton* push = MakeButton(parent, row.geometry, ModelOf<Button>(row));
            const QColor highlight = palette().color(QPalette::Light);
            push->setIcon(ButtonGlyphIcon(ButtonGlyphBitmap(row.glyph), highlight));
            push->setIconSize({kGlyphSize, kGlyphSize});
            push->setFocusPolicy(Qt::StrongFocus);
            return Keep(row, push);
        }
        case Kind::Arrows:
            return Keep(row, MakeArrows(parent, row.geometry, ModelOf<UpDown>(row)));
    }
    return nullptr;  // every kind is handled above
}

UpDownArrows* TForm1::MakeArrows(QWidget* parent, const QRect& geometry, UpDown& number) {
    auto* arrows = new UpDownArrows(parent);
    arrows->setGeometry(geometry);
    const auto show = [arrows, &number] {
        arrows->setEnabled(number.Enabled());
        arrows->ShowValue(number.Position());
    };
    show();
    number.Subscribe(show);
    connect(arrows->Up, &QAbstractButton::clicked, this,
            [this, &number] { Handle([&number] { number.StepUp(); }); });
    connect(arrows->Down, &QAbstractButton::clicked, this,
            [this, &number] { Handle([&number] { number.StepDown(); }); });
    Describe(arrows->Up, QStringLiteral("Next controller number"),
             QStringLiteral("Raises the controller number by one"));
    Describe(arrows->Down, QStringLiteral("Previous controller number"),
             QStringLiteral("Lowers the controller number by one"));
    return arrows;
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
    MainMenu1->setObjectName(QStringLiteral("MainMenu1"));
    O1->setObjectName(QStringLiteral("O1"));
    Exit1->setObjectName(QStringLiteral("Exit1"));
    VerInfo->setObjectName(QStringLiteral("VerInfo"));

    O1->setEnabled(mixer_.O1.Enabled());
    mixer_.O1.Subscribe([this] { O1->setEnabled(mixer_.O1.Enabled()); });
    connect(O1, &QAction::triggered, this, [this] { Handle([this] { O1Click(); }); });
    connect(Exit1, &QAction::triggered, this, [this] { Handle([this] { Exit1Click(); }); });
    connect(VerInfo, &QAction::triggered, this, [this] { Handle([this] { VerInfoClick(); }); });
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
    // Showing forgets any keyboard focus change: the first focus is shown
    // from the first paint on, not only after a key.
    setAttribute(Qt::WA_KeyboardFocusChange);
    // Without a window manager (xvfb-run) nobody else would activate it.
    activateWindow();
    StartB->setFocus(Qt::OtherFocusReason);
}

}  // namespace faderwell
