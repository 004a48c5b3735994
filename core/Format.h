#pragma once
// Display forms of durations and sizes, and the MP3 size estimate.
#include <QLocale>
#include <cstdint>
#include <string>

// 100-ns units to "h:mm:ss.t", for example 0:03:25.4.
std::string FormatDuration(int64_t duration);
// Kilobytes to megabytes with two decimals and the locale's decimal separator: "4.81 M".
std::string FormatSizeMB(int32_t kilobytes, const QLocale& locale = QLocale::system());
// floor(bitrate × seconds / 8 × 1.03) kilobytes.
int32_t EstimateSizeKB(int32_t bitrate, int64_t duration);
