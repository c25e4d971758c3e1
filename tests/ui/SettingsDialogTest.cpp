#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QScreen>
#include <QStyleOptionSlider>
#include <QTest>
#include <algorithm>

#include "UiDoubles.h"
#include "core/Doubles.h"
#include "core/Failure.h"
#include "core/Messages.h"
#include "midi/InMemoryMidiOutService.h"
#include "ui/Sub1.h"

namespace faderwell::test {
namespace {

const QString kTitle = QStringLiteral("Faderwell Standard");
const QString kUnavailable = QStringLiteral("このデバイスは利用できません");

class SettingsDialogTest : public testing::Test {
protected:
    SettingsDialogTest() {
        form1.setWindowTitle(kTitle);
        service.devices = {"Synth A", "Sound Module B"};
    }

    /// Shows the dialog modally, as the menu does, without blocking the test.
    void ShowDialog() {
        config.open();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&config));
    }

    /// Opens the drop-down with the mouse and clicks entry `row` in its list.
    void PickFromList(int row) {
        QComboBox& box = *config.MIDIPORT;
        QTest::mouseClick(&box, Qt::LeftButton);
        QAbstractItemView& list = *box.view();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(list.window()));
        // The list ignores a release that follows its opening too closely.
        QTest::qWait(QApplication::doubleClickInterval() + 50);
        const QRect item = list.visualRect(box.model()->index(row, 0));
        QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, item.center());
        ASSERT_TRUE(QTest::qWaitFor([&] { return !list.window()->isVisible(); }));
    }

    QRect SliderHandle() const {
        const QSlider& slider = *config.FSPEED;
        QStyleOptionSlider option;
        option.initFrom(&slider);
        option.orientation = slider.orientation();
        option.minimum = slider.minimum();
        option.maximum = slider.maximum();
        option.sliderPosition = slider.sliderPosition();
        option.sliderValue = slider.value();
        option.singleStep = slider.singleStep();
        option.pageStep = slider.pageStep();
        option.tickPosition = slider.tickPosition();
        option.tickInterval = slider.tickInterval();
        option.upsideDown = slider.invertedAppearance() != (option.direction == Qt::RightToLeft);
        return slider.style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle,
                                              &slider);
    }

    long Count(const std::string& call) const {
        return std::count(service.calls.begin(), service.calls.end(), call);
    }

    InMemoryMidiOutService service;
    ProcessValues values{1, 3, 0};  // what the main window leaves after loading nothing
    MidiOutPort port{service, values};
    ManualTimer timer;
    Mixer mixer{port, timer, values};
    RecordingPrompts prompts;
    QWidget form1;
    Tconfig config{form1, mixer, port, values, prompts};
};

// ---- Start-up -------------------------------------------------------------

struct StartupCase {
    const char* name;
    int devices;
    ProcessValues stored;
    int selectedEntry;  // -1: none
    QString title;
    bool message;
    int slider;
    int interval;
    QRadioButton* const Tconfig::*checked;
};

void PrintTo(const StartupCase& c, std::ostream* os) {
    *os << c.name;
}

class SettingsStartupTest : public SettingsDialogTest,
                            public testing::WithParamInterface<StartupCase> {};

TEST_P(SettingsStartupTest, AppliesTheStoredSettings) {
    const StartupCase& c = GetParam();
    service.devices.assign(static_cast<std::size_t>(c.devices), "Device");
    values = c.stored;

    config.FormCreate();

    EXPECT_EQ(config.MIDIPORT->count(), 2 + c.devices);
    EXPECT_EQ(config.MIDIPORT->currentIndex(), c.selectedEntry);
    EXPECT_EQ(form1.windowTitle(), c.title);
    EXPECT_EQ(prompts.messages, c.message ? QStringList{kUnavailable} : QStringList{});
    EXPECT_EQ(Count("reset") != 0, c.devices != 0) << "an open is tried only when devices exist";

    EXPECT_EQ(config.FSPEED->value(), c.slider);
    EXPECT_EQ(timer.Interval(), c.interval);
    EXPECT_TRUE((config.*c.checked)->isChecked());

    // Showing the stored values is no user change: nothing new is stored.
    EXPECT_EQ(values.MidiOutIndex, c.stored.MidiOutIndex);
    EXPECT_EQ(values.SpeedStep, c.stored.SpeedStep);
    EXPECT_EQ(values.Vendor, c.stored.Vendor);

    // The drum kit of the stored vendor is sent whether or not an output is open.
    EXPECT_EQ(Count("send"), 3);
    if (service.open) {
        const auto kit = DrumKitSelect(c.stored.Vendor);
        EXPECT_EQ(service.delivered, std::vector<ShortMessage>(kit.begin(), kit.end()));
    }
    EXPECT_TRUE(prompts.failures.isEmpty());
}

