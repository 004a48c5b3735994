#pragma once
// The arithmetic of the progress display: the bars' values and the elapsed and remaining time line.
#include <QDateTime>
#include <QLocale>
#include <QString>
#include <cstdint>
#include <optional>

// The current file's bar counts milliseconds of playing time: a duration in 100-ns units, fraction
// dropped, kept inside the bar's int range.
int CurrentBarValue(int64_t duration);

// The whole run in percent, 0 to 100: the played time so far (done + position) against the run's
// total; with no known total (every duration 0) the finished tasks against the checked ones.
int TotalPercent(int64_t totalDuration, int64_t doneDuration, int64_t position, int finishedTasks,
                 int checkedCount);

// The locale's long time format without its time-zone field, which a duration does not have.
QString DurationTimeFormat(const QLocale& locale);

// A duration shown as if it were a time of day in the locale's long time format; whole days dropped.
QString FormatRunTime(int64_t milliseconds, const QLocale& locale);

// "Time elapsed: E, remained: about R", with E from runStart to now and R extrapolated from the speed so
// far: E / played x stillToPlay (both in 100-ns units). Nothing when it cannot be worked out (nothing
// played yet, a clock that went backwards); the display then keeps its previous text.
std::optional<QString> RunTimeText(const QDateTime& runStart, const QDateTime& now, int64_t played,
                                   int64_t stillToPlay, const QLocale& locale);
