#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <functional>

#include "UiDoubles.h"
#include "core/Defaults.h"
#include "core/Doubles.h"
#include "core/Failure.h"
#include "core/Messages.h"
#include "midi/memory/InMemoryMidiOutService.h"
#include "ui/CaptionGroupBox.h"
#include "ui/Sub1.h"

namespace faderwell::test {
namespace {

const QString kTitle = QStringLiteral("Faderwell Standard");
const QString kUnavailable = QStringLiteral("このデバイスは利用できません");

/// A timer whose interval cannot be set once `failing`: the handler fails half-way.
class FailingTimer final : public ManualTimer {
public:
    void SetInterval(int milliseconds) override {
        if (failing)
            throw Failure("タイマーを設定できません");
        ManualTimer::SetInterval(milliseconds);
    }
    bool failing{false};
};

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

    long Count(const std::string& call) const {
        return std::count(service.calls.begin(), service.calls.end(), call);
    }

    InMemoryMidiOutService service;
    ProcessValues values{Defaults::Values()};  // what the main window leaves after loading nothing
    MidiOutPort port{service, values};
    FailingTimer timer;
    Mixer mixer{port, timer, values};
    RecordingPrompts prompts;
    QWidget form1;
    Tconfig config{form1, mixer, port, values, prompts};
};

// ---- Output list ----------------------------------------------------------

TEST_F(SettingsDialogTest, EveryWayOfPickingOpensTheEntryAndTitlesTheMainWindow) {
    config.FormCreate();
    ShowDialog();
    const long sendsAtStart = Count("send");
    const auto expectPicked = [&](int index, const char* entry) {
        EXPECT_EQ(values.MidiOutIndex, index);
        EXPECT_EQ(values.MidiOutName, entry) << "stored with the position at the next save";
        EXPECT_EQ(form1.windowTitle(), kTitle + " [" + entry + "]");
        // "(None)" opens nothing and still counts as a success.
        EXPECT_EQ(service.open, index != 0) << entry;
    };

    PickFromList(2);
    expectPicked(2, "Synth A");
    EXPECT_EQ(service.opened.back(), 0u);
    PickFromList(0);
    expectPicked(0, "(None)");
    // Arrow keys and the wheel on the closed list are picks too.
    config.MIDIPORT->setFocus();
    QTest::keyClick(config.MIDIPORT, Qt::Key_Down);
    QTest::keyClick(config.MIDIPORT, Qt::Key_Down);
    expectPicked(2, "Synth A");
    QTest::keyClick(config.MIDIPORT, Qt::Key_Up);
    QTest::keyClick(config.MIDIPORT, Qt::Key_Up);
    expectPicked(0, "(None)");
    WheelDown(*config.MIDIPORT);
    expectPicked(1, "MIDI MAPPER");

    EXPECT_TRUE(prompts.shown.empty());
    EXPECT_EQ(Count("send"), sendsAtStart) << "a pick does not send the drum kit again";
}

TEST_F(SettingsDialogTest, FailedPickKeepsTheIndexAndTheTitle) {
    service.failingOpens = {1};
    config.FormCreate();
    ShowDialog();
    const QString titleBefore = form1.windowTitle();

    PickFromList(3);

    EXPECT_EQ(prompts.shown, std::vector{RecordingPrompts::Note(kUnavailable)});
    EXPECT_EQ(values.MidiOutIndex, 3);
    EXPECT_EQ(values.MidiOutName, "Sound Module B");
    EXPECT_EQ(config.MIDIPORT->currentIndex(), 3);
    EXPECT_EQ(form1.windowTitle(), titleBefore);
    EXPECT_FALSE(service.open) << "the output open before was closed";
}

// ---- Speed ----------------------------------------------------------------

TEST_F(SettingsDialogTest, ClicksKeysAndWheelOnTheSliderStoreTheStepAndSetTheInterval) {
    config.FormCreate();
    ShowDialog();
    const int y = PartCentre(config.FSPEED, QStyle::SC_SliderHandle).y();
    const auto click = [&](int x) {
        return [this, x, y] { QTest::mouseClick(config.FSPEED, Qt::LeftButton, {}, {x, y}); };
    };
    const auto key = [&](Qt::Key k) { return [this, k] { QTest::keyClick(config.FSPEED, k); }; };
    // A click on the track moves one step; the keys go as on every bar of the
    // program: Left, Up and PageUp towards the slowest, the others towards the fastest.
    const std::pair<std::function<void()>, int> steps[] = {
        {click(config.FSPEED->width() - 4), 4},
        {click(3), 3},
        {key(Qt::Key_End), 5},
        {key(Qt::Key_PageUp), 4},
        {key(Qt::Key_Up), 3},
        {key(Qt::Key_PageDown), 4},
        {key(Qt::Key_Left), 3},
        {key(Qt::Key_Down), 4},
        {key(Qt::Key_Right), 5},
        {key(Qt::Key_Home), 1},
        {[this] { WheelDown(*config.FSPEED); }, 1},
    };
    config.FSPEED->setFocus();
    for (const auto& [gesture, step] : steps) {
        gesture();
        EXPECT_EQ(config.FSPEED->value(), step);
        EXPECT_EQ(values.SpeedStep, step);
        EXPECT_EQ(timer.Interval(), FadeIntervalForStep(step));
    }
}

// A stored step outside 1..5 shows at the nearest end; any handling of the
// slider stores the shown step, even when the position stays.
struct UntouchedGesture {
    const char* name;
    void (*handle)(QSlider* slider, QPoint thumb);
    friend void PrintTo(const UntouchedGesture& gesture, std::ostream* os) { *os << gesture.name; }
};

const UntouchedGesture kUntouchedGestures[] = {
    {"ThumbClick",
     [](QSlider* slider, QPoint thumb) { QTest::mouseClick(slider, Qt::LeftButton, {}, thumb); }},
    {"HomeAtStart",
     [](QSlider* slider, QPoint) {
         slider->setFocus();
         QTest::keyClick(slider, Qt::Key_Home);
     }},
    {"LeftAtStart",
     [](QSlider* slider, QPoint) {
         slider->setFocus();
         QTest::keyClick(slider, Qt::Key_Left);
     }},
    // A drag that comes back to where it began.
    {"DragBack",
     [](QSlider* slider, QPoint thumb) {
         QTest::mousePress(slider, Qt::LeftButton, {}, thumb);
         QTest::mouseMove(slider, thumb + QPoint(slider->width() / 2, 0));
         EXPECT_GT(slider->sliderPosition(), 1);
         QTest::mouseMove(slider, thumb);
         QTest::mouseRelease(slider, Qt::LeftButton, {}, thumb);
     }},
};

class UntouchedSliderTest : public SettingsDialogTest,
                            public testing::WithParamInterface<UntouchedGesture> {};

TEST_P(UntouchedSliderTest, HandlingWithoutMovingStoresTheStep) {
    values.SpeedStep = 0;
    config.FormCreate();
    ShowDialog();
    ASSERT_EQ(config.FSPEED->value(), 1);
    ASSERT_EQ(values.SpeedStep, 0);
    GetParam().handle(config.FSPEED, PartCentre(config.FSPEED, QStyle::SC_SliderHandle));

    EXPECT_EQ(config.FSPEED->value(), 1);
    EXPECT_EQ(values.SpeedStep, 1);
    EXPECT_EQ(timer.Interval(), 250);
}

INSTANTIATE_TEST_SUITE_P(Settings, UntouchedSliderTest, testing::ValuesIn(kUntouchedGestures),
                         [](const auto& test) { return std::string(test.param.name); });

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
    // The stored vendor's button is checked at start-up, by no click.
    values.Vendor = kVendorYamaha;
    config.FormCreate();
    ShowDialog();
    const auto tabRound = [&] {
        config.MIDIPORT->setFocus();
        QList<QWidget*> visited;
        for (int i = 0; i < 4; ++i) {
            visited << QApplication::focusWidget();
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        }
        return visited;
    };
    EXPECT_EQ(tabRound(),
              (QList<QWidget*>{config.MIDIPORT, config.FSPEED, config.XG, config.MIDIPORT}));
    QTest::mouseClick(config.GS, Qt::LeftButton);
    EXPECT_EQ(tabRound(),
              (QList<QWidget*>{config.MIDIPORT, config.FSPEED, config.GS, config.MIDIPORT}));
    // The focus put on an unchecked button leaves the tab stop where it is.
    config.KG->setFocus();
    EXPECT_EQ(tabRound(),
              (QList<QWidget*>{config.MIDIPORT, config.FSPEED, config.GS, config.MIDIPORT}));

