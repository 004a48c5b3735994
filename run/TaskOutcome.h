#pragma once
// Whether a finished task gave the audio its file states: a file cut by a failed download, or damaged,
// converts to far less, and that is no success.
#include <cstdint>
#include <optional>
#include <string>

#include "audio/FileStream.h"
#include "run/RunOutcome.h"

class TDX9In;

// The audio the input has delivered so far, in 100-ns units.
int64_t DeliveredDuration(const TDX9In& input);

// Far less audio than a known duration: under 90 % of it and at least 2 s short. False when the
// duration is unknown (0).
bool IsFarShort(int64_t decoded, int64_t stated);

// "The file "…" looks cut or damaged: its MP3 file holds only its first 0:18 of 0:03:02."
std::string ShortOutputWarning(const std::string& source, int64_t decoded, int64_t stated);

// What the run tells of a finished task that fell far short, or that is whole but not what it seems.
struct TTaskNotice {
  bool Playable = true;  // false: the MP3 could not be played and was removed; the task failed
  std::string Text;
  TOutcome Outcome = TOutcome::Short;
  TReason Reason = TReason::Cut;
};

// Judges a task the sink finished completely (not one that was stopped): nothing when it gave the audio
// its file states, or states no duration. A far-short MP3 stays, unless no reader can play it: then
// it is removed, if it still is the file the sink created.
std::optional<TTaskNotice> JudgeFinishedTask(const TDX9In& input, int64_t statedDuration,
                                             const std::string& source, const std::string& output,
                                             const TFileIdentity& created);

// "The file "…" looks cut: its best-quality stream ends early, so its lower-rate stream, which holds more
// of the audio, was converted." A multi-rate file read from a lower-rate stream because its best one is
// cut converts at a lower quality than the file promises: the user is told so, not left to hear it.
std::string LowerRateNote(const std::string& source);

// The notice of a task that converted whole from a lower-rate stream (outcome converted, reason
// lower-rate); nothing for any other.
std::optional<TTaskNotice> JudgeStreamTaken(const TDX9In& input, const std::string& source);
