#pragma once
// What a command-line run converts: its inputs expanded into one job per file (folders walked as the
// window walks a dropped folder), each with the MP3 file it writes.
#include <string>
#include <vector>

#include "convert/BatchOptions.h"

struct TBatchJob {
  std::string Source;    // the file as given or as found in a walked folder
  std::string Output;    // the final MP3 path; empty when Problem is set
  std::string Problem;   // why it cannot be converted at all (a missing input, an unreadable folder)
  bool Skip = false;     // an MP3 of that name exists and is left as it is (--skip-existing)
  bool Replace = false;  // an MP3 put at Output meanwhile is replaced (--overwrite)
};

// One job per input file in the order given, each folder's files in the walk's order; a file met
// twice (named twice, or inside a folder named too) is converted once. Output names follow
// options.Existing: the window's numbering past existing files and the run's other outputs, or,
// for Skip and Overwrite, numbering past the run's other outputs only, so a rerun plans the same
// names.
std::vector<TBatchJob> PlanBatch(const TBatchOptions& options, const std::vector<std::string>& extensions);
