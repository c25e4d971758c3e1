#include <QApplication>
#include <QPushButton>
#include <QScrollBar>
#include <QTimer>
#include <QWindow>
#include <csignal>

#include "ProgramFixture.h"
#include "app/TerminationSignals.h"

namespace faderwell::test {
namespace {

using Running = ProgramTest;

// Runs the main loop, doing `then` once the main window is up.
int RunThen(Program& program, std::function<void()> then) {
    QTimer::singleShot(0, std::move(then));
    return program.Run();
}

TEST_F(Running, TheExitCommandResetsAndClosesTheOutputTheCloseBoxLeavesIt) {
    using Calls = std::vector<std::string>;
    const std::pair<std::function<void(TForm1&)>, Calls> roads[] = {
        {[](TForm1& form) { form.Exit1->trigger(); }, Calls{"reset", "close"}},
        {[](TForm1& form) { form.windowHandle()->close(); }, Calls{}},  // the title bar's box
    };
    for (const auto& [road, calls] : roads) {
        Start();
        midi.calls.clear();
        EXPECT_EQ(RunThen(*program, [&] { road(Form1()); }), 0);
        EXPECT_EQ(midi.calls, calls);
        EXPECT_TRUE(registry.values.empty());  // never saved at shutdown
        program.reset();
    }
}

TEST_F(Running, TheSessionsEndOrASignalEndsAtOnceFromAnOpenDialogSavingAndTouchingNothing) {
    const std::pair<const char*, std::function<void()>> ends[] = {
        {"session manager", [] { SessionManagerQuits(); }},
        {"SIGTERM", [] { std::raise(SIGTERM); }},
        {"SIGHUP", [] { std::raise(SIGHUP); }},
        {"SIGINT", [] { std::raise(SIGINT); }},
    };
    for (const auto& [name, end] : ends) {
        Start();
        const TerminationSignals termination([this] { program->EndSession(); });
        midi.calls.clear();
        registry.values.clear();
        bool dialogWasOpen = false;
        const int code = RunThen(*program, [&] {
            QTimer::singleShot(50, [&] {
                dialogWasOpen = Config().isVisible();
                end();
            });
            Form1().O1->trigger();  // the settings dialog's own loop is running now
        });
        EXPECT_EQ(code, 0) << name;
        EXPECT_TRUE(dialogWasOpen) << name;
        EXPECT_TRUE(Form1().isVisible()) << name << ": the main window is left, not closed";
        EXPECT_TRUE(midi.calls.empty()) << name;
        EXPECT_TRUE(registry.values.empty()) << name;  // the dialog's closing saved nothing
        program.reset();
    }
}

TEST_F(Running, ClosingTheSettingsDialogSavesAllThreeValuesEvenUnchanged) {
    Store("SPEED", 200);
    Start();
    registry.values.clear();
    bool savedWhileOpen = true;
    QTimer::singleShot(50, [&] {
        savedWhileOpen = !registry.values.empty();
        Config().close();  // the title bar's close box
    });
    Form1().O1Click();
    EXPECT_FALSE(savedWhileOpen);
    EXPECT_EQ(registry.values.at("MIDI_OUT").bytes, std::vector<std::uint8_t>{1});
    EXPECT_EQ(registry.values.at("SPEED").bytes, std::vector<std::uint8_t>{200});
    EXPECT_EQ(registry.values.at("VENDOR").bytes, std::vector<std::uint8_t>{0});
    EXPECT_TRUE(prompts.shown.empty());
}

TEST_F(Running, AFailedSaveIsReportedOnceAfterTheDialogCloses) {
    Start();
    registry.failWrite = {"SPEED"};
    QTimer::singleShot(50, [&] { Config().close(); });
    Form1().O1->trigger();
    EXPECT_EQ(
        prompts.shown,
        std::vector{RecordingPrompts::Failure(QStringLiteral("'SPEED' の設定に失敗しました."))});
    EXPECT_EQ(registry.values.count("MIDI_OUT"), 1u);
    EXPECT_EQ(registry.values.count("VENDOR"), 0u);
}

TEST_F(Running, AFadeGoesOnWhileTheAboutDialogIsOpen) {
    Store("SPEED", 5);
    Start();
    Form1().ShowCentred();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&Form1()));
    QTest::mouseClick(Form1().StartB, Qt::LeftButton);
    ASSERT_TRUE(Form1().Timer1.Enabled());

    int levelWhenOpened = -1;
    int levelWhenClosing = -1;
    QTimer::singleShot(20, [&] {
        levelWhenOpened = Form1().Model().FadeLevel;
        QTimer::singleShot(400, [&] {
            levelWhenClosing = Form1().Model().FadeLevel;
            EXPECT_TRUE(About().isVisible());
            About().close();
        });
    });
    Form1().VerInfo->trigger();
    // Eight ticks of 50 ms fit into 400 ms; allow for a loaded machine.
    EXPECT_GE(levelWhenOpened - levelWhenClosing, 4);
    EXPECT_EQ(Form1().MVol->value(), Form1().Model().FadeLevel);
    Form1().Model().StopBClick();
    Form1().close();
}

}  // namespace
}  // namespace faderwell::test
