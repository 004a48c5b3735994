// The progress display's arithmetic with controlled inputs: bars, the time line and its locale.
#include <gtest/gtest.h>

#include <QDateTime>
#include <QLocale>

#include "run/RunProgress.h"

namespace {

const QLocale kCzech(QLocale::Czech, QLocale::Czechia);  // a 24-hour long format without a leading zero
constexpr int64_t kSecond = 10000000;                    // 100-ns units

QDateTime At(int day, int hour, int minute, int second) {
  return QDateTime(QDate(2024, 3, day), QTime(hour, minute, second), Qt::UTC);
}

}  // namespace

TEST(ProgressBars, TheCurrentBarCountsMillisecondsAndTheTotalBarPercent) {
  EXPECT_EQ(CurrentBarValue(1800000000), 180000);  // three minutes
  EXPECT_EQ(CurrentBarValue(19999), 1);            // the fraction is dropped
  EXPECT_EQ(CurrentBarValue(-5), 0);
  EXPECT_EQ(CurrentBarValue(int64_t(1) << 60), std::numeric_limits<int>::max());
  // Two tasks of equal length, the first done and the second half played.
  EXPECT_EQ(TotalPercent(2 * 60 * kSecond, 60 * kSecond, 30 * kSecond, 1, 2), 75);
  EXPECT_EQ(TotalPercent(3 * kSecond, 0, kSecond - 1, 0, 1), 33);
  // A source that plays longer than its stated duration keeps the bar at its end.
  EXPECT_EQ(TotalPercent(10 * kSecond, 10 * kSecond, 5 * kSecond, 1, 1), 100);
}

TEST(ProgressBars, WithoutAnyKnownDurationTheTotalBarCountsFinishedTasks) {
  EXPECT_EQ(TotalPercent(0, 0, 5 * kSecond, 0, 3), 0);
  EXPECT_EQ(TotalPercent(0, 0, 5 * kSecond, 1, 3), 33);
  EXPECT_EQ(TotalPercent(0, 0, 0, 3, 3), 100);
  EXPECT_EQ(TotalPercent(0, 0, 0, 0, 0), 0);
}

TEST(ProgressTimeLine, ReadsElapsedAndRemainingInTheLocalesLongTimeFormat) {
  const QDateTime start = At(9, 10, 0, 0);
  // 65 s played so far in 65 s, 192 s still to play: 192 s remain.
  EXPECT_EQ(RunTimeText(start, start.addSecs(65), 65 * kSecond, 192 * kSecond, kCzech).value_or("none"),
            "Time elapsed: 0:01:05, remained: about 0:03:12");
  // Twice as fast as real time: half the rest remains.
  EXPECT_EQ(RunTimeText(start, start.addSecs(30), 60 * kSecond, 120 * kSecond, kCzech).value_or("none"),
            "Time elapsed: 0:00:30, remained: about 0:01:00");
  EXPECT_EQ(RunTimeText(start, start.addSecs(65), 65 * kSecond, 192 * kSecond, QLocale::c()).value_or("none"),
            "Time elapsed: 00:01:05, remained: about 00:03:12");
}

TEST(ProgressTimeLine, ARunPastMidnightKeepsAGrowingElapsedTime) {
  const QDateTime start = At(9, 23, 59, 30);
  EXPECT_EQ(RunTimeText(start, At(9, 23, 59, 50), 20 * kSecond, 0, kCzech).value_or("none"),
            "Time elapsed: 0:00:20, remained: about 0:00:00");
  EXPECT_EQ(RunTimeText(start, At(10, 0, 0, 40), 70 * kSecond, 0, kCzech).value_or("none"),
            "Time elapsed: 0:01:10, remained: about 0:00:00");
  // Whole days are dropped, as for a time of day.
  EXPECT_EQ(FormatRunTime((24 * 3600 + 65) * 1000LL, kCzech), "0:01:05");
}

TEST(ProgressTimeLine, IsLeftAsItWasWhenItCannotBeWorkedOut) {
  const QDateTime start = At(9, 10, 0, 0);
  EXPECT_FALSE(RunTimeText(start, start.addSecs(5), 0, 100 * kSecond, kCzech));   // nothing played yet
  EXPECT_FALSE(RunTimeText(start, start.addSecs(-5), kSecond, kSecond, kCzech));  // the clock went back
  EXPECT_FALSE(RunTimeText(QDateTime(), start, kSecond, kSecond, kCzech));
  // More played than the total stated: nothing remains rather than a negative time.
  EXPECT_EQ(RunTimeText(start, start.addSecs(5), 10 * kSecond, -2 * kSecond, kCzech).value_or("none"),
            "Time elapsed: 0:00:05, remained: about 0:00:00");
}

TEST(ProgressTimeLine, TheFormatLosesItsTimeZoneFieldAndKeepsTheRest) {
  EXPECT_EQ(DurationTimeFormat(QLocale::c()), "HH:mm:ss");
  EXPECT_EQ(DurationTimeFormat(QLocale(QLocale::Spanish, QLocale::Spain)), "H:mm:ss");   // "H:mm:ss (t)"
  EXPECT_EQ(DurationTimeFormat(QLocale(QLocale::Chinese, QLocale::China)), "HH:mm:ss");  // "t HH:mm:ss"
  // A 12-hour format reads a duration as a time after midnight, as the clock would.
  const QLocale us(QLocale::English, QLocale::UnitedStates);
  EXPECT_EQ(DurationTimeFormat(us), "h:mm:ss AP");
  EXPECT_EQ(FormatRunTime(65000, us), "12:01:05 AM");
}
