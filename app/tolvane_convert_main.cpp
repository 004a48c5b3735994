// tolvane-convert: the converter without a window, for scripts, servers and clusters. Converts files
// and folders given on the command line exactly as the window's conversion run does.
#include <sched.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

extern "C" {
#include <libavutil/log.h>
}

#include "audio/DecoderCheck.h"
#include "audio/lame.h"
#include "cli/BatchOptions.h"
#include "cli/BatchReport.h"
#include "core/FolderWalk.h"
#include "core/Profile.h"
#include "core/Settings.h"
#include "core/TaskList.h"
#include "run/BatchPlan.h"
#include "run/PartFile.h"
#include "run/RunEngine.h"

namespace {

constexpr const char* kProgram = "tolvane-convert";
// The window's variable for another encoder library file (tests point it at a missing one).
constexpr const char* kLameLibraryVariable = "TOLVANE_LAME_LIBRARY";

constexpr int kWaitMs = 50;   // the longest a poll waits for a hand-over
constexpr int kTickMs = 200;  // how often the progress line is drawn

volatile std::sig_atomic_t stopSignal = 0;

void OnStopSignal(int signal) {
  if (stopSignal == 0) stopSignal = signal;
}

void CatchStopSignals() {
  struct sigaction action {};
  action.sa_handler = OnStopSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
    // A signal ignored from the start stays ignored: nohup, or a background job of a script.
    struct sigaction before {};
    if (sigaction(signal, nullptr, &before) == 0 && before.sa_handler == SIG_IGN) continue;
    sigaction(signal, &action, nullptr);
  }
  // A reader of --json that went away must not end the run with its temporary files left behind.
  std::signal(SIGPIPE, SIG_IGN);
}

// The cores this process may use: a scheduler's share where it tells one, else those it may run on
// (a cluster's job is often given fewer than the machine has).
int CoreCount() {
  if (const char* slurm = std::getenv("SLURM_CPUS_PER_TASK"); slurm && *slurm) {
    char* end = nullptr;
    const long cores = std::strtol(slurm, &end, 10);
    if (*end == '\0' && cores > 0 && cores < 4096) return int(cores);
  }
  cpu_set_t set;
  CPU_ZERO(&set);
  if (sched_getaffinity(0, sizeof set, &set) == 0 && CPU_COUNT(&set) > 0) return CPU_COUNT(&set);
  return std::max(1, int(std::thread::hardware_concurrency()));
}

std::string HostName() {
  char host[256] = {};
  return gethostname(host, sizeof host - 1) == 0 ? std::string(host) : std::string();
}

const char* ModeName(int32_t channels) {
  switch (channels) {
    case 0:
      return "dual";
    case 1:
      return "stereo";
    case 2:
      return "joint";
    default:
      return "mono";
  }
}

TRunFacts FactsOf(const TDefaultSettings& settings) {
  TRunFacts facts;
  facts.Bitrate = settings.AudioVBR ? settings.AudioVbrMinBitrate : settings.AudioBitrate;
  facts.VbrMax = settings.AudioVBR ? settings.AudioVbrMaxBitrate : 0;
  facts.SampleRate = settings.AudioSampleRate;
  facts.Mode = ModeName(settings.AudioChannels);
  facts.Version = TOLVANE_VERSION;
  facts.Host = HostName();
  return facts;
}

// A line of --json; false once standard output cannot take it (a full disk, a closed pipe).
bool PrintLine(const std::string& text) {
  return std::fputs((text + "\n").c_str(), stdout) >= 0 && std::fflush(stdout) == 0 && !std::ferror(stdout);
}

// --dry-run: the plan as it stands, nothing written; the exit status the run would start from.
int ShowPlan(const std::vector<TEngineTask>& tasks, bool json) {
  std::vector<TTaskResult> refused;
  for (const TEngineTask& task : tasks) {
    const std::string& source = task.Task.SourceFile;
    bool written = true;
    if (json) {
      written = PrintLine(PlanJsonLine(task));
    } else if (task.Refused != TReason::None) {
      written = PrintLine(source + ": " + task.Problem);
    } else {
      written = PrintLine(source + " -> " + task.Task.OutputFile +
                          (task.Skip      ? " (exists: skipped)"
                           : task.Replace ? " (replaced)"
                                          : ""));
    }
    if (!written) {
      std::fprintf(stderr, "%s: standard output cannot be written (%s)\n", kProgram, std::strerror(errno));
      return 4;
    }
    if (task.Refused != TReason::None) {
      TTaskResult result;
      result.Reason = task.Refused;
      refused.push_back(result);
    }
  }
  return BatchExitStatus(refused);
}

std::string ExecutablePath() {
  char path[PATH_MAX];
  const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
  return length > 0 ? std::string(path, size_t(length)) : std::string();
}

// One line on a terminal, redrawn in place and cut to the terminal's width.
class ProgressLine {
 public:
  explicit ProgressLine(bool enabled) : enabled_(enabled && isatty(STDERR_FILENO)) {}
  void Show(const std::string& text) {
    if (!enabled_) return;
    winsize size{};
    const size_t width =
        ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 1 ? size.ws_col - 1 : 79;
    std::fprintf(stderr, "\r%s\x1b[K", text.substr(0, width).c_str());
    std::fflush(stderr);
    shown_ = true;
  }
  void Clear() {
    if (!shown_) return;
    std::fputs("\r\x1b[K", stderr);
    std::fflush(stderr);
    shown_ = false;
  }

 private:
  const bool enabled_;
  bool shown_ = false;
};

