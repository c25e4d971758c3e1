#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QTest>
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

}  // namespace
}  // namespace faderwell::test
