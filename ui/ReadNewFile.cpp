#include "ui/ReadNewFile.h"

#include <pthread.h>
#include <sched.h>

#include <memory>
#include <system_error>

#include "core/Profile.h"
#include "core/Settings.h"
#include "core/TaskList.h"
#include "probe/ProbeMedia.h"
#include "ui/ThreadEndWait.h"
#include "ui/add.h"
#include "ui/lang.h"
#include "ui/msgbox.h"

namespace {

constexpr const char* kThreadRefused = "Thread can't be created while reading files!";

std::thread RealThread(std::function<void()> body) { return std::thread(std::move(body)); }

TProbeThreadFactory threadFactory = &RealThread;

// The highest priority of the thread's scheduling policy, as QThread::HighestPriority asks for. Under
// the ordinary time-sharing policy that range is a single value and an unprivileged process may not
// raise its niceness, so here the request changes nothing; where it is allowed, it takes effect.
void RaiseToHighestPriority(std::thread& thread) {
  int policy = 0;
  sched_param param{};
  if (pthread_getschedparam(thread.native_handle(), &policy, &param) != 0) return;
  const int highest = sched_get_priority_max(policy);
  if (highest < 0 || highest == param.sched_priority) return;
  param.sched_priority = highest;
  pthread_setschedparam(thread.native_handle(), policy, &param);  // refused without the right: kept as is
}

// ProbeResult once the probe has ended: written before ProbeDone, which publishes it.
int32_t ProbeOutcome() {
  if (!ProbeDone.load(std::memory_order_acquire)) return 1;
  return ProbeResult.load(std::memory_order_relaxed);
}

bool ShowEditor() {
  TaddFrm* editor = addFrm;
  std::unique_ptr<TaddFrm> madeForThisFile;
  if (!editor) {
    madeForThisFile = std::make_unique<TaddFrm>();
    editor = madeForThisFile.get();
  }
  if (ProbeOutputFolder.empty()) return editor->exec() == 1;
  // A file of a folder tree: its output folder stands in for OutputFileDir while the editor shows it,
  // so that another input picked there keeps its output beside this one; OK stores its own.
  const std::string outputFileDir = DefaultSettings.OutputFileDir;
  DefaultSettings.OutputFileDir = FolderPart(CurrentTask.OutputFile);
  editor->RunMadeFolder = DefaultSettings.OutputFileDir;
  const bool confirmed = editor->exec() == 1;
  editor->RunMadeFolder.clear();
  if (!confirmed) DefaultSettings.OutputFileDir = outputFileDir;
  return confirmed;
}

}  // namespace

void SetProbeThreadFactory(TProbeThreadFactory factory) { threadFactory = factory ? factory : &RealThread; }

bool ReadNewFile(const std::string& path, bool sameSettings) {
  return ReadNewFileOutcome(path, sameSettings) == TReadOutcome::Added;
}

TReadOutcome ReadNewFileOutcome(const std::string& path, bool sameSettings) {
  return ReadNewFileOutcome(path, sameSettings, false, nullptr);
}

bool ProbeOffTheWindowThread() {
  TThreadEndWait probeEnd;
  std::thread probe;
  try {
    if (!probeEnd.Valid()) throw std::system_error(std::make_error_code(std::errc::too_many_files_open));
    probe = threadFactory([&probeEnd] {
      ProbeMedia();
      probeEnd.Signal();
    });
  } catch (const std::system_error&) {
    // No probe will run: nothing is being read, so the window must not go on refusing its commands.
    ProbeDone.store(true, std::memory_order_release);
    ShowMessageBox(mkError, kThreadRefused, StrHelp, StrOK);
    return false;
  }
  RaiseToHighestPriority(probe);
  probeEnd.Wait();
  probe.join();  // the probe has ended (or the application is quitting and it ends on its own)
  return true;
}

TReadOutcome ReadNewFileOutcome(const std::string& path, bool sameSettings, bool quiet, int32_t* reason) {
  if (!ProbeOffTheWindowThread()) return TReadOutcome::Cancelled;

  const int32_t result = ProbeOutcome();
  if (reason) *reason = result;
  if (quiet && result != 0) return TReadOutcome::Skipped;
  switch (result) {
    case 0:
      break;
    case 1:
      ShowMessageBox(mkError, std::string(StrCannotRead) + "\n " + path + "\n" + StrCodecHint, StrHelp,
                     StrOK);
      return TReadOutcome::Skipped;
    case 2:
      ShowMessageBox(mkWarning, std::string(StrNoAudio) + "\n " + path, StrHelp, StrOK);
      return TReadOutcome::Skipped;
    default:
      return TReadOutcome::Skipped;
  }
  if (!sameSettings && !ShowEditor()) return TReadOutcome::Cancelled;
  StoreTask(true, 0);
  return TReadOutcome::Added;
}
