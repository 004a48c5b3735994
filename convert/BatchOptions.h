#pragma once
// The command line of the converter without a window: what to convert, where to, with which MP3
// settings, and how to treat MP3 files that already exist.
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

struct TDefaultSettings;

// What happens when an MP3 of the planned name exists already.
enum class TExistingOutput {
  Number,     // the window's rule: song(2).mp3, song(3).mp3, ...
  Skip,       // the existing MP3 stays as it is; the input is reported as skipped
  Overwrite,  // the existing MP3 is replaced
};

struct TBatchOptions {
  std::vector<std::string> Inputs;                 // files and folders, in the order given
  std::string OutputDir;                           // with a trailing "/"; empty: each MP3 next to its input
  std::optional<int32_t> Bitrate;                  // kbps, one of the bitrate table's
  std::optional<std::pair<int32_t, int32_t>> Vbr;  // lowest and highest kbps
  std::optional<int32_t> SampleRate;               // Hz
  std::optional<int32_t> ChannelMode;              // a task's index: 0 dual, 1 stereo, 2 joint, 3 mono
  int32_t Jobs = 0;                                // files at once; 0: one per core
  TExistingOutput Existing = TExistingOutput::Number;
  bool Quiet = false;
  bool Json = false;
  bool Help = false;
  bool Version = false;
};

struct TParsedCommandLine {
  TBatchOptions Options;
  std::string Error;  // a usage error, one line; empty when the command line is sound
};

// arguments: the command line without the program's name. After "--" every argument is an input.
TParsedCommandLine ParseBatchCommandLine(const std::vector<std::string>& arguments);

// The MP3 settings of the run's tasks: the saved defaults with the command line's values over them.
void ApplyOptionsToDefaults(const TBatchOptions& options, TDefaultSettings& defaults);

// The text of --help.
std::string BatchHelpText(const std::string& program);
