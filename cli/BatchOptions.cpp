#include "cli/BatchOptions.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <memory>

#include <QCommandLineParser>
#include <QStringList>

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

std::string SetCores(const std::string& value, TBatchOptions& options) {
  const auto cores = WholeNumber(value);
  if (!cores || *cores < 1 || *cores > kMostJobs) {
    return "--cores " + value + " is not a number of cores from 1 to " + std::to_string(kMostJobs);
  }
  options.Cores = *cores;
  return {};
}

std::string SetFilesFrom(const std::string& value, TBatchOptions& options) {
  if (value.empty()) return "--files-from needs a file";
  options.FilesFrom = value;
  return {};
}

std::string SetSkip(const std::string&, TBatchOptions& options) {
  options.Existing = TExistingOutput::Skip;
  return {};
}

std::string SetOverwrite(const std::string&, TBatchOptions& options) {
  options.Existing = TExistingOutput::Overwrite;
  return {};
}

const OptionSpec kOptions[] = {
    {"output", 'o', true, &SetOutputDir},
    {"bitrate", 0, true, &SetBitrate},
    {"vbr", 0, true, &SetVbr},
    {"rate", 0, true, &SetRate},
    {"mode", 0, true, &SetMode},
    {"jobs", 'j', true, &SetJobs},
    {"cores", 0, true, &SetCores},
    {"files-from", 0, true, &SetFilesFrom},
    {"null", 0, false, nullptr, &TBatchOptions::Null},
    {"dry-run", 0, false, nullptr, &TBatchOptions::DryRun},
    {"no-saved-settings", 0, false, nullptr, &TBatchOptions::NoSavedSettings},
    {"skip-existing", 0, false, &SetSkip},
    {"overwrite", 0, false, &SetOverwrite},
    {"quiet", 'q', false, nullptr, &TBatchOptions::Quiet},
    {"json", 0, false, nullptr, &TBatchOptions::Json},
    {"help", 'h', false, nullptr, &TBatchOptions::Help},
    {"version", 0, false, nullptr, &TBatchOptions::Version},
};

// How a usage error names the option: -o by its letter, the others by their long names.
std::string Shown(const OptionSpec& spec) {
  return std::string(spec.longName) == "output" ? "-o" : "--" + std::string(spec.longName);
}

// Arguments are bytes (a file name need not be UTF-8): each byte is carried as one character of
// the same value, so every value comes back byte for byte.
QString Carried(const std::string& bytes) {
  return QString::fromLatin1(bytes.data(), qsizetype(bytes.size()));
}
std::string Bytes(const QString& carried) { return carried.toLatin1().toStdString(); }

const OptionSpec* Named(const QString& name) {
  for (const OptionSpec& spec : kOptions)
    if (name == QLatin1String(spec.longName) || (spec.shortName && name == QChar(spec.shortName)))
      return &spec;
  return nullptr;
}

// The parser's own complaint, in this program's words: the option it names, by how it was given.
std::string UsageError(const QCommandLineParser& parser) {
  if (!parser.unknownOptionNames().isEmpty()) {
    const QString name = parser.unknownOptionNames().first();
    return "unknown option '" + std::string(name.size() == 1 ? "-" : "--") + Bytes(name) + "'";
  }
  const QString text = parser.errorText();
  const qsizetype open = text.indexOf('\''), close = text.lastIndexOf('\'');
  QString given = open >= 0 && close > open ? text.mid(open + 1, close - open - 1) : QString();
  given = given.section('=', 0, 0);
  while (given.startsWith('-')) given.remove(0, 1);
  const OptionSpec* spec = Named(given);
  if (!spec) return Bytes(text);
  return Shown(*spec) + (spec->takesValue ? " needs a value" : " takes no value");
}

}  // namespace

