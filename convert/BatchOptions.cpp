#include "convert/BatchOptions.h"

#include <algorithm>
#include <climits>

#include "core/Settings.h"
#include "core/TaskList.h"

namespace {

constexpr int32_t kSampleRates[] = {32000, 44100, 48000};
constexpr int32_t kMostJobs = 256;

// The channel modes by their command-line names, with the task's index for each.
struct ModeName {
  const char* name;
  int32_t index;
};
constexpr ModeName kModes[] = {{"stereo", 1}, {"joint", 2}, {"dual", 0}, {"mono", 3}};

std::string Joined(const int32_t* first, const int32_t* last) {
  std::string text;
  for (const int32_t* v = first; v != last; ++v) text += (text.empty() ? "" : ", ") + std::to_string(*v);
  return text;
}

std::string BitrateChoices() { return Joined(MP3Bitrates.data(), MP3Bitrates.data() + MP3Bitrates.size()); }

// A plain decimal number that fits 32 bits: no sign, no blanks, no other characters.
std::optional<int32_t> WholeNumber(const std::string& text) {
  if (text.empty() || text.size() > 10) return std::nullopt;
  long long value = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
  }
  if (value > INT_MAX) return std::nullopt;
  return int32_t(value);
}

bool IsBitrate(std::optional<int32_t> kbps) {
  return kbps && std::find(MP3Bitrates.begin(), MP3Bitrates.end(), *kbps) != MP3Bitrates.end();
}

using Apply = std::string (*)(const std::string& value, TBatchOptions& options);

struct OptionSpec {
  const char* longName;
  char shortName;  // 0: none
  bool takesValue;
  Apply apply;                          // returns the usage error, empty when the value is sound
  bool TBatchOptions::*flag = nullptr;  // or, for an option without a value: the switch it sets
};

std::string SetOutputDir(const std::string& value, TBatchOptions& options) {
  if (value.empty()) return "-o needs a folder";
  options.OutputDir = value.back() == '/' ? value : value + "/";
  return {};
}

std::string SetBitrate(const std::string& value, TBatchOptions& options) {
  const auto kbps = WholeNumber(value);
  if (!IsBitrate(kbps))
    return "--bitrate " + value + " is not one of the bitrates " + BitrateChoices() + " (kbps)";
  options.Bitrate = *kbps;
  return {};
}

std::string SetVbr(const std::string& value, TBatchOptions& options) {
  const auto dash = value.find('-');
  const auto low = dash == std::string::npos ? std::nullopt : WholeNumber(value.substr(0, dash));
  const auto high = dash == std::string::npos ? std::nullopt : WholeNumber(value.substr(dash + 1));
  if (!IsBitrate(low) || !IsBitrate(high)) {
    return "--vbr " + value + " is not MIN-MAX of the bitrates " + BitrateChoices() + " (kbps)";
  }
  options.Vbr = std::make_pair(*low, *high);
  return {};
}

std::string SetRate(const std::string& value, TBatchOptions& options) {
  const auto hz = WholeNumber(value);
  if (!hz || std::find(std::begin(kSampleRates), std::end(kSampleRates), *hz) == std::end(kSampleRates)) {
    return "--rate " + value + " is not one of the sample rates " +
           Joined(std::begin(kSampleRates), std::end(kSampleRates)) + " (Hz)";
  }
  options.SampleRate = *hz;
  return {};
}

std::string SetMode(const std::string& value, TBatchOptions& options) {
  for (const ModeName& mode : kModes) {
    if (value == mode.name) {
      options.ChannelMode = mode.index;
      return {};
    }
  }
  return "--mode " + value + " is not one of the channel modes stereo, joint, dual, mono";
}

std::string SetJobs(const std::string& value, TBatchOptions& options) {
  const auto jobs = WholeNumber(value);
  if (!jobs || *jobs < 1 || *jobs > kMostJobs) {
    return "--jobs " + value + " is not a number of files from 1 to " + std::to_string(kMostJobs);
  }
  options.Jobs = *jobs;
  return {};
}

const OptionSpec kOptions[] = {
    {"output", 'o', true, &SetOutputDir},
    {"bitrate", 0, true, &SetBitrate},
    {"vbr", 0, true, &SetVbr},
    {"rate", 0, true, &SetRate},
    {"mode", 0, true, &SetMode},
    {"jobs", 'j', true, &SetJobs},
    {"skip-existing", 0, false,
     [](const std::string&, TBatchOptions& o) {
       o.Existing = TExistingOutput::Skip;
       return std::string();
     }},
    {"overwrite", 0, false,
     [](const std::string&, TBatchOptions& o) {
       o.Existing = TExistingOutput::Overwrite;
       return std::string();
     }},
    {"quiet", 'q', false, nullptr, &TBatchOptions::Quiet},
    {"json", 0, false, nullptr, &TBatchOptions::Json},
    {"help", 'h', false, nullptr, &TBatchOptions::Help},
    {"version", 0, false, nullptr, &TBatchOptions::Version},
};

const OptionSpec* FindLong(const std::string& name) {
  for (const OptionSpec& spec : kOptions)
    if (name == spec.longName) return &spec;
  return nullptr;
}

