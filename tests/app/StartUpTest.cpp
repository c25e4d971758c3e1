#include <QApplication>
#include <QCheckBox>
#include <QRadioButton>
#include <QScreen>
#include <QSlider>
#include <QStyleFactory>
#include <QTimer>

#include "ProgramFixture.h"
#include "core/AppInfo.h"
#include "ui/Appearance.h"

namespace faderwell::test {
namespace {

using StartUp = ProgramTest;

const QString kTitle = QStringLiteral("Faderwell Standard");
using Shown = RecordingPrompts::Shown;

struct StoredValue {
    const char* name;
    std::uint8_t byte;
    std::uint32_t type{regtype::kBinary};
};

struct StartCase {
    const char* name;
    std::vector<std::string> devices;
    std::vector<StoredValue> stored;
    ProcessValues values;  // after start-up: what was stored, even out of range
    const char* entry;     // in the title's brackets; nullptr: the bare title
    int listed;            // the entry the settings dialog shows, -1 for none
    std::vector<Shown> shown;
    int slider;  // the interval follows the step shown
    QRadioButton* const Tconfig::*vendor;
    const char* storedName{nullptr};  // the output's name stored beside MIDI_OUT
    const char* said{nullptr};        // in the one line for standard error, if any
    friend void PrintTo(const StartCase& c, std::ostream* os) { *os << c.name; }
};

// The style's standard icons are made when first drawn, as the platform's
// style draws them, in either direction.
TEST_F(StartUp, TheStyleDrawsItsStandardIconsAsThePlatformsStyleDoes) {
    Start();
    const std::unique_ptr<QStyle> platform(QStyleFactory::create(PlatformStyleName()));
    ASSERT_NE(platform, nullptr);
    for (const auto direction : {Qt::LeftToRight, Qt::RightToLeft}) {
        QStyleOption option;
        option.direction = direction;
        for (const auto which : {QStyle::SP_ToolBarHorizontalExtensionButton,
                                 QStyle::SP_MessageBoxWarning, QStyle::SP_ArrowBack}) {
            const QIcon ours = QApplication::style()->standardIcon(which, &option);
            const QIcon theirs = platform->standardIcon(which, &option);
            EXPECT_FALSE(ours.isNull()) << which;
            EXPECT_EQ(ours.availableSizes(), theirs.availableSizes()) << which;
            EXPECT_EQ(ours.pixmap(16).toImage(), theirs.pixmap(16).toImage()) << which;
        }
    }
}

class StartUpWith : public ProgramTest, public testing::WithParamInterface<StartCase> {};

TEST_P(StartUpWith, AppliesTheStoredSettingsBeforeAnythingShows) {
    const StartCase& c = GetParam();
    midi.devices = c.devices;
    for (const StoredValue& v : c.stored) Store(v.name, v.byte, v.type);
    if (c.storedName)
        StoreName(c.storedName);
    const auto stored = registry.values;
    Start();

    EXPECT_EQ(QApplication::applicationName(), kTitle);
    EXPECT_EQ(program->Values().MidiOutIndex, c.values.MidiOutIndex);
    EXPECT_EQ(program->Values().SpeedStep, c.values.SpeedStep);
    EXPECT_EQ(program->Values().Vendor, c.values.Vendor);
    EXPECT_EQ(Form1().windowTitle(), c.entry ? kTitle + " [" + c.entry + "]" : kTitle);
    EXPECT_EQ(Config().MIDIPORT->count(), 2 + static_cast<int>(c.devices.size()));
    EXPECT_EQ(Config().MIDIPORT->currentIndex(), c.listed);
    // Reported before the window shows; an open is tried only where devices exist.
    EXPECT_EQ(prompts.shown, c.shown);
    if (c.said) {
        ASSERT_EQ(said.size(), 1u);
        EXPECT_NE(said[0].find(c.said), std::string::npos) << said[0];
    } else {
        EXPECT_EQ(said, std::vector<std::string>{});
    }
    EXPECT_EQ(std::count(midi.calls.begin(), midi.calls.end(), "reset") != 0, !c.devices.empty());

    EXPECT_EQ(Config().FSPEED->value(), c.slider);
    EXPECT_EQ(Form1().Timer1.Interval(), FadeIntervalForStep(c.slider));
    EXPECT_FALSE(Form1().Timer1.Enabled());
    EXPECT_TRUE((Config().*c.vendor)->isChecked());
    // However the vendor's button got checked, it alone is the group's tab stop.
    for (QRadioButton* button : {Config().KG, Config().GS, Config().XG}) {
        EXPECT_EQ(bool(button->focusPolicy() & Qt::TabFocus), button == Config().*c.vendor)
            << button->text().toStdString();
    }
    // The stored vendor's kit goes out once, whether or not an output is open,
    // while the drum box stays off.
    EXPECT_EQ(std::count(midi.calls.begin(), midi.calls.end(), "send"), 3);
    EXPECT_EQ(midi.delivered, midi.open ? Kit(c.values.Vendor) : std::vector<ShortMessage>{});
    EXPECT_FALSE(Form1().DrumSw->isChecked());
    EXPECT_EQ(About().verinfo->text(), QStringLiteral("Version 1.02 [2000-08-31]"));

    // Nothing shows before the main loop, and nothing is saved.
    EXPECT_FALSE(Form1().isVisible());
    EXPECT_FALSE(Config().isVisible());
    EXPECT_FALSE(About().isVisible());
    EXPECT_EQ(registry.values, stored);
}

const std::vector<std::string> kOne{"Test Synth"};
const std::vector<std::string> kTwo{"Test Synth", "Mod"};
const std::vector<Shown> kGone{
    RecordingPrompts::Note(QStringLiteral("このデバイスは利用できません"))};
const std::vector<Shown> kBadSpeed{
    RecordingPrompts::Failure(QStringLiteral("'SPEED' のデータ型が不正です."))};
constexpr auto KG = &Tconfig::KG;
constexpr auto GS = &Tconfig::GS;
constexpr auto XG = &Tconfig::XG;
constexpr const char* kMapper = "MIDI MAPPER";
constexpr std::uint32_t kDword = regtype::kDword;

INSTANTIATE_TEST_SUITE_P(
    Stored, StartUpWith,
    testing::Values(
        // clang-format off
        StartCase{"FirstRun", kOne, {}, {1, 3, 0}, kMapper, 1, {}, 3, KG},
        StartCase{"NoDevices", {}, {}, {1, 3, 0}, nullptr, 1, {}, 3, KG},
        StartCase{"StoredNone", kOne, {{"MIDI_OUT", 0}}, {0, 3, 0}, "(None)", 0, {}, 3, KG},
        StartCase{"Device", kTwo, {{"MIDI_OUT", 3}, {"VENDOR", 2}}, {3, 3, 2}, "Mod", 3, {}, 3, XG},
        StartCase{"DeviceGone", kOne, {{"MIDI_OUT", 5}}, {5, 3, 0}, nullptr, -1, kGone, 3, KG,
                  nullptr, "number 5 of the list: the device is gone"},
        // Another device started before the chosen one: it is found by its name.
        StartCase{"StoredDeviceMovedDown", {"Monitor", "Test Synth"}, {{"MIDI_OUT", 2}}, {3, 3, 0},
                  "Test Synth", 3, {}, 3, KG, "Test Synth"},
        // What stands at its old position now is not opened in its place.
        StartCase{"StoredDeviceVanished", {"Monitor"}, {{"MIDI_OUT", 2}}, {2, 3, 0}, nullptr, -1,
                  kGone, 3, KG, "Test Synth", "\"Test Synth\" is not listed"},
        StartCase{"SpeedBelow", kOne, {{"SPEED", 0}}, {1, 0, 0}, kMapper, 1, {}, 1, KG},
        StartCase{"SpeedAbove", kOne, {{"SPEED", 200}}, {1, 200, 0}, kMapper, 1, {}, 5, KG},
        StartCase{"Roland", kOne, {{"VENDOR", 1}}, {1, 3, 1}, kMapper, 1, {}, 3, GS},
        StartCase{"UnknownVendor", kOne, {{"VENDOR", 7}}, {1, 3, 7}, kMapper, 1, {}, 3, KG},
        // What was read before the failure stays; what comes after keeps its default.
        StartCase{"WrongType", kOne, {{"MIDI_OUT", 0}, {"SPEED", 4, kDword}, {"VENDOR", 2}},
                  {0, 3, 0}, "(None)", 0, kBadSpeed, 3, KG}),
    // clang-format on
    [](const testing::TestParamInfo<StartCase>& test) { return std::string(test.param.name); });

TEST_F(StartUp, ASessionEndWhileAMessageIsUpEndsStartUpThereAndShowsNothing) {
    struct Case {
        const char* step;
        std::vector<std::string> devices;
        std::vector<StoredValue> stored;
        std::vector<std::string> calls;  // what reached the MIDI system
    };
    const Case cases[] = {
        // The settings load's failure report: the output is never looked at.
        {"settings load", kOne, {{"SPEED", 4, kDword}}, {}},
        // The failed open's message: no speed, vendor or drum kit after it.
        {"output open", kOne, {{"MIDI_OUT", 5}}, {"count", "name 0", "reset", "close", "open 3"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.step);
        midi = {};
        midi.devices = c.devices;
        registry.values.clear();
        for (const StoredValue& v : c.stored) Store(v.name, v.byte, v.type);
        prompts.shown.clear();
        prompts.whileShown = [] { SessionManagerQuits(); };
        Start();
        prompts.whileShown = nullptr;
        EXPECT_EQ(prompts.shown.size(), 1u);
        EXPECT_EQ(midi.calls, c.calls);
        EXPECT_TRUE(midi.delivered.empty());
        EXPECT_EQ(program->Run(), 0);
        EXPECT_FALSE(Form1().isVisible());
        EXPECT_EQ(midi.calls, c.calls);
        program.reset();
    }
}

TEST_F(StartUp, TheMainLoopShowsTheWindowCentredWithTheFocusOnStart) {
    Start();
    // The main window carries the application's icon; the dialogs none, and
    // they belong to it.
    EXPECT_FALSE(Form1().windowIcon().isNull());
    EXPECT_TRUE(Config().windowIcon().isNull());
    EXPECT_TRUE(About().windowIcon().isNull());
    EXPECT_EQ(Config().parentWidget(), &Form1());
    EXPECT_EQ(About().parentWidget(), &Form1());
    bool checked = false;
    QTimer::singleShot(0, [&] {
        EXPECT_TRUE(Form1().isVisible());
        EXPECT_TRUE(QTest::qWaitForWindowActive(&Form1()));
        EXPECT_EQ(QApplication::focusWidget(), Form1().StartB);
        const QRect screen = Form1().screen()->availableGeometry();
        const QPoint offset = Form1().frameGeometry().center() - screen.center();
        EXPECT_LE(offset.manhattanLength(), 4) << offset.x() << "," << offset.y();
        checked = true;
        Form1().close();
    });
    EXPECT_EQ(program->Run(), 0);
    EXPECT_TRUE(checked);
}

}  // namespace
}  // namespace faderwell::test