const QString kMapperTitle = kTitle + " [MIDI MAPPER]";

INSTANTIATE_TEST_SUITE_P(
    Settings, SettingsStartupTest,
    testing::Values(
        StartupCase{"FirstRun", 1, {1, 3, 0}, 1, kMapperTitle, false, 3, 150, &Tconfig::KG},
        StartupCase{"NoDevices", 0, {1, 3, 0}, 1, kTitle, false, 3, 150, &Tconfig::KG},
        StartupCase{
            "StoredNone", 2, {0, 3, 0}, 0, kTitle + " [(None)]", false, 3, 150, &Tconfig::KG},
        StartupCase{
            "StoredDevice", 2, {3, 3, 2}, 3, kTitle + " [Device]", false, 3, 150, &Tconfig::XG},
        StartupCase{"DeviceGone", 2, {5, 3, 0}, -1, kTitle, true, 3, 150, &Tconfig::KG},
        StartupCase{"SpeedBelowRange", 1, {1, 0, 0}, 1, kMapperTitle, false, 1, 250, &Tconfig::KG},
        StartupCase{"SpeedAboveRange", 1, {1, 200, 0}, 1, kMapperTitle, false, 5, 50, &Tconfig::KG},
        StartupCase{"Roland", 1, {1, 3, 1}, 1, kMapperTitle, false, 3, 150, &Tconfig::GS},
        StartupCase{"UnknownVendor", 1, {1, 3, 7}, 1, kMapperTitle, false, 3, 150, &Tconfig::KG}),
    [](const testing::TestParamInfo<StartupCase>& info) { return std::string(info.param.name); });

// ---- Output list ----------------------------------------------------------

TEST_F(SettingsDialogTest, PickingEntriesOpensThemAndTitlesTheMainWindow) {
    config.FormCreate();
    ShowDialog();
    const long sendsAtStart = Count("send");

    PickFromList(2);
    EXPECT_EQ(values.MidiOutIndex, 2);
    EXPECT_EQ(service.opened.back(), 0u);
    EXPECT_EQ(form1.windowTitle(), kTitle + " [Synth A]");

    PickFromList(0);  // "(None)" opens nothing and still counts as a success
    EXPECT_EQ(values.MidiOutIndex, 0);
    EXPECT_FALSE(service.open);
    EXPECT_EQ(form1.windowTitle(), kTitle + " [(None)]");

    PickFromList(1);
    EXPECT_EQ(form1.windowTitle(), kTitle + " [MIDI MAPPER]");
    EXPECT_TRUE(service.open);

    EXPECT_TRUE(prompts.messages.isEmpty());
    EXPECT_EQ(Count("send"), sendsAtStart) << "a pick does not send the drum kit again";
}

TEST_F(SettingsDialogTest, FailedPickKeepsTheIndexAndTheTitle) {
    service.failingOpens = {1};
    config.FormCreate();
    ShowDialog();
    const QString titleBefore = form1.windowTitle();

    PickFromList(3);

    EXPECT_EQ(prompts.messages, QStringList{kUnavailable});
    EXPECT_EQ(values.MidiOutIndex, 3);
    EXPECT_EQ(config.MIDIPORT->currentIndex(), 3);
    EXPECT_EQ(form1.windowTitle(), titleBefore);
    EXPECT_FALSE(service.open) << "the output open before was closed";
}

TEST_F(SettingsDialogTest, ArrowKeysAndWheelOnTheClosedListArePicks) {
    config.FormCreate();
    ShowDialog();
    config.MIDIPORT->setFocus();

    QTest::keyClick(config.MIDIPORT, Qt::Key_Down);
    EXPECT_EQ(values.MidiOutIndex, 2);
    EXPECT_EQ(form1.windowTitle(), kTitle + " [Synth A]");

    QTest::keyClick(config.MIDIPORT, Qt::Key_Up);
    QTest::keyClick(config.MIDIPORT, Qt::Key_Up);
    EXPECT_EQ(values.MidiOutIndex, 0);
    EXPECT_EQ(form1.windowTitle(), kTitle + " [(None)]");

    WheelDown(*config.MIDIPORT);
    EXPECT_EQ(values.MidiOutIndex, 1);
    EXPECT_EQ(form1.windowTitle(), kTitle + " [MIDI MAPPER]");
}

// ---- Speed ----------------------------------------------------------------

