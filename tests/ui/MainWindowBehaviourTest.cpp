#include <QAction>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QPushButton>
#include <QWindow>

#include "MainWindowFixture.h"
#include "ui/WindowWidgets.h"

namespace faderwell::test {
namespace {

using MainWindowBehaviour = MainWindowTest;

TEST_F(MainWindowBehaviour, LineStepsOnAChannelFaderSendOneWordEach) {
    const QPoint upArrow = PartCentre(form.Vol5, QStyle::SC_ScrollBarSubLine);
    for (int i = 0; i < 4; ++i) Click(form.Vol5, upArrow);
    EXPECT_EQ(Take(), (std::vector<ShortMessage>{
                          ChannelVolumeMessage(5, 0, 63), ChannelVolumeMessage(5, 0, 62),
                          ChannelVolumeMessage(5, 0, 61), ChannelVolumeMessage(5, 0, 60)}));
    EXPECT_EQ(form.LValue->text(), QStringLiteral("67"));
    EXPECT_EQ(form.Vol5->value(), 60);

    // A click in the trough also moves by one.
    Click(form.Vol5, PartCentre(form.Vol5, QStyle::SC_ScrollBarAddPage));
    EXPECT_EQ(Take(), (std::vector<ShortMessage>{ChannelVolumeMessage(5, 0, 61)}));
    EXPECT_EQ(form.LValue->text(), QStringLiteral("66"));
}

TEST_F(MainWindowBehaviour, DraggingTheThumbSendsEveryPositionItPasses) {
    const QPoint thumb = PartCentre(form.Vol5, QStyle::SC_ScrollBarSlider);
    QTest::mousePress(form.Vol5, Qt::LeftButton, Qt::NoModifier, thumb);
    for (int dy = 1; dy <= 12; ++dy) QTest::mouseMove(form.Vol5, thumb + QPoint(0, dy));
    QTest::mouseRelease(form.Vol5, Qt::LeftButton, Qt::NoModifier, thumb + QPoint(0, 12));

    const auto words = Take();
    ASSERT_GE(words.size(), 6u);
    int position = Mixer::kStartPosition;
    for (const ShortMessage word : words) {
        const int sent = 127 - static_cast<int>((word >> 16) & 0x7F);  // the word carries the value
        EXPECT_GT(sent, position);  // moving down, never back, never twice
        EXPECT_EQ(word, ChannelVolumeMessage(5, 0, sent));
        position = sent;
    }
    EXPECT_EQ(form.Vol5->value(), position);
    EXPECT_EQ(form.Model().Vol5.Position(), position);
    EXPECT_EQ(form.LValue->text(), QString::number(127 - position));
}

TEST_F(MainWindowBehaviour, KeysMoveTheFocusedFaderToItsEndsAndByLines) {
    form.Vol3->setFocus();
    struct Case {
        Qt::Key key;
        int position;
    };
    const Case cases[] = {{Qt::Key_Home, 0},
                          {Qt::Key_Down, 1},
                          {Qt::Key_End, 127},
                          {Qt::Key_PageUp, 126},
                          {Qt::Key_Up, 125}};
    for (const Case& c : cases) {
        QTest::keyClick(form.Vol3, c.key);
        EXPECT_EQ(Take(), (std::vector<ShortMessage>{ChannelVolumeMessage(3, 0, c.position)}))
            << c.position;
        EXPECT_EQ(form.Vol3->value(), c.position);
    }
    QTest::keyClick(form.Vol3, Qt::Key_PageUp);
    QTest::keyClick(form.Vol3, Qt::Key_End);
    QTest::keyClick(form.Vol3, Qt::Key_End);  // already there: nothing
    EXPECT_EQ(Take().size(), 2u);
}

TEST_F(MainWindowBehaviour, PresetsMoveEveryLinkedChannelInOrderOnce) {
    struct Case {
        QPushButton* button;
        int position;
        const char* shown;
    };
    const Case cases[] = {{form.SB1, 0, "127"}, {form.SB3, 127, "0"}, {form.SB2, 63, "64"}};
    for (const Case& c : cases) {
        Click(c.button);
        EXPECT_EQ(Take(), Volumes(1, 16, c.position)) << c.shown;
        EXPECT_EQ(form.MVol->value(), c.position);
        for (int channel = 1; channel <= Mixer::kChannels; ++channel) {
            EXPECT_EQ(form.Vol(channel)->value(), c.position);
        }
        EXPECT_EQ(form.LValue->text(), QString::fromLatin1(c.shown));
        Click(c.button);
        EXPECT_TRUE(Take().empty()) << "second press of " << c.shown;
    }
}

TEST_F(MainWindowBehaviour, TheAllLinksBoxTicksEveryLinkAndGatesTheStartButton) {
    Click(form.MC);
    for (int channel = 1; channel <= Mixer::kChannels; ++channel) {
        EXPECT_FALSE(form.C(channel)->isChecked()) << channel;
    }
    EXPECT_FALSE(form.StartB->isEnabled());
    Click(form.SB1);  // the master moves alone
    EXPECT_TRUE(Take().empty());
    EXPECT_EQ(form.Vol1->value(), Mixer::kStartPosition);

    Click(form.MC);
    for (int channel = 1; channel <= Mixer::kChannels; ++channel) {
        EXPECT_TRUE(form.C(channel)->isChecked()) << channel;
    }
    EXPECT_TRUE(form.StartB->isEnabled());
    EXPECT_TRUE(Take().empty());  // ticking links moves nothing by itself
}

TEST_F(MainWindowBehaviour, AChannelLinkBoxOnlyChangesItsMark) {
    Click(form.C5);
    EXPECT_FALSE(form.C5->isChecked());
    EXPECT_FALSE(form.Model().C5.Ticked());
    EXPECT_TRUE(Take().empty());

    Click(form.SB3);
    auto expected = Volumes(1, 4, 127);
    const auto rest = Volumes(6, 16, 127);
    expected.insert(expected.end(), rest.begin(), rest.end());
    EXPECT_EQ(Take(), expected);
    EXPECT_EQ(form.Vol5->value(), Mixer::kStartPosition);
}

TEST_F(MainWindowBehaviour, ControllerArrowsStopAtTheirEndsWithoutWrapping) {
    for (int i = 0; i < 130; ++i) Click(form.CC->Up);
    EXPECT_EQ(form.CcP->text(), QStringLiteral("127"));
    EXPECT_EQ(form.Model().CC.Position(), 127);
    Click(form.Vol1, PartCentre(form.Vol1, QStyle::SC_ScrollBarAddLine));
    EXPECT_EQ(Take(), (std::vector<ShortMessage>{ChannelVolumeMessage(1, 127, 65)}));

    for (int i = 0; i < 130; ++i) Click(form.CC->Down);
    EXPECT_EQ(form.CcP->text(), QStringLiteral("0"));
    EXPECT_EQ(form.Model().CC.Position(), 0);
    EXPECT_EQ(form.CcP->geometry().right() + 1, 96);
    EXPECT_TRUE(Take().empty());  // the selector sends nothing by itself
}

TEST_F(MainWindowBehaviour, TheDrumBoxSelectsTheKitEachTimeItChanges) {
    values.Vendor = 2;
    Click(form.DrumSw);
    EXPECT_TRUE(form.DrumSw->isChecked());
    Click(form.DrumSw);
    EXPECT_FALSE(form.DrumSw->isChecked());
    auto expected = DrumKitSelect(2);
    std::vector<ShortMessage> twice(expected.begin(), expected.end());
    twice.insert(twice.end(), expected.begin(), expected.end());
    EXPECT_EQ(Take(), twice);

    Click(form.Label3);  // the word beside the box is no part of it
    EXPECT_FALSE(form.DrumSw->isChecked());
    EXPECT_TRUE(Take().empty());
}

// The controls a running fade locks, as the user sees them.
struct LockView {
    bool startB, stopB, cc, startM, stopM, presets, settings, allLinks, links;
    bool operator==(const LockView&) const = default;
};

LockView Locks(const TForm1& form) {
    bool links = true;
    for (int channel = 1; channel <= Mixer::kChannels; ++channel) {
        links = links && form.C(channel)->isEnabled();
    }
    return {form.StartB->isEnabled(),
            form.StopB->isEnabled(),
            form.CC->isEnabled(),
            form.StartM->isEnabled(),
            form.StopM->isEnabled(),
            form.SB1->isEnabled() && form.SB2->isEnabled() && form.SB3->isEnabled(),
            form.O1->isEnabled(),
            form.MC->isEnabled(),
            links};
}

constexpr LockView kUnlocked{true, false, true, true, true, true, true, true, true};
constexpr LockView kFading{false, true, false, false, false, false, false, false, false};

TEST_F(MainWindowBehaviour, AWholeFadeAtTheFastestSpeedRunsOnRealTicks) {
    form.Model().SetStartupInterval(5);
    ASSERT_EQ(form.Timer1.Interval(), 50);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
    ASSERT_EQ(QApplication::focusWidget(), form.StartB);

    QElapsedTimer clock;
    clock.start();
    QTest::keyClick(form.StartB, Qt::Key_Space);
    ASSERT_TRUE(form.Timer1.Enabled());
    // The links lock with the master's first move.
    EXPECT_TRUE(QTest::qWaitFor([&] { return Locks(form) == kFading; }, 1000));
    EXPECT_FALSE(form.StartB->isEnabled());
    EXPECT_TRUE(QTest::qWaitFor([&] { return !form.Timer1.Enabled(); }, 15000));
    const qint64 elapsed = clock.elapsed();
    QTest::qWait(150);  // no tick after the last

    EXPECT_EQ(Locks(form), kUnlocked);
    EXPECT_GE(elapsed, 127 * 50 - 50);
    EXPECT_LE(elapsed, 127 * 50 * 3 / 2);  // the next slower step would take 12.7 s
    EXPECT_EQ(form.MVol->value(), 0);
    EXPECT_EQ(form.LValue->text(), QStringLiteral("127"));

    // From the start level (position 127) one step per tick to the stop level (0).
    std::vector<ShortMessage> expected;
    for (int position = 126; position >= 0; --position) {
        const auto tick = Volumes(1, 16, position);
        expected.insert(expected.end(), tick.begin(), tick.end());
    }
    EXPECT_EQ(Take(), expected);
}

TEST_F(MainWindowBehaviour, AShortFadeTicksTheHiHatAndStopsByTheStopButton) {
    form.Model().SetStartupInterval(5);
    // Start level at value 127 (position 0), stop level three steps further.
    form.StartM->setFocus();
    QTest::keyClick(form.StartM, Qt::Key_Home);
    EXPECT_EQ(form.StartP->text(), QStringLiteral("127"));
    for (int i = 0; i < 3; ++i)
        Click(form.StopM, PartCentre(form.StopM, QStyle::SC_ScrollBarAddLine));
    EXPECT_EQ(form.StopP->text(), QStringLiteral("124"));
    Click(form.DrumSw);
    Take();

    form.StartB->setFocus();
    QTest::keyClick(form.StartB, Qt::Key_Return);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !form.Timer1.Enabled(); }, 2000));
    std::vector<ShortMessage> expected;
    for (int position = 1; position <= 3; ++position) {
        expected.push_back(HiHatTick());
        const auto tick = Volumes(1, 16, position);
        expected.insert(expected.end(), tick.begin(), tick.end());
    }
    EXPECT_EQ(Take(), expected);
    EXPECT_EQ(Locks(form), kUnlocked);

    // A long fade, stopped by the mouse after a few ticks.
    QTest::keyClick(form.StartM, Qt::Key_End);  // start at value 0
    Click(form.StartB);
    EXPECT_TRUE(QTest::qWaitFor([&] { return midi.delivered.size() >= 3 * 17; }, 2000));
    Click(form.StopB);
    EXPECT_FALSE(form.Timer1.Enabled());
    EXPECT_EQ(Locks(form), kUnlocked);
    const std::size_t sent = Take().size();
    QTest::qWait(200);
    EXPECT_TRUE(Take().empty()) << sent;
}

TEST_F(MainWindowBehaviour, TheExitCommandResetsAndClosesTheOutputTheCloseBoxDoesNot) {
    form.windowHandle()->close();  // what the title bar's close box asks for
    EXPECT_FALSE(form.isVisible());
    EXPECT_TRUE(midi.calls.empty());

    form.ShowCentred();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    form.Exit1->trigger();
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(midi.calls, (std::vector<std::string>{"reset", "close"}));
}

}  // namespace
}  // namespace faderwell::test
