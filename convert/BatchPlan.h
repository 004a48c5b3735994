#pragma once
// What a command-line run converts: its inputs expanded into one job per file (folders walked as the
// window walks a dropped folder), each with the MP3 file it writes.
#include <string>
#include <vector>

#include "convert/BatchOptions.h"

struct TBatchJob {
  std::string Source;    // the file as given or as found in a walked folder
  std::string Output;    // the final MP3 path; empty when it is refused before it is planned
  std::string Problem;   // why it cannot be converted at all (a missing input, an unreadable folder)
  std::string Reason;    // Problem's code: "missing", "not-regular", "unreadable-folder", "clash", ...
  bool Skip = false;     // a finished MP3 of that name exists and is left as it is (--skip-existing)
  bool Replace = false;  // an MP3 put at Output is replaced (--overwrite; or an unfinished one)
};

// One job per input file in the order given, each folder's files in the walk's order; a file named
// twice by the same path (named twice, or inside a folder named too) is converted once, while each
// other name of one file (a hard or symbolic link) gets its own MP3.
//
// Output names: next to each input without options.OutputDir; with it, a named file's MP3 goes
// straight into it and a walked folder's tree into a folder of that folder's own name there
// (-o out A B: out/A/..., out/B/...). options.Existing Number goes on with the window's numbering
// past existing files and the run's other outputs; Skip and Overwrite plan every name from its own
// input alone, the same on every machine and rerun, and refuse with reason "clash" every input
// whose MP3 name another input of the run would also have (talk.rm and talk.ra).
std::vector<TBatchJob> PlanBatch(const TBatchOptions& options, const std::vector<std::string>& extensions);

// Whether the MP3 at mp3 is a finished conversion of source that --skip-existing leaves: a regular,
// non-empty file no older than source.
bool IsFinishedMP3(const std::string& mp3, const std::string& source);

// Decides Skip and Replace again from what is on disk now. The run calls it just before a job's task
// starts, so that an MP3 another machine finished meanwhile is skipped, never numbered, and an
// unfinished one is replaced.
void RecheckExisting(TBatchJob& job, TExistingOutput existing);