TEST_F(SettingsDialogTest, ClickOnTheTrackChangesTheIntervalAtOnce) {
    config.FormCreate();
    ShowDialog();
    const QRect handle = SliderHandle();

    QTest::mouseClick(config.FSPEED, Qt::LeftButton, {},
                      {config.FSPEED->width() - 4, handle.center().y()});
    EXPECT_EQ(config.FSPEED->value(), 4);
    EXPECT_EQ(values.SpeedStep, 4);
    EXPECT_EQ(timer.Interval(), FadeIntervalForStep(4));

    QTest::mouseClick(config.FSPEED, Qt::LeftButton, {}, {3, handle.center().y()});
    EXPECT_EQ(values.SpeedStep, 3);
    EXPECT_EQ(timer.Interval(), 150);
}

// A stored step outside 1..5 shows at the nearest end; any handling of the
// slider stores the shown step, even when the position stays.
class UntouchedSliderTest : public SettingsDialogTest, public testing::WithParamInterface<int> {};

TEST_P(UntouchedSliderTest, HandlingWithoutMovingStoresTheStep) {
    values.SpeedStep = 0;
    config.FormCreate();
    ShowDialog();
    ASSERT_EQ(config.FSPEED->value(), 1);
    ASSERT_EQ(values.SpeedStep, 0);
    const QPoint thumb = SliderHandle().center();

    switch (GetParam()) {
        case 0:  // a click on the thumb
            QTest::mouseClick(config.FSPEED, Qt::LeftButton, {}, thumb);
            break;
        case 1:  // Home at the left end
            config.FSPEED->setFocus();
            QTest::keyClick(config.FSPEED, Qt::Key_Home);
            break;
        case 2:  // Left at the left end
            config.FSPEED->setFocus();
            QTest::keyClick(config.FSPEED, Qt::Key_Left);
            break;
        case 3:  // a drag that comes back to where it began
            QTest::mousePress(config.FSPEED, Qt::LeftButton, {}, thumb);
            QTest::mouseMove(config.FSPEED, thumb + QPoint(config.FSPEED->width() / 2, 0));
            EXPECT_GT(config.FSPEED->sliderPosition(), 1);
            QTest::mouseMove(config.FSPEED, thumb);
            QTest::mouseRelease(config.FSPEED, Qt::LeftButton, {}, thumb);
            break;
    }

    EXPECT_EQ(config.FSPEED->value(), 1);
    EXPECT_EQ(values.SpeedStep, 1);
    EXPECT_EQ(timer.Interval(), 250);
}

std::string GestureName(const testing::TestParamInfo<int>& info) {
    static const char* const kNames[] = {"ThumbClick", "HomeAtStart", "LeftAtStart", "DragBack"};
    return kNames[info.param];
}

INSTANTIATE_TEST_SUITE_P(Settings, UntouchedSliderTest, testing::Values(0, 1, 2, 3), GestureName);

TEST_F(SettingsDialogTest, KeysAndWheelOnTheSliderStoreTheStep) {
    config.FormCreate();
    ShowDialog();
    config.FSPEED->setFocus();

    QTest::keyClick(config.FSPEED, Qt::Key_End);
    EXPECT_EQ(values.SpeedStep, 5);
    EXPECT_EQ(timer.Interval(), 50);
    QTest::keyClick(config.FSPEED, Qt::Key_PageDown);
    EXPECT_EQ(values.SpeedStep, 4);

    WheelDown(*config.FSPEED);
    EXPECT_EQ(config.FSPEED->value(), 3);
    EXPECT_EQ(values.SpeedStep, 3);
    EXPECT_EQ(timer.Interval(), 150);
}

// ---- Vendor ---------------------------------------------------------------

TEST_F(SettingsDialogTest, UnknownVendorStaysUntilAnotherButtonIsChecked) {
    values.Vendor = 7;
    config.FormCreate();
    ShowDialog();
    const long sendsAtStart = Count("send");

    QTest::mouseClick(config.KG, Qt::LeftButton);
    EXPECT_TRUE(config.KG->isChecked());
    EXPECT_EQ(values.Vendor, 7) << "clicking the checked button raises nothing";

    QTest::mouseClick(config.GS, Qt::LeftButton);
    EXPECT_EQ(values.Vendor, 1);
    QTest::mouseClick(config.XG, Qt::LeftButton);
    EXPECT_EQ(values.Vendor, 2);
    EXPECT_FALSE(config.GS->isChecked());
    QTest::mouseClick(config.KG, Qt::LeftButton);
    EXPECT_EQ(values.Vendor, 0);

    EXPECT_EQ(Count("send"), sendsAtStart) << "the new kit waits for the DRUM box";
}

