#include "MixerFixture.h"
#include "core/Failure.h"

namespace faderwell::test {
namespace {

class FadeTest : public MixerTest {
protected:
    // Fires ticks while the timer runs; returns how many ran.
    int RunFade(int limit = 1000) {
        int ticks = 0;
        while (timer.Enabled() && ticks < limit) {
            mixer.Timer1Timer();
            ++ticks;
        }
        return ticks;
    }
    // Every control the fade locks, with the state it has while idle.
    bool Locked(bool locked) {
        const Control* idleEnabled[] = {&mixer.StartB, &mixer.MC,     &mixer.SB1,
                                        &mixer.SB2,    &mixer.SB3,    &mixer.O1,
                                        &mixer.CC,     &mixer.StartM, &mixer.StopM};
        for (const Control* control : idleEnabled) {
            if (control->Enabled() == locked)
                return false;
        }
        return mixer.StopB.Enabled() == locked && timer.Enabled() == locked &&
               mixer.DrumSw.Enabled() && mixer.MVol.Enabled() && mixer.Vol(1).Enabled();
    }
};

TEST_F(FadeTest, DefaultFadeRunsValuesOneTo127InChannelOrder) {
    mixer.StartBClick();
    EXPECT_TRUE(Locked(true));
    EXPECT_TRUE(sink.words.empty());  // the master waits for the first tick
    EXPECT_EQ(mixer.MVol.Position(), 64);

    EXPECT_EQ(RunFade(), 127);
    EXPECT_EQ(sink.Take(), FadeTicks(Steps(126, 0)));
    EXPECT_EQ(mixer.LValue.Text(), "127");
    EXPECT_TRUE(Locked(false));
    EXPECT_TRUE(AllLinks(true, true));
}

TEST_F(FadeTest, DrumTicksBeforeEachStepsControlChangesEvenWhereTheMasterStands) {
    mixer.DrumSw.Toggle();
    sink.Take();
    mixer.StartM.SetPosition(65);
    mixer.StopM.SetPosition(63);
    mixer.StartBClick();
    EXPECT_EQ(RunFade(), 2);
    // The first tick lands on 64, where the master already stands: the hi-hat alone.
    auto expected = std::vector<ShortMessage>{HiHatTick()};
    const auto last = FadeTicks({63}, true);
    expected.insert(expected.end(), last.begin(), last.end());
    EXPECT_EQ(sink.Take(), expected);
}

TEST_F(FadeTest, StartEqualToStopTakesTwoTicks) {
    mixer.StartM.SetPosition(40);
    mixer.StopM.SetPosition(40);
    mixer.StartBClick();
    mixer.Timer1Timer();
    EXPECT_EQ(mixer.MVol.Position(), 41);
    EXPECT_TRUE(timer.Enabled());
    mixer.Timer1Timer();
    EXPECT_EQ(mixer.MVol.Position(), 40);
    EXPECT_TRUE(Locked(false));
    EXPECT_TRUE(AllLinks(true, true));
}

TEST_F(FadeTest, BothMarkersAtTheBottomOvershootTo128AndLeaveLinksLocked) {
    mixer.StopM.SetPosition(127);
    mixer.StartBClick();
    mixer.Timer1Timer();
    EXPECT_EQ(mixer.FadeLevel, 128);
    EXPECT_EQ(mixer.MVol.Position(), 127);  // clamped
    EXPECT_TRUE(AllLinks(true, false));
    mixer.Timer1Timer();
    EXPECT_EQ(mixer.FadeLevel, 127);
    EXPECT_TRUE(Locked(false));
    // The last tick did not move the master, so the links wait for its next change.
    EXPECT_TRUE(AllLinks(true, false));
    mixer.SB2Click();
    EXPECT_TRUE(AllLinks(true, true));
}

TEST_F(FadeTest, StopInMidFadeUnlocksAtOnceAndSendsNothing) {
    mixer.StartBClick();
    for (int i = 0; i < 5; ++i) mixer.Timer1Timer();
    EXPECT_TRUE(AllLinks(true, false));
    sink.Take();
    mixer.StopBClick();
    EXPECT_TRUE(sink.words.empty());
    EXPECT_TRUE(Locked(false));
    EXPECT_TRUE(AllLinks(true, true));
    EXPECT_EQ(mixer.MVol.Position(), 122);
}

TEST_F(FadeTest, UserMovesDuringAFadeAreOverriddenByTheNextTick) {
    mixer.StartBClick();
    mixer.Timer1Timer();
    mixer.MVol.Scroll(ScrollGesture::ToTop);
    sink.Take();
    mixer.Timer1Timer();
    EXPECT_EQ(mixer.MVol.Position(), 125);
    EXPECT_EQ(sink.Take(), Volumes(1, 16, 125));
}

TEST_F(FadeTest, UnavailableTimerReportsAndLeavesEverythingUnlocked) {
    timer.available = false;
    try {
        mixer.StartBClick();
        ADD_FAILURE() << "no failure raised";
    } catch (const Failure& failure) {
        EXPECT_STREQ(failure.what(), "タイマーを取得できません");
    }
    EXPECT_TRUE(Locked(false));
    timer.available = true;
    mixer.StartB.Click();  // a second press simply tries again
    EXPECT_TRUE(Locked(true));
}

TEST_F(FadeTest, DrumBoxSendsTheKitOfTheCurrentVendorOnEveryToggle) {
    values.Vendor = 1;
    mixer.DrumSw.Toggle();
    values.Vendor = 7;
    mixer.DrumSw.Toggle();
    EXPECT_EQ(sink.Take(), (std::vector<ShortMessage>{0x3D00B9, 0x0220B9, 0x0000C9, 0x3E00B9,
                                                      0x0020B9, 0x0000C9}));
}

TEST_F(FadeTest, MarkersShowTheirValues) {
    mixer.StartM.Scroll(ScrollGesture::ToTop);
    mixer.StopM.Scroll(ScrollGesture::LineDown);
    EXPECT_EQ(mixer.StartP.Text(), "127");
    EXPECT_EQ(mixer.StopP.Text(), "126");
    EXPECT_TRUE(sink.words.empty());
}

struct SpeedCase {
    int sliderPosition, interval;
};

TEST_F(FadeTest, IntervalFollowsTheSliderWhileTheStepWaitsForTheUser) {
    const SpeedCase table[] = {{1, 250}, {2, 200}, {3, 150}, {4, 100}, {5, 50}};
    for (const auto& row : table) {
        mixer.FSPEEDChange(row.sliderPosition);
        EXPECT_EQ(timer.Interval(), row.interval);
        EXPECT_EQ(values.SpeedStep, row.sliderPosition);
    }
    for (int stored : {0, 200}) {
        values.SpeedStep = stored;
        mixer.SetStartupInterval(stored);
        EXPECT_EQ(timer.Interval(), stored == 0 ? 250 : 50);
        EXPECT_EQ(values.SpeedStep, stored);
    }
}

}  // namespace
}  // namespace faderwell::test
