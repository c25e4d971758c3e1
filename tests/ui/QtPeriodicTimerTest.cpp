#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QTest>
#include <chrono>
#include <thread>
#include <vector>

#include "ui/QtPeriodicTimer.h"

namespace faderwell::test {
namespace {

using namespace std::chrono_literals;
// How late the timer ticks is measured by ./benchmark. These tests check what
// it does, with periods long enough that each wrong behaviour lands at least
// this far from the right one: a tick a busy machine delivers late does not
// pass for a fault.
constexpr qint64 kRoom = 100;
// Waits for ticks that are due: only a hang runs past it.
constexpr int kTickDeadline = 10000;

using std::chrono::milliseconds;

// Records when each tick arrives, in milliseconds since the clock started,
// and the moment it says it fell due.
class TickLog {
public:
    explicit TickLog(QtPeriodicTimer& timer) {
        clock_.start();
        timer.SetTickHandler([this](QtPeriodicTimer::Moment due) { Record(due); });
    }
    qint64 Now() const { return clock_.elapsed(); }
    void Record(QtPeriodicTimer::Moment due) {
        ticks.push_back(clock_.elapsed());
        dues.push_back(due);
    }
    /// How far after the first tick's due moment tick `tick` fell due.
    milliseconds DueAfterFirst(std::size_t tick) const {
        return std::chrono::duration_cast<milliseconds>(dues[tick] - dues[0]);
    }
    std::vector<qint64> ticks;
    std::vector<QtPeriodicTimer::Moment> dues;

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
    ASSERT_TRUE(QTest::qWaitFor([&] { return log.ticks.size() >= 3; }, kTickDeadline));
    EXPECT_GE(log.ticks[0] - started, 55);  // a whole period before the first tick
    ASSERT_TRUE(timer.SetEnabled(false));
    const std::size_t seen = log.ticks.size();
    QTest::qWait(200);
    EXPECT_EQ(log.ticks.size(), seen);
    EXPECT_FALSE(timer.Enabled());
}

TEST(QtPeriodicTimer, SettingWhatItHasChangesNothingWhileANewIntervalRestartsThePeriod) {
    QtPeriodicTimer timer(300);
    TickLog log(timer);
    ASSERT_TRUE(timer.SetEnabled(true));
    QTest::qWait(int{kRoom});
    // Enabling again and the same interval leave the running period alone.
    const qint64 again = log.Now();
    EXPECT_TRUE(timer.SetEnabled(true));
    timer.SetInterval(300);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !log.ticks.empty(); }, kTickDeadline));
    EXPECT_LT(log.ticks[0], again + 300 - 5);  // a restart would tick a whole period after it

    // A new interval counts from the moment it is set.
    QTest::qWait(50);
    const qint64 changed = log.Now();
    const std::size_t before = log.ticks.size();
    timer.SetInterval(120);
    ASSERT_TRUE(QTest::qWaitFor([&] { return log.ticks.size() > before; }, kTickDeadline));
    EXPECT_GE(log.ticks[before] - changed, 115);
    EXPECT_EQ(timer.Interval(), 120);
    timer.SetEnabled(false);
}

// The thread held up as a slow handler or a busy machine would hold it.
void Stall(int span) {
    std::this_thread::sleep_for(milliseconds(span));
}

TEST(QtPeriodicTimer, TicksKeepToTheClockHoweverLongEachTakes) {
    QtPeriodicTimer timer(100);
    TickLog log(timer);
    timer.SetTickHandler([&](QtPeriodicTimer::Moment due) {
        log.Record(due);
        Stall(50);  // half of every period goes on handling the tick
    });
    const qint64 started = log.Now();
    ASSERT_TRUE(timer.SetEnabled(true));
    ASSERT_TRUE(QTest::qWaitFor([&] { return log.ticks.size() >= 8; }, kTickDeadline));
    timer.SetEnabled(false);
    // Eight periods from the start (800 ms), not eight periods plus eight
    // handlings (1200 ms).
    EXPECT_GE(log.ticks[7] - started, 795);
    EXPECT_LT(log.ticks[7] - started, 1200 - 2 * kRoom);
    // Each tick tells the moment it fell due: exactly on the schedule,
    // whenever the thread came to it.
    for (std::size_t tick = 1; tick < 8; ++tick) EXPECT_EQ(log.DueAfterFirst(tick), tick * 100ms);
    EXPECT_LE(log.dues[0], std::chrono::steady_clock::now());
}

TEST(QtPeriodicTimer, TicksMissedWhileTheThreadIsBusyComeAsOneAndTheScheduleHolds) {
    QtPeriodicTimer timer(400);
    TickLog log(timer);
    timer.SetTickHandler([&](QtPeriodicTimer::Moment due) {
        log.Record(due);
        if (log.ticks.size() == 1)
            Stall(1400);  // the ticks due at 800, 1200 and 1600 ms fall due meanwhile
    });
    const qint64 started = log.Now();
    ASSERT_TRUE(timer.SetEnabled(true));
    ASSERT_TRUE(QTest::qWaitFor([&] { return log.ticks.size() >= 3; }, kTickDeadline));
    timer.SetEnabled(false);
    // One tick right after the stall (1800 ms), not at the next slot, then
    // the next on the start's schedule (2000 ms), not one period after the
    // late tick (2200 ms).
    EXPECT_LT(log.ticks[1] - started, 2000 - kRoom / 2);
    EXPECT_GE(log.ticks[2] - started, 1995);
    EXPECT_LT(log.ticks[2] - started, 2200 - kRoom);
    // The ticks that came as one say the latest one's moment.
    EXPECT_EQ(log.DueAfterFirst(1), 1600ms - 400ms);
    EXPECT_EQ(log.DueAfterFirst(2), 2000ms - 400ms);
}

TEST(QtPeriodicTimer, NoTickFollowsADisableEvenWhenTicksFellDueBeforeIt) {
    QtPeriodicTimer timer(40);
    TickLog log(timer);
    timer.SetTickHandler([&](QtPeriodicTimer::Moment due) {
        log.Record(due);
        Stall(100);  // two more ticks fall due before the handler stops the timer
        timer.SetEnabled(false);
    });
    ASSERT_TRUE(timer.SetEnabled(true));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !log.ticks.empty(); }, kTickDeadline));
    QTest::qWait(200);
    EXPECT_EQ(log.ticks.size(), 1u);

    // Enabled again, it starts a fresh period.
    const qint64 restarted = log.Now();
    timer.SetTickHandler([&](QtPeriodicTimer::Moment due) { log.Record(due); });
    ASSERT_TRUE(timer.SetEnabled(true));
    ASSERT_TRUE(QTest::qWaitFor([&] { return log.ticks.size() >= 2; }, kTickDeadline));
    timer.SetEnabled(false);
    EXPECT_GE(log.ticks[1] - restarted, 38);
}

}  // namespace
}  // namespace faderwell::test