int Convert(const TBatchOptions& options) {
  if (!DirectShowPresent()) {
    std::fprintf(stderr, "%s: %s\n", kProgram, DirectShowMissingMessage);
    return 1;
  }
  if (const char* library = std::getenv(kLameLibraryVariable); library && *library)
    SetLameLibraryFile(library);
  SetProgramDir(ExecutablePath());
  AssignProductProfile();
  FillBitrateTable();
  // The MP3 settings the window saved last: only read, so a thousand jobs never rewrite the file.
  if (!options.NoSavedSettings) ReadSavedSettings();
  TDefaultSettings defaults = options.NoSavedSettings ? TDefaultSettings{} : DefaultSettings;
  ApplyOptionsToDefaults(options, defaults);
  const TRunFacts facts = FactsOf(defaults);

  const std::vector<TEngineTask> tasks = PlanBatch(options, FilterExtensions(OpenFilter));
  if (options.DryRun) return ShowPlan(tasks, options.Json);
  const int cores = options.Cores > 0 ? options.Cores : CoreCount();
  const auto start = std::chrono::steady_clock::now();
  ProgressLine line(!options.Quiet);
  bool finished = false;
  bool outputLost = false;
  int status = 0;
  try {
    TRunEngine run;
    run.OnTaskEnded = [&](int32_t, const TTaskResult& result) {
      // What ends once a stop was asked for is not told: the run is being cut short.
      if (run.Stopping()) return;
      // The progress line gives way only to a line of its own terminal; the next tick draws it again.
      const bool tell = !result.Message.empty() && result.Outcome != TOutcome::Skipped;
      if (tell || (options.Json && isatty(STDOUT_FILENO))) line.Clear();
      if (tell) std::fprintf(stderr, "%s: %s\n", kProgram, result.Message.c_str());
      // Lines a script cannot read end the run as a stop would: nothing it did goes untold.
      if (options.Json && !PrintLine(JsonLine(result, facts)) && !outputLost) {
        outputLost = true;
        std::fprintf(stderr, "%s: standard output cannot be written (%s)\n", kProgram, std::strerror(errno));
      }
    };
    TEngineSetup setup;
    // The files at once are within the cores too: the rest of the budget goes to segment helpers.
    setup.ParallelTasks = std::min(options.Jobs > 0 ? options.Jobs : cores, cores);
    setup.Cores = cores;
    setup.ViaPartFile = true;
    setup.ProbeWith = defaults;
    // An MP3 another machine finished meanwhile is skipped, never numbered.
    setup.Recheck = [existing = options.Existing](TEngineTask& task) { RecheckExisting(task, existing); };
    setup.NumberPastTaken = options.Existing == TExistingOutput::Number;
    SetPartFileWarning([&line](const std::string& text) {
      line.Clear();
      std::fprintf(stderr, "%s: %s\n", kProgram, text.c_str());
    });
    run.Start(tasks, setup);
    auto nextTick = start;
    // The sinks' and threads' hand-overs are served in Poll; it waits a little for them.
    while (run.Poll(kWaitMs)) {
      if ((stopSignal != 0 || outputLost) && !run.Stopping()) run.Stop();
      const auto now = std::chrono::steady_clock::now();
      if (now < nextTick) continue;
      line.Show(ProgressLineText(run.Snapshot(),
                                 std::chrono::duration_cast<std::chrono::milliseconds>(now - start).count()));
      nextTick = now + std::chrono::milliseconds(kTickMs);
    }
    SetPartFileWarning(nullptr);
    finished = !run.Stopping();
    line.Clear();
    if (finished && !options.Quiet) std::fprintf(stderr, "%s\n", SummaryText(run, int(tasks.size())).c_str());
    status = BatchExitStatus(run);
  } catch (const std::exception& e) {
    SetPartFileWarning(nullptr);
    line.Clear();
    std::fprintf(stderr, "%s: %s\n", kProgram, e.what());
    return 1;
  }
  if (finished) return status;
  if (outputLost) {
    if (!options.Quiet)
      std::fprintf(stderr, "%s: stopped; the MP3 files being written were removed\n", kProgram);
    return 4;
  }
  // The running tasks' temporary files are gone; the signal ends the process as it would have.
  const int signal = stopSignal;
  std::fprintf(stderr, "%s: stopped; the MP3 files being written were removed\n", kProgram);
  std::signal(signal, SIG_DFL);
  std::raise(signal);
  return 128 + signal;
}

}  // namespace

int main(int argc, char** argv) {
  CatchStopSignals();
  const TParsedCommandLine parsed = ParseBatchCommandLine(std::vector<std::string>(argv + 1, argv + argc));
  if (!parsed.Error.empty()) {
    std::fprintf(stderr, "%s: %s (see %s --help)\n", kProgram, parsed.Error.c_str(), kProgram);
    return 2;
  }
  if (parsed.Options.Help) {
    std::fputs(BatchHelpText(kProgram).c_str(), stdout);
    return 0;
  }
  if (parsed.Options.Version) {
    std::printf("%s %s\n", kProgram, TOLVANE_VERSION);
    return 0;
  }
  // The failures are told once each, in the run's own words: FFmpeg's complaints about damaged files
  // would bury them.
  av_log_set_level(AV_LOG_FATAL);
  TBatchOptions options = parsed.Options;
  if (const std::string problem = ReadInputList(options); !problem.empty()) {
    std::fprintf(stderr, "%s: %s\n", kProgram, problem.c_str());
    return 2;
  }
  return Convert(options);
}
