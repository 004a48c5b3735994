#pragma once
// What the run tells the user when a task fails, and how the end of a run is worded.
#include <string>

#include "audio/Snd_Classes.h"
#include "run/RunOutcome.h"

// Where in a task the failure arose: the run opening the source, the sink's Start (preparing the
// output, on the user-interface thread) or the conversion itself (on the sink's worker).
enum class TRunStage { Opening, Starting, Running };

// A failure of one task, copied out of the exception so that it outlives it.
struct TRunFailure {
  TSndFailure What = TSndFailure::Other;
  int SystemError = 0;
  std::string LibraryText;  // the exception's own message
  TRunStage Stage = TRunStage::Running;
};

// The reader's errors mean "cannot be opened" before the conversion runs and "damaged" while it runs.
TRunFailure DescribeFailure(const Exception& e, TRunStage stage);

// Why a source cannot be opened, by what is there now: missing, not a file, or unreadable.
TReason SourceReason(const std::string& source);

// The reason a failure stands for; a source that cannot be opened is told apart by what is there now.
TReason ReasonOf(const TRunFailure& failure, const std::string& source);

// The message for a skipped task: names the file (by its name alone where the library's text gives
// its whole path), says in plain words what happened and gives the library's own text in
// parentheses. partialOutput: an incomplete MP3 file was left behind.
std::string FailureMessage(const TRunFailure& failure, const std::string& source, const std::string& output,
                           bool partialOutput);

// The run cannot start a thread it needs (the system's limit is reached): it ends, and says so.
// reason: the system's own text.
std::string NoThreadMessage(const std::string& reason);

// The first line of the end-of-run message. partialTasks: tasks whose MP3 holds far less than their
// file states (cut or damaged files); with failed tasks they keep the run from full success.
std::string RunOutcomeText(bool canceled, int failedTasks, int checkedTasks, int partialTasks = 0);
