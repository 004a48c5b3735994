#pragma once
// The command line of the converter without a window: what to convert, where to, with which MP3
// settings, and how to treat MP3 files that already exist.
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "run/BatchPlan.h"

struct TDefaultSettings;

struct TBatchOptions : TBatchInputs {
  std::optional<int32_t> Bitrate;                  // kbps, one of the bitrate table's
  std::optional<std::pair<int32_t, int32_t>> Vbr;  // lowest and highest kbps
  std::optional<int32_t> SampleRate;               // Hz
  std::optional<int32_t> ChannelMode;              // a task's index: 0 dual, 1 stereo, 2 joint, 3 mono
  int32_t Jobs = 0;                                // files at once; 0: one per core
  int32_t Cores = 0;                               // the most cores the process uses; 0: its share
  std::string FilesFrom;                           // a file listing inputs ("-": standard input)
  bool Null = false;                               // that list is NUL-separated, not one per line
  bool DryRun = false;
  bool NoSavedSettings = false;
  bool Quiet = false;
  bool Json = false;
  bool Help = false;
  bool Version = false;
};

struct TParsedCommandLine {
  TBatchOptions Options;
  std::string Error;  // a usage error, one line; empty when the command line is sound
};

// arguments: the command line without the program's name, as bytes. Short options bundle (-qj1);
// after "--" every argument is an input.
TParsedCommandLine ParseBatchCommandLine(const std::vector<std::string>& arguments);

// Appends the inputs the --files-from list names (none when it is not given); returns why it cannot
// be read, empty when it could. Empty lines (or names, with --null) are passed over.
std::string ReadInputList(TBatchOptions& options);

// The MP3 settings of the run's tasks: the saved defaults with the command line's values over them.
void ApplyOptionsToDefaults(const TBatchOptions& options, TDefaultSettings& defaults);

// The text of --help.
std::string BatchHelpText(const std::string& program);