    // Arrow keys move among the vendors and check them, which stores the code.
    config.GS->setFocus();
    QTest::keyClick(config.GS, Qt::Key_Right);
    EXPECT_TRUE(config.XG->isChecked());
    EXPECT_EQ(values.Vendor, 2);
}

TEST_F(SettingsDialogTest, FailureInAHandlerIsReportedAndTheDialogStays) {
    timer.failing = true;
    ShowDialog();
    config.FSPEED->setFocus();
    QTest::keyClick(config.FSPEED, Qt::Key_Right);

    EXPECT_EQ(prompts.shown,
              std::vector{RecordingPrompts::Failure(QStringLiteral("タイマーを設定できません."))});
    EXPECT_EQ(values.SpeedStep, 3) << "the rest of the handler is skipped";
    EXPECT_TRUE(config.isVisible());
}

TEST_F(SettingsDialogTest, MessageBoxesBelongToTheOpenDialogOrElseTheMainWindow) {
    config.FormCreate();
    QtPrompts real;
    real.SetOwner(&form1);
    const auto shownOver = [&](const std::function<void()>& show) {
        QWidget* owner = nullptr;
        QPoint offCentre;
        QTimer::singleShot(0, [&] {
            QWidget* box = QApplication::activeModalWidget();
            ASSERT_NE(box, nullptr);
            owner = box->parentWidget();
            offCentre = box->frameGeometry().center() - box->screen()->availableGeometry().center();
            box->close();
        });
        show();
        EXPECT_LE(offCentre.manhattanLength(), 4) << "centred on the screen";
        return owner;
    };
    // At start-up the main window exists, still hidden and unplaced.
    EXPECT_EQ(shownOver([&] { real.Message(kUnavailable); }), &form1);
    ShowDialog();
    EXPECT_EQ(shownOver([&] { real.FailureReport(kUnavailable); }), &config);
}

