#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QTest>
#include <chrono>
#include <thread>
#include <vector>

#include "ui/QtPeriodicTimer.h"

namespace faderwell::test {
namespace {

// Records when each tick arrives, in milliseconds since the clock started.
class TickLog {
public:
    explicit TickLog(QtPeriodicTimer& timer) {
        clock_.start();
        timer.SetTickHandler([this] { ticks.push_back(clock_.elapsed()); });
    }
    qint64 Now() const { return clock_.elapsed(); }
    std::vector<qint64> ticks;

private:
    QElapsedTimer clock_;
};

TEST(QtPeriodicTimer, EnablingStartsAFreshPeriodAndDisablingStopsEveryTick) {
    QtPeriodicTimer timer(150);
    TickLog log(timer);
    EXPECT_FALSE(timer.Enabled());
    EXPECT_EQ(timer.Interval(), 150);

    timer.SetInterval(60);
    const qint64 started = log.Now();
    ASSERT_TRUE(timer.SetEnabled(true));
    EXPECT_TRUE(timer.Enabled());
    ASSERT_TRUE(QTest::qWaitFor([&] { return log.ticks.size() >= 3; }, 2000));
    EXPECT_GE(log.ticks[0] - started, 55);  // a whole period before the first tick
    ASSERT_TRUE(timer.SetEnabled(false));
    const std::size_t seen = log.ticks.size();
    QTest::qWait(200);
    EXPECT_EQ(log.ticks.size(), seen);
    EXPECT_FALSE(timer.Enabled());
}

TEST(QtPeriodicTimer, SettingWhatItHasChangesNothingWhileANewIntervalRestartsThePeriod) {
    QtPeriodicTimer timer(100);
    TickLog log(timer);
    ASSERT_TRUE(timer.SetEnabled(true));
    QTest::qWait(60);
    // Enabling again and the same interval leave the running period alone.
    EXPECT_TRUE(timer.SetEnabled(true));
    timer.SetInterval(100);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !log.ticks.empty(); }, 1000));
    EXPECT_LT(log.ticks[0], 150);  // a restart at 60 ms would tick at 160

    // A new interval counts from the moment it is set.
    QTest::qWait(50);
    const qint64 changed = log.Now();
    const std::size_t before = log.ticks.size();
    timer.SetInterval(120);
    ASSERT_TRUE(QTest::qWaitFor([&] { return log.ticks.size() > before; }, 1000));
    EXPECT_GE(log.ticks[before] - changed, 115);
    EXPECT_EQ(timer.Interval(), 120);
    timer.SetEnabled(false);
}

// The thread held up as a slow handler or a busy machine would hold it.
void Stall(int milliseconds) {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

TEST(QtPeriodicTimer, TicksKeepToTheClockHoweverLongEachTakes) {
    QtPeriodicTimer timer(60);
    TickLog log(timer);
    timer.SetTickHandler([&] {
        log.ticks.push_back(log.Now());
        Stall(30);  // half of every period goes on handling the tick
    });
    const qint64 started = log.Now();
    ASSERT_TRUE(timer.SetEnabled(true));
    ASSERT_TRUE(QTest::qWaitFor([&] { return log.ticks.size() >= 8; }, 3000));
    timer.SetEnabled(false);
    // Eight periods from the start, not eight periods plus eight handlings.
    EXPECT_GE(log.ticks[7] - started, 475);
    EXPECT_LT(log.ticks[7] - started, 600);
}

TEST(QtPeriodicTimer, TicksMissedWhileTheThreadIsBusyComeAsOneAndTheScheduleHolds) {
    QtPeriodicTimer timer(100);
    TickLog log(timer);
    timer.SetTickHandler([&] {
        log.ticks.push_back(log.Now());
        if (log.ticks.size() == 1)
            Stall(350);  // the ticks due at 200, 300 and 400 ms fall due meanwhile
    });
    const qint64 started = log.Now();
    ASSERT_TRUE(timer.SetEnabled(true));
    ASSERT_TRUE(QTest::qWaitFor([&] { return log.ticks.size() >= 3; }, 3000));
    timer.SetEnabled(false);
    // One tick right after the stall, then the next on the start's schedule
    // (500 ms), not one period after the late tick (550 ms).
    EXPECT_LT(log.ticks[1] - started, 490);
    EXPECT_GE(log.ticks[2] - started, 495);
    EXPECT_LT(log.ticks[2] - started, 540);
}

TEST(QtPeriodicTimer, NoTickFollowsADisableEvenWhenTicksFellDueBeforeIt) {
    QtPeriodicTimer timer(40);
    TickLog log(timer);
    timer.SetTickHandler([&] {
        log.ticks.push_back(log.Now());
        Stall(100);  // two more ticks fall due before the handler stops the timer
        timer.SetEnabled(false);
    });
    ASSERT_TRUE(timer.SetEnabled(true));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !log.ticks.empty(); }, 1000));
    QTest::qWait(200);
    EXPECT_EQ(log.ticks.size(), 1u);

    // Enabled again, it starts a fresh period.
    const qint64 restarted = log.Now();
    timer.SetTickHandler([&] { log.ticks.push_back(log.Now()); });
    ASSERT_TRUE(timer.SetEnabled(true));
    ASSERT_TRUE(QTest::qWaitFor([&] { return log.ticks.size() >= 2; }, 1000));
    timer.SetEnabled(false);
    EXPECT_GE(log.ticks[1] - restarted, 38);
}

}  // namespace
}  // namespace faderwell::test
