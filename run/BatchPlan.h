#pragma once
// What a command-line run converts: its inputs expanded into one job per file (folders walked as the
// window walks a dropped folder), each with the MP3 file it writes.
#include <string>
#include <vector>

#include "run/RunEngine.h"

// What happens when an MP3 of the planned name exists already.
enum class TExistingOutput {
  Number,     // the window's rule: song(2).mp3, song(3).mp3, ...
  Skip,       // the existing MP3 stays as it is; the input is reported as skipped
  Overwrite,  // the existing MP3 is replaced
};

struct TBatchInputs {
  std::vector<std::string> Inputs;  // files and folders, in the order given
  // Files and folders a list names, planned after Inputs; as rsync reads such a list, a relative
  // file name keeps its folder under OutputDir (a/b.rm: OutputDir/a/b.mp3).
  std::vector<std::string> Listed;
  std::string OutputDir;  // with a trailing "/"; empty: each MP3 next to its input
  TExistingOutput Existing = TExistingOutput::Number;
};

// One task per input file in the order given, each folder's files in the walk's order; a name met
// twice (named twice, or inside a folder named too) is converted once, while each other name of one
// file (a hard link) is a task of its own. A task that cannot be converted at all (a missing input, an
// unreadable folder) is refused with its reason.
//
// Output names: next to each input without OutputDir; with it, a named file's MP3 goes straight into
// it and a walked folder's tree into a folder of that folder's own name there (-o out A B: out/A/...,
// out/B/...). Existing Number goes on with the window's numbering past existing files and the run's
// other outputs; Skip and Overwrite plan every name from its own input alone, the same on every
// machine and rerun, and refuse with reason clash every input whose MP3 name another input would also
// have (talk.rm and talk.ra beside it, in the run or not).
std::vector<TEngineTask> PlanBatch(const TBatchInputs& inputs, const std::vector<std::string>& extensions);

// Whether mp3 is a finished conversion of source that --skip-existing leaves: a regular, non-empty
// file no older than source.
bool IsFinishedMP3(const std::string& mp3, const std::string& source);

// Decides Skip and Replace again from what is on disk now. The run calls it just before a task
// starts, so that an MP3 another machine finished meanwhile is skipped, never numbered, and an
// unfinished one is replaced.
void RecheckExisting(TEngineTask& job, TExistingOutput existing);