TEST_F(SettingsDialogTest, CheckingFromTheProgramRunsTheHandler) {
    config.FormCreate();
    values.Vendor = 9;
    config.XG->setChecked(true);
    EXPECT_EQ(values.Vendor, 2);
}

// ---- The dialog -----------------------------------------------------------

TEST_F(SettingsDialogTest, EscapeDoesNothingAndTheCloseButtonOnlyHides) {
    config.FormCreate();
    ShowDialog();
    QTest::keyClick(config.MIDIPORT, Qt::Key_Down);
    QTest::mouseClick(config.XG, Qt::LeftButton);
    const auto callsBefore = service.calls;

    QTest::keyClick(&config, Qt::Key_Escape);
    QTest::keyClick(config.MIDIPORT, Qt::Key_Escape);
    EXPECT_TRUE(config.isVisible());

    config.close();  // what the title bar's close button asks for
    EXPECT_FALSE(config.isVisible());
    EXPECT_EQ(config.result(), QDialog::Rejected);
    EXPECT_EQ(service.calls, callsBefore) << "closing undoes nothing";

    ShowDialog();
    EXPECT_EQ(config.MIDIPORT->currentIndex(), 2);
    EXPECT_TRUE(config.XG->isChecked());
    EXPECT_EQ(values.MidiOutIndex, 2);
    EXPECT_EQ(values.Vendor, 2);
}

TEST_F(SettingsDialogTest, FocusStartsOnTheOutputListAndIsKeptBetweenShowings) {
    config.FormCreate();
    ShowDialog();
    EXPECT_EQ(QApplication::focusWidget(), config.MIDIPORT);

    QTest::mouseClick(config.GS, Qt::LeftButton);
    ASSERT_EQ(QApplication::focusWidget(), config.GS);
    config.close();

    ShowDialog();
    EXPECT_EQ(QApplication::focusWidget(), config.GS);
}

TEST_F(SettingsDialogTest, TabVisitsOnlyTheCheckedVendor) {
    config.FormCreate();
    ShowDialog();
    QTest::mouseClick(config.GS, Qt::LeftButton);
    config.MIDIPORT->setFocus();

    QList<QWidget*> visited;
    for (int i = 0; i < 4; ++i) {
        visited << QApplication::focusWidget();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    }
    EXPECT_EQ(visited,
              (QList<QWidget*>{config.MIDIPORT, config.FSPEED, config.GS, config.MIDIPORT}));

    // Arrow keys move among the vendors and check them, which stores the code.
    config.GS->setFocus();
    QTest::keyClick(config.GS, Qt::Key_Right);
    EXPECT_TRUE(config.XG->isChecked());
    EXPECT_EQ(values.Vendor, 2);
}

/// A timer whose interval cannot be set: the handler fails half-way.
class FailingTimer final : public ManualTimer {
public:
    void SetInterval(int) override { throw Failure("タイマーを設定できません"); }
};

TEST(SettingsDialogFailureTest, FailureInAHandlerIsReportedAndTheDialogStays) {
    InMemoryMidiOutService service;
    ProcessValues values{1, 3, 0};
    MidiOutPort port{service, values};
    FailingTimer timer;
    Mixer mixer{port, timer, values};
    RecordingPrompts prompts;
    QWidget form1;
    Tconfig config{form1, mixer, port, values, prompts};
    config.open();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&config));

    config.FSPEED->setFocus();
    QTest::keyClick(config.FSPEED, Qt::Key_Right);

    EXPECT_EQ(prompts.failures, QStringList{QStringLiteral("タイマーを設定できません.")});
    EXPECT_EQ(values.SpeedStep, 3) << "the rest of the handler is skipped";
    EXPECT_TRUE(config.isVisible());
}

TEST_F(SettingsDialogTest, FixedFrameCentredFirstThenWhereItWas) {
    config.FormCreate();
    ShowDialog();
    ExpectFixedCentredDialog(config, QStringLiteral("設定"), {304, 161});
    EXPECT_FALSE(config.KG->geometry().intersects(config.GS->geometry()));
    EXPECT_FALSE(config.GS->geometry().intersects(config.XG->geometry()));
    SaveScreenshot(config, QStringLiteral("settings-dialog.png"));

    const QPoint moved = config.pos() + QPoint(-40, 30);
    config.move(moved);
    config.close();
    ShowDialog();
    EXPECT_EQ(config.pos(), moved);
}

}  // namespace
}  // namespace faderwell::test
