#include "run/TaskOutcome.h"

#include <cstdio>

#include "audio/PlayableMp3.h"
#include "audio/Snd_DX9.h"

namespace {

constexpr int64_t kHnsPerSecond = 10000000;
constexpr int64_t kShortfallFloor = 2 * kHnsPerSecond;  // shorter gaps are an encoder's rounding

// m:ss, or h:mm:ss from an hour on; whole seconds, rounded down (the MP3 holds no more than that).
std::string MinutesSeconds(int64_t hns) {
  const int64_t s = hns / kHnsPerSecond;
  char text[32];
  if (s >= 3600) {
    std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", (long long)(s / 3600), (long long)(s / 60 % 60),
                  (long long)(s % 60));
  } else {
    std::snprintf(text, sizeof text, "%lld:%02lld", (long long)(s / 60), (long long)(s % 60));
  }
  return text;
}

// h:mm:ss, rounded to the nearest second.
std::string HoursMinutesSeconds(int64_t hns) {
  const int64_t s = (hns + kHnsPerSecond / 2) / kHnsPerSecond;
  char text[32];
  std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", (long long)(s / 3600), (long long)(s / 60 % 60),
                (long long)(s % 60));
  return text;
}

}  // namespace

int64_t DeliveredDuration(const TDX9In& input) {
  const int64_t bytesPerSecond = int64_t(input.SampleRate) * input.Channels * (input.BitsPerSample / 8);
  if (bytesPerSecond <= 0) return 0;
  const int64_t bytes = input.Position.load();
  return bytes / bytesPerSecond * kHnsPerSecond + bytes % bytesPerSecond * kHnsPerSecond / bytesPerSecond;
}

bool IsFarShort(int64_t decoded, int64_t stated) {
  if (stated <= 0) return false;
  return decoded * 10 < stated * 9 && stated - decoded >= kShortfallFloor;
}

std::string ShortOutputWarning(const std::string& source, int64_t decoded, int64_t stated) {
  return "The file \"" + source + "\" looks cut or damaged: its MP3 file holds only its first " +
         MinutesSeconds(decoded) + " of " + HoursMinutesSeconds(stated) + ".";
}

std::optional<TTaskNotice> JudgeFinishedTask(const TDX9In& input, int64_t statedDuration,
                                             const std::string& source, const std::string& output,
                                             const TFileIdentity& created) {
  // The reader's duration is the file's own word; the task's is what the probe found when it was added.
  const TAudioFileReader* reader = input.Reader();
  const int64_t stated = reader && reader->StreamDuration() > 0 ? reader->StreamDuration() : statedDuration;
  const int64_t decoded = DeliveredDuration(input);
  if (!IsFarShort(decoded, stated)) return std::nullopt;
  TTaskNotice notice;
  if (IsPlayableMp3(output)) {
    notice.Text = ShortOutputWarning(source, decoded, stated);
    return notice;
  }
  // Too little for a playable MP3: a file no player opens is worth nothing to keep.
  notice.Playable = false;
  RemoveIfSameFile(output, created);
  notice.Text = "The file \"" + source + "\" looks cut or damaged: only its first " +
                MinutesSeconds(decoded) + " of " + HoursMinutesSeconds(stated) +
                " could be decoded, too little for a playable MP3 file.";
  return notice;
}

std::string LowerRateNote(const std::string& source) {
  return "The file \"" + source +
         "\" looks cut: its best-quality stream ends early, so its lower-rate stream, which holds more of "
         "the audio, was converted.";
}

std::optional<TTaskNotice> JudgeStreamTaken(const TDX9In& input, const std::string& source) {
  const TAudioFileReader* reader = input.Reader();
  if (!reader || !reader->TookLowerRateForCut()) return std::nullopt;
  TTaskNotice notice;
  notice.Text = LowerRateNote(source);
  notice.Outcome = TOutcome::Converted;
  notice.Reason = TReason::LowerRate;
  return notice;
}