const OptionSpec* FindShort(char name) {
  for (const OptionSpec& spec : kOptions)
    if (spec.shortName != 0 && name == spec.shortName) return &spec;
  return nullptr;
}

// How a usage error names the option: -o by its letter, the others by their long names.
std::string Shown(const OptionSpec& spec) {
  return std::string(spec.longName) == "output" ? "-o" : "--" + std::string(spec.longName);
}

}  // namespace

TParsedCommandLine ParseBatchCommandLine(const std::vector<std::string>& arguments) {
  TParsedCommandLine parsed;
  TBatchOptions& options = parsed.Options;
  bool onlyInputs = false;
  bool bitrateSeen = false, vbrSeen = false, skipSeen = false, overwriteSeen = false;
  for (size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    if (onlyInputs || argument.size() < 2 || argument[0] != '-') {
      options.Inputs.push_back(argument);
      continue;
    }
    if (argument == "--") {
      onlyInputs = true;
      continue;
    }
    const OptionSpec* spec = nullptr;
    std::optional<std::string> value;
    if (argument[1] == '-') {
      const auto equals = argument.find('=');
      spec = FindLong(argument.substr(2, equals == std::string::npos ? std::string::npos : equals - 2));
      if (equals != std::string::npos) value = argument.substr(equals + 1);
    } else {
      spec = FindShort(argument[1]);
      if (argument.size() > 2) value = argument.substr(2);
    }
    if (!spec || (!spec->takesValue && value && argument[1] != '-')) {
      parsed.Error = "unknown option '" + argument + "'";
      return parsed;
    }
    if (!spec->takesValue && value) {
      parsed.Error = Shown(*spec) + " takes no value";
      return parsed;
    }
    if (spec->takesValue && !value) {
      if (i + 1 >= arguments.size()) {
        parsed.Error = Shown(*spec) + " needs a value";
        return parsed;
      }
      value = arguments[++i];
    }
    if (spec->flag)
      options.*(spec->flag) = true;
    else
      parsed.Error = spec->apply(value.value_or(std::string()), options);
    if (!parsed.Error.empty()) return parsed;
    const std::string name = spec->longName;
    bitrateSeen |= name == "bitrate";
    vbrSeen |= name == "vbr";
    skipSeen |= name == "skip-existing";
    overwriteSeen |= name == "overwrite";
  }
  if (bitrateSeen && vbrSeen) {
    parsed.Error = "--bitrate and --vbr cannot be used together";
  } else if (skipSeen && overwriteSeen) {
    parsed.Error = "--skip-existing and --overwrite cannot be used together";
  } else if (options.Inputs.empty() && !options.Help && !options.Version) {
    parsed.Error = "no input: name the files or folders to convert";
  }
  return parsed;
}

void ApplyOptionsToDefaults(const TBatchOptions& options, TDefaultSettings& defaults) {
  if (options.Bitrate) {
    defaults.AudioBitrate = *options.Bitrate;
    defaults.AudioVBR = false;
  }
  if (options.Vbr) {
    defaults.AudioVbrMinBitrate = options.Vbr->first;
    defaults.AudioVbrMaxBitrate = options.Vbr->second;
    defaults.AudioVBR = true;
  }
  if (options.SampleRate) defaults.AudioSampleRate = *options.SampleRate;
  if (options.ChannelMode) defaults.AudioChannels = *options.ChannelMode;
}

std::string BatchHelpText(const std::string& program) {
  return "Usage: " + program +
         " [OPTIONS] INPUT...\n"
         "Converts the audio of RealMedia files (.rm .rma .ra .rmvb) into MP3 files, as the Tolvane\n"
         "window does. An INPUT is a file or a folder; a folder is walked for RealMedia files, hidden\n"
         "ones left out.\n"
         "\n"
         "  -o, --output DIR     write the MP3 files under DIR, a walked folder's tree kept;\n"
         "                       by default each MP3 goes next to its input\n"
         "      --bitrate KBPS   constant bitrate: " +
         BitrateChoices() +
         "\n"
         "      --vbr MIN-MAX    variable bitrate between two of those bitrates\n"
         "      --rate HZ        output sample rate: 32000, 44100, 48000\n"
         "      --mode MODE      channel mode: stereo, joint, dual, mono\n"
         "  -j, --jobs N         files converted at once (default: one per core)\n"
         "      --skip-existing  leave an existing MP3 of the same name as it is (reported as skipped)\n"
         "      --overwrite      replace an existing MP3 of the same name\n"
         "                       (default: a numbered name, song(2).mp3)\n"
         "  -q, --quiet          no progress line and no summary\n"
         "      --json           one JSON object per input on standard output as it ends\n"
         "  -h, --help           this text\n"
         "      --version        the program's version\n"
         "\n"
         "Settings not given come from the MP3 settings the window saved last.\n"
         "Each MP3 is written as a hidden .NAME.mp3.part beside its final name and renamed when complete.\n"
         "Exit status: 0 all converted or skipped, 3 some converted far short of their stated length\n"
         "(none failed), 1 some failed, 2 a usage error.\n";
}
