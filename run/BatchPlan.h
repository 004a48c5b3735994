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
  std::string OutputDir;            // with a trailing "/"; empty: each MP3 next to its input
  TExistingOutput Existing = TExistingOutput::Number;
};

// One task per input file in the order given, each folder's files in the walk's order; a name met
// twice (named twice, or inside a folder named too) is converted once, while two names of one file
// (hard links) are two tasks. A task that cannot be converted at all (a missing input, an unreadable
// folder) is refused with its reason. Output names follow Existing: the window's numbering past
// existing files and the run's other outputs, or, for Skip and Overwrite, numbering past the run's
// other outputs only, so a rerun plans the same names.
std::vector<TEngineTask> PlanBatch(const TBatchInputs& inputs, const std::vector<std::string>& extensions);
