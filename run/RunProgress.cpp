#include "run/RunProgress.h"

#include <QTime>
#include <algorithm>
#include <cmath>
#include <limits>

#include "ui/lang.h"

namespace {

constexpr int64_t kMsPerDay = 24LL * 60 * 60 * 1000;

// Drops "()" or "[]" that held only the removed field, then blanks left over at the edges or doubled.
QString TidyFormat(QString format) {
  format.replace(QStringLiteral("()"), QString());
  format.replace(QStringLiteral("[]"), QString());
  return format.simplified();
}

}  // namespace

int CurrentBarValue(int64_t duration) {
  const int64_t ms = duration / 10000;
  return int(std::clamp<int64_t>(ms, 0, std::numeric_limits<int>::max()));
}

int TotalPercent(int64_t totalDuration, int64_t doneDuration, int64_t position, int finishedTasks,
                 int checkedCount) {
  double percent = 0;
  if (totalDuration > 0) {
    const double played = double(doneDuration) + double(position);
    percent = std::floor((played / 100.0) / (double(totalDuration) / 10000.0));
  } else if (checkedCount > 0) {
    percent = std::floor(100.0 * finishedTasks / checkedCount);
  }
  if (!std::isfinite(percent)) return 0;
  return int(std::clamp(percent, 0.0, 100.0));
}

QString DurationTimeFormat(const QLocale& locale) {
  const QString format = locale.timeFormat(QLocale::LongFormat);
  QString out;
  bool quoted = false;
  for (int i = 0; i < format.size(); ++i) {
    const QChar c = format[i];
    if (c == '\'') quoted = !quoted;
    if (!quoted && c == 't') {
      while (i + 1 < format.size() && format[i + 1] == 't') ++i;  // t, tt, ttt and tttt alike
      continue;
    }
    out += c;
  }
  return TidyFormat(out);
}

QString FormatRunTime(int64_t milliseconds, const QLocale& locale) {
  const int64_t ofDay = ((milliseconds % kMsPerDay) + kMsPerDay) % kMsPerDay;
  return locale.toString(QTime::fromMSecsSinceStartOfDay(int(ofDay)), DurationTimeFormat(locale));
}

std::optional<QString> RunTimeText(const QDateTime& runStart, const QDateTime& now, int64_t played,
                                   int64_t stillToPlay, const QLocale& locale) {
  if (!runStart.isValid() || !now.isValid() || played <= 0) return std::nullopt;
  const int64_t elapsed = runStart.msecsTo(now);
  if (elapsed < 0) return std::nullopt;
  const double remaining = double(elapsed) / double(played) * double(std::max<int64_t>(stillToPlay, 0));
  if (!std::isfinite(remaining) || remaining > double(std::numeric_limits<int64_t>::max())) {
    return std::nullopt;
  }
  const QString e = FormatRunTime(elapsed, locale);
  const QString r = FormatRunTime(int64_t(remaining), locale);
  if (e.isEmpty() || r.isEmpty()) return std::nullopt;
  return QString::fromUtf8(StrTimeElapsed) + ": " + e + ", " + StrRemained + ": " + StrApprox + " " + r;
}
