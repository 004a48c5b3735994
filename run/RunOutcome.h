#pragma once
// How one task of a run ended: one record per task, with a reason from one fixed list, as both the
// window and the command line tell it.
#include <cstdint>
#include <string>

enum class TOutcome { Converted, Short, Skipped, Failed };

enum class TReason {
  None,          // converted
  Exists,        // skipped: its MP3 exists
  Missing,       // the input is gone
  NotAFile,      // a folder, FIFO or device
  Unreadable,    // cannot be opened or read
  NoAudio,       // no audio stream, or none decodes
  Damaged,       // broke while converting, or the MP3 is not playable
  Cut,           // far less audio than the file states (outcome short)
  OutputFolder,  // the output folder cannot be made
  OutputWrite,   // the MP3 cannot be written (disk full, permission)
  OutputLocked,  // its temporary file is held by another run
  Clash,         // two inputs would share one MP3
  SameAsInput,   // the MP3 would replace its own input
  NameTooLong,   // the MP3's name is too long for the file system
  Stopped,       // the run was stopped first
  NoThread,      // the system could not start a thread
  Encoder,       // the encoder refused the settings or failed
  LowerRate,     // converted from a lower-rate stream: the best one is cut (outcome converted)
};

// "converted", "short", "skipped", "failed".
const char* OutcomeName(TOutcome outcome);
// The reason's name as the JSON output spells it: "none", "exists", "not-a-file", ...
const char* ReasonName(TReason reason);
// The reasons that say nothing about the input: the output side or the system failed.
bool IsOutputOrSystem(TReason reason);

struct TTaskResult {
  int32_t Task = -1;  // the task's position in the run
  std::string Input;
  std::string Output;  // the MP3 file left behind; empty when none
  TOutcome Outcome = TOutcome::Failed;
  TReason Reason = TReason::None;
  std::string Message;         // what the user is told; empty for a plain success or a stop
  bool PartialOutput = false;  // failed, but an incomplete MP3 stays
  int64_t InputBytes = 0;
  int64_t OutputBytes = 0;
  double Seconds = 0;      // audio the MP3 holds
  double WallSeconds = 0;  // from the task's start to its end
};
