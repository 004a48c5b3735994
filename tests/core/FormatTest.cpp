#include <gtest/gtest.h>

#include <QLocale>

#include "core/Format.h"

TEST(FormatDuration, ShowsHoursMinutesSecondsAndTenths) {
  EXPECT_EQ(FormatDuration(2054000000), "0:03:25.4");
  EXPECT_EQ(FormatDuration(35999000000), "0:59:59.9");
  EXPECT_EQ(FormatDuration(36000000000), "1:00:00.0");
  EXPECT_EQ(FormatDuration(360000000000), "10:00:00.0");
  EXPECT_EQ(FormatDuration(0), "0:00:00.0");
  EXPECT_EQ(FormatDuration(999999), "0:00:00.0") << "tenths are truncated, not rounded";
  EXPECT_EQ(FormatDuration(6100000000), "0:10:10.0");
  // Beyond 59 hours the 32-bit tenths of the original would wrap; here the hours keep counting.
  EXPECT_EQ(FormatDuration(int64_t(300) * 36000000000), "300:00:00.0");
}

TEST(FormatSizeMB, UsesTheLocalesDecimalSeparator) {
  EXPECT_EQ(FormatSizeMB(4925, QLocale(QLocale::English, QLocale::UnitedStates)), "4.81 M");
  EXPECT_EQ(FormatSizeMB(4925, QLocale(QLocale::German, QLocale::Germany)), "4,81 M");
  EXPECT_EQ(FormatSizeMB(0, QLocale::c()), "0.00 M");
  EXPECT_EQ(FormatSizeMB(1024 * 1500, QLocale::c()), "1500.00 M") << "no thousands separator";
}

TEST(EstimateSizeKB, AddsThreePercentAndRoundsDown) {
  EXPECT_EQ(EstimateSizeKB(192, 2054000000), 5077);
  EXPECT_EQ(EstimateSizeKB(128, 1800000000), 2966);
  EXPECT_EQ(EstimateSizeKB(192, 0), 0);
  EXPECT_EQ(EstimateSizeKB(320, int64_t(1) << 62), INT32_MAX) << "absurd durations do not overflow";
}
