#include <QApplication>
#include <QCheckBox>
#include <QRadioButton>
#include <QScreen>
#include <QSlider>
#include <QTimer>

#include "ProgramFixture.h"
#include "core/AppInfo.h"

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
    int slider, interval;
    QRadioButton* const Tconfig::*vendor;
    friend void PrintTo(const StartCase& c, std::ostream* os) { *os << c.name; }
};

class StartUpWith : public ProgramTest, public testing::WithParamInterface<StartCase> {};

TEST_P(StartUpWith, AppliesTheStoredSettingsBeforeAnythingShows) {
    const StartCase& c = GetParam();
    midi.devices = c.devices;
    for (const StoredValue& v : c.stored) Store(v.name, v.byte, v.type);
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
    EXPECT_EQ(std::count(midi.calls.begin(), midi.calls.end(), "reset") != 0, !c.devices.empty());

    EXPECT_EQ(Config().FSPEED->value(), c.slider);
    EXPECT_EQ(Form1().Timer1.Interval(), c.interval);
    EXPECT_FALSE(Form1().Timer1.Enabled());
    EXPECT_TRUE((Config().*c.vendor)->isChecked());
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
const std::vector<std::string> kTwo{"Test Synth", "Module"};

INSTANTIATE_TEST_SUITE_P(
    Stored, StartUpWith,
    testing::Values(
        StartCase{"FirstRun", kOne, {}, {1, 3, 0}, "MIDI MAPPER", 1, {}, 3, 150, &Tconfig::KG},
        StartCase{"NoDevices", {}, {}, {1, 3, 0}, nullptr, 1, {}, 3, 150, &Tconfig::KG},
        StartCase{"StoredNone",
                  kOne,
                  {{"MIDI_OUT", 0}},
                  {0, 3, 0},
                  "(None)",
                  0,
                  {},
                  3,
                  150,
                  &Tconfig::KG},
        StartCase{"StoredDevice",
                  kTwo,
                  {{"MIDI_OUT", 3}, {"VENDOR", 2}},
                  {3, 3, 2},
                  "Module",
                  3,
                  {},
                  3,
                  150,
                  &Tconfig::XG},
        StartCase{"DeviceGone",
                  kOne,
                  {{"MIDI_OUT", 5}},
                  {5, 3, 0},
                  nullptr,
                  -1,
                  {RecordingPrompts::Note(QStringLiteral("このデバイスは利用できません"))},
                  3,
                  150,
                  &Tconfig::KG},
        StartCase{"SpeedBelowTheSlider",
                  kOne,
                  {{"SPEED", 0}},
                  {1, 0, 0},
                  "MIDI MAPPER",
                  1,
                  {},
                  1,
                  250,
                  &Tconfig::KG},
        StartCase{"SpeedAboveTheSlider",
                  kOne,
                  {{"SPEED", 200}},
                  {1, 200, 0},
                  "MIDI MAPPER",
                  1,
                  {},
                  5,
                  50,
                  &Tconfig::KG},
        StartCase{
            "Roland", kOne, {{"VENDOR", 1}}, {1, 3, 1}, "MIDI MAPPER", 1, {}, 3, 150, &Tconfig::GS},
        StartCase{"UnknownVendor",
                  kOne,
                  {{"VENDOR", 7}},
                  {1, 3, 7},
                  "MIDI MAPPER",
                  1,
                  {},
                  3,
                  150,
                  &Tconfig::KG},
        // What was read before the failure stays; what comes after keeps its default.
        StartCase{"WrongType",
                  kOne,
                  {{"MIDI_OUT", 0}, {"SPEED", 4, regtype::kDword}, {"VENDOR", 2}},
                  {0, 3, 0},
                  "(None)",
                  0,
                  {RecordingPrompts::Failure(QStringLiteral("'SPEED' のデータ型が不正です."))},
                  3,
                  150,
                  &Tconfig::KG}),
    [](const testing::TestParamInfo<StartCase>& info) { return std::string(info.param.name); });

TEST_F(StartUp, TheMainLoopShowsTheWindowCentredWithTheFocusOnStart) {
    Start();
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
