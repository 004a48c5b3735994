#pragma once
// What a command-line run tells: a JSON line per input, the progress line, the summary and the
// exit status.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "run/RunEngine.h"

// A JSON text of a path or message: UTF-8 as it is; a byte that is not UTF-8 becomes \udcXX (the
// lone surrogate of its value, as Python's surrogateescape reads it back into the same bytes).
std::string JsonString(const std::string& text);

// {"input": ..., "output": ... or null, "outcome": ..., "reason": ..., "seconds": ..., "message": ...}
std::string JsonLine(const TTaskResult& result);

// What every line of a run tells besides its task: the MP3 settings used, the program and the host.
struct TRunFacts {
  int32_t Bitrate = 0;  // kbps; with Vbr the lowest
  int32_t VbrMax = 0;   // kbps; 0: constant bitrate
  int32_t SampleRate = 0;
  std::string Mode;  // stereo, joint, dual, mono
  std::string Version;
  std::string Host;
};

// JsonLine with "input_bytes", "output_bytes", "wall_seconds", "settings", "version" and "host" too.
std::string JsonLine(const TTaskResult& result, const TRunFacts& facts);

// One planned task of --dry-run as a JSON line: input, output, the outcome it is planned to have
// ("convert", "skipped", "failed"), reason and message.
std::string PlanJsonLine(const TEngineTask& task);

// h:mm:ss of a span in milliseconds, whole seconds.
std::string ClockText(int64_t milliseconds);

// "3 of 40 files, 0:12:30 of audio converted, about 0:01:20 left"; the time left from the speed so
// far (nothing until some work is done).
std::string ProgressLineText(const TRunSnapshot& progress, int64_t elapsedMs);

// "40 files: 37 converted, 1 short, 1 skipped, 1 failed"
std::string SummaryText(const TRunEngine& run, int total);

// 4 when some file failed for a reason of the output side or the system, else 1 when some input
// failed, else 3 when some converted far short, else 0.
int BatchExitStatus(const std::vector<TTaskResult>& outcomes);
int BatchExitStatus(const TRunEngine& run);
