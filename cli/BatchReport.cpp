#include "cli/BatchReport.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "core/ShortText.h"

namespace {

void AppendEscaped(std::string& out, unsigned code) {
  char text[8];
  std::snprintf(text, sizeof text, "\\u%04x", code);
  out += text;
}

}  // namespace

std::string JsonString(const std::string& text) {
  std::string out = "\"";
  for (size_t i = 0; i < text.size();) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    const size_t length = Utf8SequenceLength(text, i);
    if (length == 0) {
      AppendEscaped(out, 0xDC00 + c);
      ++i;
      continue;
    }
    if (length > 1) {
      out.append(text, i, length);
    } else if (c == '"' || c == '\\') {
      out += '\\';
      out += char(c);
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\t') {
      out += "\\t";
    } else if (c < 0x20 || c == 0x7F) {
      AppendEscaped(out, c);
    } else {
      out += char(c);
    }
    i += length;
  }
  return out + "\"";
}

std::string JsonLine(const TTaskResult& result) {
  char seconds[32];
  std::snprintf(seconds, sizeof seconds, "%.3f", std::isfinite(result.Seconds) ? result.Seconds : 0.0);
  return "{\"input\":" + JsonString(result.Input) +
         ",\"output\":" + (result.Output.empty() ? std::string("null") : JsonString(result.Output)) +
         ",\"outcome\":\"" + OutcomeName(result.Outcome) + "\",\"reason\":\"" + ReasonName(result.Reason) +
         "\",\"seconds\":" + seconds + ",\"message\":" + JsonString(result.Message) + "}";
}

std::string JsonLine(const TTaskResult& result, const TRunFacts& facts) {
  std::string line = JsonLine(result);
  line.pop_back();
  char wall[32];
  std::snprintf(wall, sizeof wall, "%.3f", std::isfinite(result.WallSeconds) ? result.WallSeconds : 0.0);
  line += ",\"input_bytes\":" + std::to_string(result.InputBytes) +
          ",\"output_bytes\":" + std::to_string(result.OutputBytes) + ",\"wall_seconds\":" + wall +
          ",\"settings\":{\"bitrate\":" + std::to_string(facts.Bitrate) +
          ",\"vbr_max\":" + (facts.VbrMax > 0 ? std::to_string(facts.VbrMax) : std::string("null")) +
          ",\"rate\":" + std::to_string(facts.SampleRate) + ",\"mode\":" + JsonString(facts.Mode) +
          "},\"version\":" + JsonString(facts.Version) + ",\"host\":" + JsonString(facts.Host) + "}";
  return line;
}

std::string PlanJsonLine(const TEngineTask& task) {
  const bool refused = task.Refused != TReason::None;
  const char* outcome = refused ? "failed" : task.Skip ? "skipped" : "convert";
  const TReason reason = refused ? task.Refused : task.Skip ? TReason::Exists : TReason::None;
  const std::string& output = task.Task.OutputFile;
  return "{\"input\":" + JsonString(task.Task.SourceFile) +
         ",\"output\":" + (output.empty() || refused ? std::string("null") : JsonString(output)) +
         ",\"outcome\":\"" + outcome + "\",\"reason\":\"" + ReasonName(reason) +
         "\",\"replace\":" + (task.Replace ? "true" : "false") + ",\"message\":" + JsonString(task.Problem) +
         "}";
}

std::string ClockText(int64_t milliseconds) {
  const int64_t s = milliseconds < 0 ? 0 : milliseconds / 1000;
  char text[32];
  std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", (long long)(s / 3600), (long long)(s / 60 % 60),
                (long long)(s % 60));
  return text;
}

std::string ProgressLineText(const TRunSnapshot& progress, int64_t elapsedMs) {
  // The running files count by the part read so far.
  int64_t converted = progress.ConvertedHns;
  double workDone = progress.WorkEnded;
  for (const TRunningTask& task : progress.Running) {
    converted += task.PositionHns;
    if (task.DurationHns > 0)
      workDone += std::clamp(double(task.PositionHns) / double(task.DurationHns), 0.0, 1.0);
  }
  std::string text = std::to_string(progress.Ended) + " of " + std::to_string(progress.Total) +
                     (progress.Total == 1 ? " file, " : " files, ") + ClockText(converted / 10000) +
                     " of audio converted";
  const double left = progress.Work - workDone;
  if (workDone > 0 && left > 0 && elapsedMs > 0) {
    const double ms = double(elapsedMs) / workDone * left;
    if (std::isfinite(ms) && ms < 1e15) text += ", about " + ClockText(int64_t(ms)) + " left";
  }
  return text;
}

std::string SummaryText(const TRunEngine& run, int total) {
  std::string text = std::to_string(total) + (total == 1 ? " file: " : " files: ");
  bool first = true;
  for (const TOutcome outcome : {TOutcome::Converted, TOutcome::Short, TOutcome::Skipped, TOutcome::Failed}) {
    if (run.Count(outcome) == 0 && outcome != TOutcome::Converted) continue;
    text += (first ? "" : ", ") + std::to_string(run.Count(outcome)) + " " + OutcomeName(outcome);
    first = false;
  }
  return text;
}

int BatchExitStatus(const std::vector<TTaskResult>& outcomes) {
  const auto any = [&](auto&& test) { return std::any_of(outcomes.begin(), outcomes.end(), test); };
  // A retry may help these: a scheduler tells them from inputs that will never convert.
  if (any([](const TTaskResult& r) { return r.Outcome == TOutcome::Failed && IsOutputOrSystem(r.Reason); }))
    return 4;
  if (any([](const TTaskResult& r) { return r.Outcome == TOutcome::Failed; })) return 1;
  if (any([](const TTaskResult& r) { return r.Outcome == TOutcome::Short; })) return 3;
  return 0;
}

int BatchExitStatus(const TRunEngine& run) { return BatchExitStatus(run.Outcomes()); }
