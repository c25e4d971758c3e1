#include <QAccessible>
#include <QAction>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QPushButton>
#include <chrono>
#include <functional>

#include "MainWindowFixture.h"
#include "ui/AnchoredLabel.h"
#include "ui/UpDownArrows.h"

namespace faderwell::test {
namespace {

using MainWindowBehaviour = MainWindowTest;

TEST_F(MainWindowBehaviour, ArrowsTroughAndKeysMoveAChannelFaderOneWordPerStep) {
    const QPoint upArrow = PartCentre(form.Vol(5), QStyle::SC_ScrollBarSubLine);
    const QPoint lowerTrough = PartCentre(form.Vol(5), QStyle::SC_ScrollBarAddPage);
    const auto click = [&](QPoint at) { return [this, at] { Click(form.Vol(5), at); }; };
    const auto key = [&](Qt::Key k) { return [this, k] { QTest::keyClick(form.Vol(5), k); }; };
    const std::pair<std::function<void()>, int> steps[] = {
        {click(upArrow), 63},       {click(upArrow), 62},   {click(lowerTrough), 63},
        {key(Qt::Key_Home), 0},     {key(Qt::Key_Down), 1}, {key(Qt::Key_End), 127},
        {key(Qt::Key_PageUp), 126}, {key(Qt::Key_Up), 125},
    };
    form.Vol(5)->setFocus();
    for (const auto& [gesture, position] : steps) {
        gesture();
        EXPECT_EQ(Take(), Volumes(5, 5, position)) << position;
        EXPECT_EQ(form.Vol(5)->value(), position);
        EXPECT_EQ(form.LValue->text(), QString::number(127 - position));
    }
    QTest::keyClick(form.Vol(5), Qt::Key_End);
    QTest::keyClick(form.Vol(5), Qt::Key_End);  // already there: nothing
    EXPECT_EQ(Take().size(), 1u);
}

TEST_F(MainWindowBehaviour, ArrowKeysGoTowardsTheBarsOwnEndsOnEveryKindOfFader) {
    // Left, Up and PageUp are a step towards position 0, Right, Down and
    // PageDown towards 127, whichever way the bar stands; the wheel moves one
    // line per notch.
    const auto key = [](Qt::Key k) {
        return [k] { QTest::keyClick(QApplication::focusWidget(), k); };
    };
    const std::pair<std::function<void()>, int> steps[] = {
        {key(Qt::Key_Home), 0},
        {key(Qt::Key_Right), 1},
        {key(Qt::Key_Down), 2},
        {key(Qt::Key_Left), 1},
        {key(Qt::Key_Up), 0},
        {key(Qt::Key_Left), 0},
        {key(Qt::Key_PageDown), 1},
        {key(Qt::Key_PageUp), 0},
        {key(Qt::Key_End), 127},
        {key(Qt::Key_Home), 0},
        {[] { WheelDown(*QApplication::focusWidget()); }, 1},
    };
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
    for (QScrollBar* bar : {form.MVol, form.Vol(16), form.StartM, form.StopM}) {
        bar->setFocus();
        for (const auto& [gesture, position] : steps) {
            gesture();
            EXPECT_EQ(bar->value(), position) << bar->objectName().toStdString();
        }
    }
    EXPECT_EQ(form.StartP->text(), QStringLiteral("126"));
    EXPECT_EQ(form.Model().StopM.Position(), 1);
}

TEST_F(MainWindowBehaviour, DraggingTheThumbSendsEveryPositionItPasses) {
    const QPoint thumb = PartCentre(form.Vol(5), QStyle::SC_ScrollBarSlider);
    QTest::mousePress(form.Vol(5), Qt::LeftButton, Qt::NoModifier, thumb);
    for (int dy = 1; dy <= 12; ++dy) QTest::mouseMove(form.Vol(5), thumb + QPoint(0, dy));
    QTest::mouseRelease(form.Vol(5), Qt::LeftButton, Qt::NoModifier, thumb + QPoint(0, 12));

    const auto words = Take();
    ASSERT_GE(words.size(), 6u);
    int position = Mixer::kStartPosition;
    for (const ShortMessage word : words) {
        const int sent = 127 - static_cast<int>((word >> 16) & 0x7F);  // the word carries the value
        EXPECT_GT(sent, position);  // moving down, never back, never twice
        EXPECT_EQ(word, ChannelVolumeMessage(5, 0, sent));
        position = sent;
    }
    EXPECT_EQ(form.Vol(5)->value(), position);
    EXPECT_EQ(form.Model().Vol(5).Position(), position);
    EXPECT_EQ(form.LValue->text(), QString::number(127 - position));
}

TEST_F(MainWindowBehaviour, LinkBoxesAndPresetsDriveTheChannelsAndTheFadersFollow) {
    Click(form.C(5));  // a link box only changes its mark
    EXPECT_FALSE(form.C(5)->isChecked());
    EXPECT_FALSE(form.Model().C(5).Ticked());
    EXPECT_TRUE(Take().empty());

    auto expected = Volumes(1, 4, 127);
    const auto rest = Volumes(6, 16, 127);
    expected.insert(expected.end(), rest.begin(), rest.end());
    Click(form.SB3);
    EXPECT_EQ(Take(), expected);
    for (int channel = 1; channel <= Mixer::kChannels; ++channel) {
        EXPECT_EQ(form.Vol(channel)->value(), channel == 5 ? Mixer::kStartPosition : 127);
    }
    EXPECT_EQ(form.MVol->value(), 127);
    EXPECT_EQ(form.LValue->text(), QStringLiteral("0"));
    Click(form.SB3);
    EXPECT_TRUE(Take().empty()) << "second press";
    Click(form.SB1);
    EXPECT_EQ(Take().size(), 15u);
    EXPECT_EQ(form.Vol(16)->value(), 0);
    EXPECT_EQ(form.LValue->text(), QStringLiteral("127"));

    Click(form.MC);  // the all-links box clears every link and gates the start button
    for (int channel = 1; channel <= Mixer::kChannels; ++channel) {
        EXPECT_FALSE(form.C(channel)->isChecked()) << channel;
    }
    EXPECT_FALSE(form.StartB->isEnabled());
    Click(form.SB2);  // the master moves alone
    EXPECT_TRUE(Take().empty());
    EXPECT_EQ(form.MVol->value(), 63);
    EXPECT_EQ(form.LValue->text(), QStringLiteral("64"));
    EXPECT_EQ(form.Vol(1)->value(), 0);

    Click(form.MC);
    for (int channel = 1; channel <= Mixer::kChannels; ++channel) {
        EXPECT_TRUE(form.C(channel)->isChecked()) << channel;
    }
    EXPECT_TRUE(form.StartB->isEnabled());
    EXPECT_TRUE(Take().empty());  // ticking links moves nothing by itself
}

TEST_F(MainWindowBehaviour, ControllerArrowsStopAtTheirEndsWithoutWrapping) {
    for (int i = 0; i < 130; ++i) Click(form.CC->Up);
    EXPECT_EQ(form.CcP->text(), QStringLiteral("127"));
    EXPECT_EQ(form.Model().CC.Position(), 127);
    Click(form.Vol(1), PartCentre(form.Vol(1), QStyle::SC_ScrollBarAddLine));
    EXPECT_EQ(Take(), (std::vector<ShortMessage>{ChannelVolumeMessage(1, 127, 65)}));

    for (int i = 0; i < 130; ++i) Click(form.CC->Down);
    EXPECT_EQ(form.CcP->text(), QStringLiteral("0"));
    EXPECT_EQ(form.Model().CC.Position(), 0);
    EXPECT_EQ(form.CcP->geometry().right() + 1, 96);
    EXPECT_TRUE(Take().empty());  // the selector sends nothing by itself
}

TEST_F(MainWindowBehaviour, KeysAndAnAssistiveToolMoveTheControllerNumberAsItsArrowsDo) {
    QAccessibleValueInterface* number =
        QAccessible::queryAccessibleInterface(form.CC)->valueInterface();
    const auto shows = [&](int expected) {
        EXPECT_EQ(form.Model().CC.Position(), expected);
        EXPECT_EQ(form.CcP->text(), QString::number(expected));
        EXPECT_EQ(number->currentValue().toInt(), expected);
    };
    form.CC->setFocus(Qt::TabFocusReason);
    const Qt::Key keys[] = {Qt::Key_Up, Qt::Key_PageUp, Qt::Key_Down, Qt::Key_PageDown,
                            Qt::Key_Down};
    const int afterKeys[] = {1, 2, 1, 0, 0};  // no step below 0
    for (std::size_t i = 0; i < std::size(keys); ++i) {
        QTest::keyClick(form.CC, keys[i]);
        shows(afterKeys[i]);
    }
    for (const auto& [value, expected] : {std::pair{200, 127}, {-5, 0}, {7, 7}}) {
        number->setCurrentValue(value);
        shows(expected);
    }
    EXPECT_TRUE(Take().empty());  // as for the arrows: nothing until a fader moves
    Click(form.Vol(1), PartCentre(form.Vol(1), QStyle::SC_ScrollBarAddLine));
    EXPECT_EQ(Take(), (std::vector<ShortMessage>{ChannelVolumeMessage(1, 7, 65)}));
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

/// A tick: the hi-hat and sixteen channels' Control Changes.
constexpr std::size_t kWordsPerTick = 17;

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
    EXPECT_TRUE(QTest::qWaitFor([&] { return !form.Timer1.Enabled(); }, 60000));
    const qint64 elapsed = clock.elapsed();
    QTest::qWait(150);  // no tick after the last

    EXPECT_EQ(Locks(form), kUnlocked);
    EXPECT_GE(elapsed, 127 * 50 - 50);
    // The next slower step would take 12.7 s; how close to 6.35 s it comes is
    // ./benchmark's to judge.
    EXPECT_LE(elapsed, 127 * 100 - 1000);
    EXPECT_EQ(form.MVol->value(), 0);
    EXPECT_EQ(form.LValue->text(), QStringLiteral("127"));

    // From the start level (position 127) one step per tick to the stop level (0).
    EXPECT_EQ(Take(), FadeTicks(Steps(126, 0)));
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
    // Words sent by the user's own moves are due when sent.
    EXPECT_EQ(midi.deliveredDue, decltype(midi.deliveredDue)(midi.delivered.size()));
    Take();

    // The focus goes with the fade from one button to the other and back.
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
    form.StartB->setFocus();
    QTest::keyClick(form.StartB, Qt::Key_Return);
    EXPECT_EQ(QApplication::focusWidget(), form.StopB);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !form.Timer1.Enabled(); }, 2000));
    EXPECT_EQ(QApplication::focusWidget(), form.StartB);
    // Every word of a tick carries the tick's due moment, on the timer's
    // schedule whenever the thread came to it: a whole number of intervals
    // after the tick before (one, unless a busy machine held the thread past
    // the next tick, which then comes as one); nothing after them.
    const auto dues = midi.deliveredDue;
    ASSERT_EQ(dues.size(), 3u * kWordsPerTick);
    constexpr auto kInterval = std::chrono::milliseconds(50);
    for (std::size_t word = 0; word < dues.size(); ++word) {
        ASSERT_TRUE(dues[word].has_value()) << word;
        const auto sinceTick = *dues[word] - *dues[word - word % kWordsPerTick];
        EXPECT_EQ(sinceTick.count(), 0) << word;
        if (word >= kWordsPerTick && word % kWordsPerTick == 0) {
            const auto sincePrevious = *dues[word] - *dues[word - kWordsPerTick];
            EXPECT_GE(sincePrevious, kInterval) << word;
            EXPECT_EQ(sincePrevious % kInterval, decltype(sincePrevious){}) << word;
        }
    }
    EXPECT_FALSE(midi.due.has_value());
    EXPECT_EQ(Take(), FadeTicks(Steps(1, 3), true));
    EXPECT_EQ(Locks(form), kUnlocked);

    // A long fade from the keyboard alone: Space starts it, Return stops it
    // after a few ticks, and the keys move nothing else.
    QTest::keyClick(form.StartM, Qt::Key_End);  // start at value 0
    form.StartB->setFocus();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
    EXPECT_TRUE(QTest::qWaitFor([&] { return midi.delivered.size() >= 3 * kWordsPerTick; }, 2000));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    EXPECT_FALSE(form.Timer1.Enabled());
    EXPECT_EQ(QApplication::focusWidget(), form.StartB);
    EXPECT_EQ(Locks(form), kUnlocked);
    const std::size_t sent = Take().size();
    EXPECT_EQ(sent % kWordsPerTick, 0u) << "only whole ticks";
    EXPECT_EQ(form.MVol->value(), form.Model().FadeLevel);
    QTest::qWait(200);
    EXPECT_TRUE(Take().empty()) << sent;

    // The mouse stops a fade too; the focus stays where the click put it.
    Click(form.StartB);
    Click(form.StopB);
    EXPECT_FALSE(form.Timer1.Enabled());
    EXPECT_EQ(Locks(form), kUnlocked);
}

}  // namespace
}  // namespace faderwell::test
