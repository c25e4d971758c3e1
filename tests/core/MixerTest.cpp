#include "MixerFixture.h"

namespace faderwell::test {
namespace {

TEST_F(MixerTest, StartsSilentWithTheDesignedState) {
    EXPECT_TRUE(sink.words.empty());
    EXPECT_EQ(mixer.Vol(16).Position(), 64);
    EXPECT_EQ(mixer.MVol.Value(), 63);
    EXPECT_EQ(mixer.LValue.Text(), "64");  // shown although every fader stands at 63
    EXPECT_EQ(mixer.CcP.Text(), "0");
    EXPECT_TRUE(AllLinks(true, true));
    EXPECT_TRUE(mixer.StartB.Enabled());
    EXPECT_FALSE(mixer.StopB.Enabled());
}

TEST_F(MixerTest, LineStepsOnAChannelSendOneWordEach) {
    for (int i = 0; i < 4; ++i) mixer.Vol(5).Scroll(ScrollGesture::LineUp);
    EXPECT_EQ(sink.Take(), (std::vector<ShortMessage>{0x4000B4, 0x4100B4, 0x4200B4, 0x4300B4}));
    EXPECT_EQ(mixer.LValue.Text(), "67");
}

struct GestureCase {
    ScrollGesture gesture;
    int thumb;
    int expected;
};

TEST_F(MixerTest, GesturesRequestPositionsThroughTheContract) {
    const GestureCase cases[] = {
        {ScrollGesture::LineDown, 0, 65},    {ScrollGesture::PageUp, 0, 64},
        {ScrollGesture::PageDown, 0, 65},    {ScrollGesture::ToTop, 0, 0},
        {ScrollGesture::LineUp, 0, 0},       {ScrollGesture::ToBottom, 0, 127},
        {ScrollGesture::ThumbTrack, 90, 90}, {ScrollGesture::ThumbPosition, 91, 91},
        {ScrollGesture::EndScroll, 0, 91},
    };
    for (const auto& c : cases) {
        mixer.Vol(1).Scroll(c.gesture, c.thumb);
        EXPECT_EQ(mixer.Vol(1).Position(), c.expected) << static_cast<int>(c.gesture);
    }
    // 65, 64, 65, 0, 127, 90, 91: one word per real change, none at a limit or at rest.
    EXPECT_EQ(sink.words.size(), 7u);
}

TEST_F(MixerTest, ClampsPositionsSetFromCodeAndActsOnlyOnRealChanges) {
    mixer.Vol(3).SetPosition(-5);
    mixer.Vol(3).SetPosition(-1);
    mixer.Vol(4).SetPosition(200);
    mixer.Vol(4).SetPosition(127);
    mixer.Vol(6).SetPosition(64);
    EXPECT_EQ(mixer.Vol(3).Position(), 0);
    EXPECT_EQ(mixer.Vol(4).Position(), 127);
    EXPECT_EQ(sink.Take(), (std::vector<ShortMessage>{ChannelVolumeMessage(3, 0, 0),
                                                      ChannelVolumeMessage(4, 0, 127)}));
}

TEST_F(MixerTest, ViewsHearAPositionBeforeTheHandlerSendsAndWritingItBackDoesNothing) {
    std::vector<std::string> seen;
    mixer.Vol(2).Subscribe([&] {
        seen.push_back("view " + std::to_string(sink.words.size()));
        mixer.Vol(2).SetPosition(mixer.Vol(2).Position());  // a view echoing the value back
    });
    mixer.Vol(2).SetPosition(10);
    EXPECT_EQ(seen, std::vector<std::string>{"view 0"});
    EXPECT_EQ(sink.words.size(), 1u);
}

struct PresetCase {
    void (Mixer::*click)();
    int position;
    const char* label;
};

TEST_F(MixerTest, PresetsMoveEveryLinkedChannelInAscendingOrderOnce) {
    const PresetCase cases[] = {
        {&Mixer::SB3Click, 127, "0"}, {&Mixer::SB1Click, 0, "127"}, {&Mixer::SB2Click, 63, "64"}};
    for (const auto& c : cases) {
        (mixer.*c.click)();
        EXPECT_EQ(sink.Take(), Volumes(1, 16, c.position)) << c.label;
        EXPECT_EQ(mixer.LValue.Text(), c.label);
        (mixer.*c.click)();
        EXPECT_TRUE(sink.Take().empty()) << "second press of " << c.label;
    }
}

TEST_F(MixerTest, MasterSkipsChannelsInPlaceAndNeverMovesUnlinkedOnes) {
    mixer.Vol(2).SetPosition(60);
    mixer.C(3).SetTicked(false);
    sink.Take();
    mixer.MVol.SetPosition(60);
    std::vector<ShortMessage> expected{ChannelVolumeMessage(1, 0, 60)};
    for (int ch = 4; ch <= 16; ++ch) expected.push_back(ChannelVolumeMessage(ch, 0, 60));
    EXPECT_EQ(sink.Take(), expected);
    EXPECT_EQ(mixer.Vol(3).Position(), 64);
    EXPECT_EQ(mixer.LValue.Text(), "67");
}

TEST_F(MixerTest, AllLinksBoxTicksAndClearsEveryLinkAndGatesStart) {
    mixer.MC.Toggle();
    EXPECT_TRUE(AllLinks(false, true));
    EXPECT_FALSE(mixer.StartB.Enabled());
    mixer.MVol.SetPosition(10);
    EXPECT_TRUE(sink.Take().empty());
    EXPECT_EQ(mixer.LValue.Text(), "117");

    mixer.C(7).Toggle();  // a single link follows again, but start stays gated by MC
    mixer.MVol.SetPosition(11);
    EXPECT_EQ(sink.Take(), Volumes(7, 7, 11));
    EXPECT_FALSE(mixer.StartB.Enabled());
    EXPECT_FALSE(mixer.MC.Ticked());

    mixer.MC.Toggle();
    EXPECT_TRUE(AllLinks(true, true));
    EXPECT_TRUE(mixer.StartB.Enabled());
    EXPECT_TRUE(sink.words.empty());
}

TEST_F(MixerTest, ControllerSelectorStopsAtItsLimitsAndOnlyLabels) {
    int clicks = 0;
    mixer.CC.Subscribe([&] { ++clicks; });
    mixer.CC.StepDown();
    EXPECT_EQ(clicks, 0);
    for (int i = 0; i < 130; ++i) mixer.CC.StepUp();
    EXPECT_EQ(mixer.CC.Position(), 127);
    EXPECT_EQ(clicks, 127);
    EXPECT_EQ(mixer.CcP.Text(), "127");
    EXPECT_TRUE(sink.words.empty());

    for (int i = 0; i < 120; ++i) mixer.CC.StepDown();
    mixer.Vol(9).Scroll(ScrollGesture::LineDown);
    EXPECT_EQ(sink.Take(), Volumes(9, 9, 65, 7));
}

}  // namespace
}  // namespace faderwell::test
