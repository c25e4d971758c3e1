#include <QApplication>
#include <QCheckBox>
#include <QScreen>
#include <QRadioButton>
#include <QSlider>
#include <QTimer>

#include "ProgramFixture.h"
#include "core/AppInfo.h"

namespace faderwell::test {
namespace {

using StartUp = ProgramTest;

const QString kTitle = QStringLiteral("Faderwell Standard");

TEST_F(StartUp, FirstRunOpensTheMapperWithTheDefaults) {
    Start();
    EXPECT_EQ(QApplication::applicationName(), kTitle);
    EXPECT_EQ(program->Values().MidiOutIndex, 1);
    EXPECT_EQ(program->Values().SpeedStep, 3);
    EXPECT_EQ(program->Values().Vendor, 0);
    EXPECT_EQ(midi.opened, (std::vector<unsigned>{InMemoryMidiOutService::kMapper}));
    EXPECT_EQ(Form1().windowTitle(), QStringLiteral("Faderwell Standard [MIDI MAPPER]"));
    EXPECT_TRUE(Config().KG->isChecked());
    EXPECT_EQ(midi.delivered, Kit(0));
    EXPECT_EQ(Form1().Timer1.Interval(), 150);
    EXPECT_FALSE(Form1().Timer1.Enabled());
    EXPECT_EQ(About().verinfo->text(), QStringLiteral("Version 1.02 [2000-08-31]"));
    EXPECT_TRUE(prompts.shown.empty());
    // Nothing shows before the main loop, and nothing was saved.
    EXPECT_FALSE(Form1().isVisible());
    EXPECT_FALSE(Config().isVisible());
    EXPECT_FALSE(About().isVisible());
    EXPECT_TRUE(registry.values.empty());
}

TEST_F(StartUp, WithoutDevicesNothingOpensAndTheKitIsStillAttempted) {
    midi.devices.clear();
    Start();
    EXPECT_TRUE(midi.opened.empty());
    EXPECT_TRUE(prompts.shown.empty());
    EXPECT_EQ(Form1().windowTitle(), kTitle);
    EXPECT_EQ(std::count(midi.calls.begin(), midi.calls.end(), "send"), 3);
    EXPECT_TRUE(midi.delivered.empty());
    EXPECT_EQ(Config().MIDIPORT->count(), 2);
}

TEST_F(StartUp, StoredIndexZeroOpensNothingAndNamesTheEmptyEntry) {
    Store("MIDI_OUT", 0);
    Start();
    EXPECT_TRUE(midi.opened.empty());
    EXPECT_TRUE(prompts.shown.empty());
    EXPECT_EQ(Form1().windowTitle(), QStringLiteral("Faderwell Standard [(None)]"));
}

TEST_F(StartUp, AStoredDeviceThatIsGoneIsReportedBeforeTheWindowShows) {
    Store("MIDI_OUT", 5);
    Start();
    ASSERT_EQ(prompts.shown.size(), 1u);
    EXPECT_EQ(prompts.shown[0].kind, RecordingPrompts::Shown::Kind::Message);
    EXPECT_EQ(prompts.shown[0].text, QStringLiteral("このデバイスは利用できません"));
    EXPECT_FALSE(prompts.shown[0].mainWindowVisible);
    EXPECT_EQ(Form1().windowTitle(), kTitle);
    EXPECT_EQ(program->Values().MidiOutIndex, 5);            // kept until the user picks another
    EXPECT_EQ(midi.delivered, std::vector<ShortMessage>{});  // nothing is open
}

TEST_F(StartUp, AStoredSpeedOutsideTheSliderSetsTheNearestIntervalAndIsKept) {
    struct Case {
        std::uint8_t stored;
        int shown;
        int interval;
    };
    for (const Case c : {Case{0, 1, 250}, Case{200, 5, 50}, Case{5, 5, 50}, Case{1, 1, 250}}) {
        registry.values.clear();
        Store("SPEED", c.stored);
        Start();
        EXPECT_EQ(Config().FSPEED->value(), c.shown) << int{c.stored};
        EXPECT_EQ(Form1().Timer1.Interval(), c.interval) << int{c.stored};
        EXPECT_EQ(program->Values().SpeedStep, c.stored);
        program.reset();
    }
}

TEST_F(StartUp, AStoredVendorSelectsItsKitWhileTheDrumBoxStaysOff) {
    Store("VENDOR", 1);
    Start();
    EXPECT_TRUE(Config().GS->isChecked());
    EXPECT_FALSE(Config().KG->isChecked());
    EXPECT_EQ(midi.delivered, Kit(1));
    EXPECT_FALSE(Form1().DrumSw->isChecked());
}

TEST_F(StartUp, AStoredValueOfTheWrongTypeIsReportedOnceAndStartUpGoesOn) {
    Store("MIDI_OUT", 0);
    Store("SPEED", 4, regtype::kDword);
    Store("VENDOR", 2);
    Start();
    ASSERT_EQ(prompts.shown.size(), 1u);
    EXPECT_EQ(prompts.shown[0].kind, RecordingPrompts::Shown::Kind::FailureReport);
    EXPECT_EQ(prompts.shown[0].text, QStringLiteral("'SPEED' のデータ型が不正です."));
    EXPECT_FALSE(prompts.shown[0].mainWindowVisible);
    // What was read before the failure stays; what comes after keeps its default.
    EXPECT_EQ(program->Values().MidiOutIndex, 0);
    EXPECT_EQ(program->Values().SpeedStep, 3);
    EXPECT_EQ(program->Values().Vendor, 0);
    EXPECT_EQ(Form1().windowTitle(), QStringLiteral("Faderwell Standard [(None)]"));
    EXPECT_EQ(About().verinfo->text(), QStringLiteral("Version 1.02 [2000-08-31]"));
}

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