TEST_F(SettingsDialogTest, FixedFrameCentredFirstThenWhereItWas) {
    config.FormCreate();
    ExpectFixedCentredDialog(config, QStringLiteral("設定"), {304, 161},
                             QStringLiteral("settings-dialog.png"));
    EXPECT_FALSE(config.KG->geometry().intersects(config.GS->geometry()));
    EXPECT_FALSE(config.GS->geometry().intersects(config.XG->geometry()));
}

TEST_F(SettingsDialogTest, FramesRunThroughTheirCaptionsAndNothingCrossesThem) {
    config.FormCreate();
    ShowDialog();
    const QImage shot = config.grab().toImage();
    for (CaptionGroupBox* box : {config.GroupBox1, config.GroupBox2, config.GroupBox3}) {
        SCOPED_TRACE(box->title().toStdString());
        const QRect frame = box->FrameRect();
        const QRect caption = box->CaptionRect();
        EXPECT_EQ(caption.left(), 8);
        EXPECT_LE(std::abs(frame.top() - caption.center().y()), 1);
        // Every control stands inside the frame, clear of its lines.
        const QRect inside = frame.adjusted(2, 2, -2, -2);
        for (const QWidget* control : box->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
            EXPECT_TRUE(inside.contains(control->geometry()))
                << control->objectName().toStdString();

        // The line as drawn, unbroken but for the caption, which it meets at mid-height.
        const auto at = [&](int x, int y) { return shot.pixel(box->mapTo(&config, QPoint(x, y))); };
        const QRgb line = at(frame.left(), frame.top());
        EXPECT_NE(line, at(frame.left(), frame.top() - 2));
        for (int x = frame.left(); x < frame.right(); ++x) {
            if (x >= caption.left() - 2 && x <= caption.right() + 2)
                continue;
            ASSERT_EQ(at(x, frame.top()), line) << "top at " << x;
            ASSERT_EQ(at(x, frame.bottom() - 1), line) << "bottom at " << x;
        }
        for (int y = frame.top(); y < frame.bottom(); ++y) {
            ASSERT_EQ(at(frame.left(), y), line) << "left at " << y;
            ASSERT_EQ(at(frame.right() - 1, y), line) << "right at " << y;
        }
        EXPECT_NE(at(caption.left() - 1, frame.top()), line);
    }

    // The output list opens below its box, 15 pixels an entry.
    QComboBox& box = *config.MIDIPORT;
    QTest::mouseClick(&box, Qt::LeftButton);
    QAbstractItemView& list = *box.view();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(list.window()));
    EXPECT_GE(list.window()->geometry().top(), box.mapToGlobal(QPoint(0, box.height() - 1)).y());
    for (int row = 0; row < box.count(); ++row)
        EXPECT_EQ(list.visualRect(box.model()->index(row, 0)).height(), 15) << row;
    box.hidePopup();
}

}  // namespace
}  // namespace faderwell::test