TParsedCommandLine ParseBatchCommandLine(const std::vector<std::string>& arguments) {
  TParsedCommandLine parsed;
  TBatchOptions& options = parsed.Options;
  QCommandLineParser parser;
  parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsCompactedShortOptions);
  std::vector<QCommandLineOption> declared;
  for (const OptionSpec& spec : kOptions) {
    QStringList names;
    if (spec.shortName) names << QString(QChar(spec.shortName));
    names << QString::fromLatin1(spec.longName);
    declared.emplace_back(names);
    if (spec.takesValue) declared.back().setValueName("VALUE");
    parser.addOption(declared.back());
  }
  QStringList carried{QStringLiteral("tolvane-convert")};
  for (const std::string& argument : arguments) carried << Carried(argument);
  if (!parser.parse(carried)) {
    parsed.Error = UsageError(parser);
    return parsed;
  }
  for (size_t at = 0; at < declared.size(); ++at) {
    const OptionSpec& spec = kOptions[at];
    if (!parser.isSet(declared[at])) continue;
    if (spec.flag) {
      options.*(spec.flag) = true;
      continue;
    }
    const QStringList values = spec.takesValue ? parser.values(declared[at]) : QStringList{QString()};
    for (const QString& value : values) {
      parsed.Error = spec.apply(Bytes(value), options);
      if (!parsed.Error.empty()) return parsed;
    }
  }
  for (const QString& input : parser.positionalArguments()) options.Inputs.push_back(Bytes(input));
  const auto given = [&](const char* name) { return parser.isSet(QString::fromLatin1(name)); };
  if (given("bitrate") && given("vbr")) {
    parsed.Error = "--bitrate and --vbr cannot be used together";
  } else if (given("skip-existing") && given("overwrite")) {
    parsed.Error = "--skip-existing and --overwrite cannot be used together";
  } else if (given("null") && !given("files-from")) {
    parsed.Error = "--null needs --files-from";
  } else if (options.Inputs.empty() && options.FilesFrom.empty() && !options.Help && !options.Version) {
    parsed.Error = "no input: name the files or folders to convert";
  }
  return parsed;
}

std::string ReadInputList(TBatchOptions& options) {
  if (options.FilesFrom.empty()) return {};
  const bool fromStdin = options.FilesFrom == "-";
  std::unique_ptr<FILE, int (*)(FILE*)> file(fromStdin ? stdin : std::fopen(options.FilesFrom.c_str(), "rb"),
                                             fromStdin ? [](FILE*) { return 0; } : &std::fclose);
  if (!file) return "the list \"" + options.FilesFrom + "\" cannot be read (" + std::strerror(errno) + ")";
  const int separator = options.Null ? '\0' : '\n';
  std::string name;
  for (int c; (c = std::getc(file.get())) != EOF;) {
    if (c != separator) {
      name += char(c);
      continue;
    }
    if (!name.empty()) options.Listed.push_back(name);
    name.clear();
  }
  if (std::ferror(file.get())) {
    return "the list \"" + options.FilesFrom + "\" cannot be read (" + std::strerror(errno) + ")";
  }
  if (!name.empty()) options.Listed.push_back(name);
  return {};
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
         "  -j, --jobs N         files converted at once (default: one per core, at most --cores)\n"
         "      --cores N        the most cores the process uses, its files and their segment\n"
         "                       helpers together (default: the cores it may run on, or\n"
         "                       SLURM_CPUS_PER_TASK where set); -j 1 --cores 1: one encoding thread\n"
         "      --files-from FILE  also convert the inputs FILE names, one a line (-: standard input)\n"
         "      --null           the --files-from list is separated by NUL bytes (find -print0)\n"
         "      --dry-run        tell what would be done (as JSON lines with --json); write nothing\n"
         "      --no-saved-settings  the built-in MP3 settings, not the window's saved ones, so\n"
         "                       every machine converts alike\n"
         "      --skip-existing  leave an existing MP3 of the same name as it is (reported as skipped)\n"
         "      --overwrite      replace an existing MP3 of the same name\n"
         "                       (default: a numbered name, song(2).mp3)\n"
         "  -q, --quiet          no progress line and no summary\n"
         "      --json           one JSON object per input on standard output as it ends\n"
         "                       (reason, bytes, wall seconds, MP3 settings, version, host)\n"
         "  -h, --help           this text\n"
         "      --version        the program's version\n"
         "\n"
         "Settings not given come from the MP3 settings the window saved last (the built-in ones\n"
         "with --no-saved-settings).\n"
         "Each MP3 is written as a hidden .NAME.mp3.HOST.PID.part beside its final name and renamed\n"
         "when complete.\n"
         "Exit status, the first that holds: 2 a usage error; 4 some file failed for a reason of the\n"
         "output side or the system (a retry may help), or standard output could not be written;\n"
         "1 some input cannot be converted (or a named folder holds no RealMedia file); 3 some\n"
         "converted far short of their stated length; 0 all converted or skipped.\n";
}
