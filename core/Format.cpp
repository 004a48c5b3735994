#include "Format.h"

#include <cmath>
#include <cstdio>
#include <limits>

#include <QString>

std::string FormatDuration(int64_t duration) {
  const int64_t tenthsTotal = duration / 1000000;
  const int64_t hours = tenthsTotal / 36000;
  int64_t rest = tenthsTotal - hours * 36000;
  const int64_t minutes = rest / 600;
  rest -= minutes * 600;
  const int64_t seconds = rest / 10;
  const int64_t tenths = rest % 10;
  char text[64];
  std::snprintf(text, sizeof text, "%lld:%s%lld:%s%lld.%lld", static_cast<long long>(hours),
                minutes <= 9 ? "0" : "", static_cast<long long>(minutes), seconds <= 9 ? "0" : "",
                static_cast<long long>(seconds), static_cast<long long>(tenths));
  return text;
}

std::string FormatSizeMB(int32_t kilobytes, const QLocale& locale) {
  // QString::number always writes a point, whatever the C library's locale is.
  std::string result = QString::number(kilobytes / 1024.0, 'f', 2).toStdString();
  const std::string separator = locale.decimalPoint().toStdString();
  const auto point = result.find('.');
  if (point != std::string::npos) result.replace(point, 1, separator);
  return result + " M";
}

int32_t EstimateSizeKB(int32_t bitrate, int64_t duration) {
  const long double seconds = static_cast<long double>(duration) / 10000000.0L;
  const long double kilobytes = std::floor(bitrate * seconds / 8.0L * 1.03L);
  // Out-of-range values (absurd durations) are clamped instead of overflowing.
  if (kilobytes > std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
  if (kilobytes < std::numeric_limits<int32_t>::min()) return std::numeric_limits<int32_t>::min();
  return static_cast<int32_t>(kilobytes);
}
