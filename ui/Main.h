#pragma once

#include <QMainWindow>
#include <array>
#include <vector>

#include "core/Defaults.h"
#include "core/Mixer.h"
#include "core/ProcessValues.h"
#include "ui/QtPeriodicTimer.h"

class QAction;
class QCheckBox;
class QFrame;
class QLabel;
class QMenu;
class QMenuBar;
class QPushButton;
class QScrollBar;

namespace faderwell {

class AnchoredLabel;
class MidiOutPort;
class Prompts;
class SettingsStore;
class Tconfig;
class Tversioninfo;
class TForm1;
class UpDownArrows;

/// The process-wide window references. Each is set before its window's
/// creation handler runs and keeps its value until the program ends.
struct Windows {
    TForm1* Form1{nullptr};
    Tconfig* config{nullptr};
    Tversioninfo* versioninfo{nullptr};
    /// The session is ending: the program leaves at once, so a dialog that
    /// closes on the way out must not lead to a save.
    bool sessionEnding{false};
};

/// The main window: the faders, link boxes, presets, controller selector,
/// DRUM box and fade controls of the mixer, laid out for 96 pixels per inch
/// in a fixed client area below the menu bar. It owns the mixer and its fade
/// timer; every widget shows its control of the mixer and hands the user's
/// gestures to it. No mixer rule lives here.
class TForm1 final : public QMainWindow {
    Q_OBJECT

public:
    static constexpr int kClientWidth = 457;
    static constexpr int kClientHeight = 217;

    TForm1(Windows& windows, MidiOutPort& port, SettingsStore& settings, ProcessValues& values,
           Prompts& prompts, QWidget* parent = nullptr);
    ~TForm1() override;

    /// Creation handler: the settings' defaults, then the stored values over them.
    void FormCreate();

    /// "設定(&O)": the settings dialog, modally; then the settings are saved,
    /// whatever the dialog's result.
    void O1Click();
    /// "バージョン情報(&A)": the about dialog, modally.
    void VerInfoClick();
    /// "終了(&X)": reset and close the output, then close the window.
    void Exit1Click();

    /// Shows the window centred on its screen with the focus on the first tab stop.
    void ShowCentred();

    Mixer& Model() { return mixer_; }
    QWidget* Client() const { return client_; }

    QScrollBar* Vol(int channel) const { return vols_.at(static_cast<std::size_t>(channel - 1)); }
    QCheckBox* C(int channel) const { return links_.at(static_cast<std::size_t>(channel - 1)); }
    /// The number label above fader 0 (the master, "M") to 16.
    QLabel* NumberLabel(int fader) const { return numbers_.at(static_cast<std::size_t>(fader)); }

    /// The fade timer; stopped until a fade starts. Built before the mixer, which drives it.
    QtPeriodicTimer Timer1{Defaults::kFadeInterval};

private:
    enum class Place;
    enum class Kind;
    /// A row of the window's layout: one control.
    struct ControlRow;

    Windows& windows_;
    MidiOutPort& port_;
    SettingsStore& settings_;
    ProcessValues& values_;
    Prompts& prompts_;
    Mixer mixer_;
    QWidget* client_{nullptr};
    std::array<QScrollBar*, Mixer::kChannels> vols_{};
    std::array<QCheckBox*, Mixer::kChannels> links_{};
    std::array<QLabel*, Mixer::kChannels + 1> numbers_{};

public:
    QFrame* Panel1{nullptr};
    QLabel* Label8{nullptr};
    QScrollBar* MVol{nullptr};
    QCheckBox* MC{nullptr};
    QPushButton *SB1{}, *SB2{}, *SB3{};
    QFrame *Bevel1{}, *Bevel2{}, *Bevel3{}, *Bevel4{}, *Bevel5{};
    AnchoredLabel* LValue{nullptr};
    QLabel* Label2{nullptr};
    AnchoredLabel* CcP{nullptr};
    UpDownArrows* CC{nullptr};
    QCheckBox* DrumSw{nullptr};
    QLabel* Label3{nullptr};
    QPushButton* StartB{nullptr};
    AnchoredLabel* StartP{nullptr};
    QScrollBar* StartM{nullptr};
    QScrollBar* StopM{nullptr};
    AnchoredLabel* StopP{nullptr};
    QPushButton* StopB{nullptr};

    QMenuBar* MainMenu1{nullptr};
    QMenu* File1{nullptr};
    QAction* O1{nullptr};
    QAction* N1{nullptr};
    QAction* Exit1{nullptr};
    QMenu* HelpH1{nullptr};
    QAction* VerInfo{nullptr};

private:
    /// The window's controls in the order they are built; the layout is data.
    std::vector<ControlRow> Layout();
    /// Builds, places, names and describes every control of the layout and
    /// sets the tab order.
    void BuildControls();
    QWidget* Build(const ControlRow& row, QWidget* parent);
    void BuildMenu();
    /// Hands the focus between StartB and StopB when the one that had it
    /// before a handler has just been disabled.
    void KeepFocusOnTheFadeButtons(const QWidget* focusedBefore);

    QScrollBar* MakeFader(QWidget* parent, Qt::Orientation orientation, const QRect& geometry,
                          Fader& fader);
    QCheckBox* MakeCheckBox(QWidget* parent, const QRect& geometry, CheckBox& box);
    QPushButton* MakeButton(QWidget* parent, const QRect& geometry, Button& button);
    AnchoredLabel* MakeLabel(QWidget* parent, const QRect& geometry, Label& label, int pixelHeight);
    UpDownArrows* MakeArrows(QWidget* parent, const QRect& geometry, UpDown& number);

    /// Runs a gesture's handler the way every Qt-called handler runs.
    template <class Handler>
    void Handle(Handler&& handler);
};

}  // namespace faderwell
