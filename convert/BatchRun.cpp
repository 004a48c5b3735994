#include "convert/BatchRun.h"

#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <optional>
#include <set>
#include <thread>

#include "audio/MainThreadCall.h"
#include "audio/Snd_DX9.h"
#include "audio/Snd_LAME.h"
#include "convert/PartFile.h"
#include "convert/ProgressDesign.h"
#include "convert/RunMessages.h"
#include "convert/TaskOutcome.h"
#include "convert/TaskSettings.h"
#include "core/OutputName.h"
#include "core/Profile.h"
#include "core/TaskList.h"
#include "probe/ProbeMedia.h"
#include "ui/lang.h"

namespace {

constexpr int kWaitMs = 50;          // the longest the loop sleeps waiting for a sink's event
constexpr int kTickMs = 200;         // how often the progress is told
constexpr int kRenameAttempts = 20;  // names tried when others keep appearing at the chosen one
constexpr double kHnsPerSecond = 1e7;

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

}  // namespace

// One task converting: its own sink and input, and the temporary file it writes. The members end in
// reverse order: the sink first (a run still in progress is finalised), then the input it read,
// then the temporary file.
struct TBatchRun::Slot {
  TPartFile Part;
  std::unique_ptr<TDX9In> Input;
  std::unique_ptr<TMP3Out> Sink;
  TTaskRecord Task;
  size_t Job = 0;
  bool Running = false;
  // A failure, handed over by whichever thread it arose on.
  std::mutex FailureMutex;
  std::optional<TRunFailure> Failure;
  std::atomic<bool> Failed{false};
};

const char* OutcomeName(TBatchOutcome outcome) {
  switch (outcome) {
    case TBatchOutcome::Converted:
      return "converted";
    case TBatchOutcome::Short:
      return "short";
    case TBatchOutcome::Skipped:
      return "skipped";
    case TBatchOutcome::Failed:
      break;
  }
  return "failed";
}

TBatchRun::TBatchRun(std::vector<TBatchJob> jobs, const TDefaultSettings& defaults, int32_t jobsAtOnce,
                     int32_t cores)
    : jobs_(std::move(jobs)), defaults_(defaults), budget_(cores) {
  for (const TBatchJob& job : jobs_) workTotal_ += job.Problem.empty() && !job.Skip;
  const size_t count = std::max<size_t>(1, std::min<size_t>(size_t(std::max(jobsAtOnce, 1)), jobs_.size()));
  const std::thread::id owner = std::this_thread::get_id();
  for (size_t i = 0; i < count; ++i) {
    auto slot = std::make_unique<Slot>();
    slot->Sink = std::make_unique<TMP3Out>();  // raises without the encoder library
    ApplyProgressWindowDesign(*slot->Sink);
    slot->Sink->Cores = &budget_;
    Slot& ref = *slot;
    slot->Sink->OnDone = [this, &ref](TComponent*) { TaskDone(ref); };
    slot->Sink->OnThreadException = [&ref, owner](TComponent*, const Exception& e) {
      // Inside Start on this thread the output was being prepared; on the worker the file was being
      // converted. Only handed over here: the loop ends the task.
      const TRunFailure failure =
          DescribeFailure(e, std::this_thread::get_id() == owner ? TRunStage::Starting : TRunStage::Running);
      std::lock_guard<std::mutex> lock(ref.FailureMutex);
      if (!ref.Failure) ref.Failure = failure;
      ref.Failed.store(true, std::memory_order_release);
    };
    slots_.push_back(std::move(slot));
  }
  lastBitRate_ = slots_.front()->Sink->BitRate;
}

TBatchRun::~TBatchRun() {
  // The sinks end before the inputs they read from and before the temporary files go.
  for (auto& slot : slots_) slot->Sink.reset();
}

bool TBatchRun::AnyRunning() const {
  return std::any_of(slots_.begin(), slots_.end(), [](const auto& slot) { return slot->Running; });
}

bool TBatchRun::Run(const std::function<bool()>& stopRequested, const std::function<void()>& tick) {
  auto nextTick = std::chrono::steady_clock::now();
  while (true) {
    if (!stopping_ && stopRequested && stopRequested()) {
      stopping_ = true;
      for (auto& slot : slots_)
        if (slot->Running) slot->Sink->Stop();
    }
    if (!stopping_) StartFreeSlots();
    // Each finished task's OnDone runs in here, while its worker waits.
    ProcessMainThreadCalls(AnyRunning() ? kWaitMs : 0);
    HandleFailures();
    if (!AnyRunning() && (stopping_ || next_ >= jobs_.size())) break;
    const auto now = std::chrono::steady_clock::now();
    if (tick && now >= nextTick) {
      tick();
      nextTick = now + std::chrono::milliseconds(kTickMs);
    }
  }
  return !stopping_;
}

void TBatchRun::StartFreeSlots() {
  for (auto& slot : slots_) {
    // A job that ends before its task starts (refused or skipped) leaves the slot to the next one.
    while (!slot->Running && next_ < jobs_.size()) {
      const size_t job = next_++;
      if (StartJob(*slot, job)) break;
    }
  }
}

bool TBatchRun::StartJob(Slot& slot, size_t index) {
  const TBatchJob& job = jobs_[index];
  if (!job.Problem.empty()) {
    Report(index, TBatchOutcome::Failed, {}, 0, job.Problem);
    return false;
  }
  if (job.Skip) {
    // A temporary file of it that no run holds is a killed run's leftover: it goes too.
    struct stat info {};
    if (lstat(PartPathFor(job.Output).c_str(), &info) == 0) {
      TPartFile leftover;
      if (leftover.Claim(job.Output).empty()) leftover.Remove();
    }
    Report(index, TBatchOutcome::Skipped, job.Output, 0,
           "The MP3 file " + Quoted(job.Output) + " exists and is left as it is.");
    return false;
  }
  // The task a file becomes when it is added to the window's list, with this run's MP3 settings.
  TTaskRecord task;
  const int32_t probe = ProbeTaskRecord(job.Source, defaults_, task);
  if (probe != 0) {
    Report(index, TBatchOutcome::Failed, {}, 0,
           std::string(probe == 2 ? StrNoAudio : StrCannotRead) + " " + Quoted(job.Source));
    return false;
  }
  const std::string folder = FolderPart(job.Output);
  std::error_code error;
  if (!folder.empty() && !std::filesystem::is_directory(folder, error)) {
    std::filesystem::create_directories(folder, error);
    if (error) {
      Report(index, TBatchOutcome::Failed, {}, 0,
             "The folder " + Quoted(folder) + " cannot be created (" + error.message() + ").");
      return false;
    }
  }
  const std::string refused = slot.Part.Claim(job.Output);
  if (!refused.empty()) {
    Report(index, TBatchOutcome::Failed, {}, 0, refused + ".");
    return false;
  }
  // Everything the sink writes, removes or rewrites (the VBR header) acts on the temporary name.
  task.OutputFile = slot.Part.Path();
  TMP3Out& sink = *slot.Sink;
  sink.BitRate = lastBitRate_;
  ApplyTaskToMP3Out(sink, task);
  lastBitRate_ = sink.BitRate;
  slot.Task = task;
  slot.Job = index;
  slot.Running = true;
  UpdateWaiting();
  {
    std::lock_guard<std::mutex> lock(slot.FailureMutex);
    slot.Failure.reset();
  }
  slot.Failed.store(false, std::memory_order_release);
  budget_.TaskStarted();

  slot.Input = std::make_unique<TDX9In>();
  slot.Input->FileName = task.SourceFile;
  sink.SetInput(slot.Input.get());
  const auto fail = [&slot](const TRunFailure& failure) {
    std::lock_guard<std::mutex> lock(slot.FailureMutex);
    if (!slot.Failure) slot.Failure = failure;
    slot.Failed.store(true, std::memory_order_release);
  };
  try {
    // Opened here, as the window opens it, so the duration and position can be read from the start.
    slot.Input->OpenSource();
  } catch (const Exception& e) {
    fail(DescribeFailure(e, TRunStage::Opening));
    return true;
  }
  try {
    // A failure while the output is prepared arrives through OnThreadException, on this thread.
    sink.Start();
  } catch (const Exception& e) {
    fail(DescribeFailure(e, TRunStage::Starting));
  }
  return true;
}

void TBatchRun::UpdateWaiting() {
  // Jobs that a free slot would start: a core lent to segments meanwhile would be taken from them.
  const auto freeSlots =
      size_t(std::count_if(slots_.begin(), slots_.end(), [](const auto& s) { return !s->Running; }));
  budget_.SetWaiting(int32_t(std::min(jobs_.size() - next_, freeSlots)));
}

void TBatchRun::EndTask(Slot& slot) {
  slot.Input.reset();
  slot.Running = false;
  UpdateWaiting();
  budget_.TaskEnded();
}

void TBatchRun::TaskDone(Slot& slot) {
  if (!slot.Running || !slot.Input) return;
  const bool stopped = stopping_;
  const TBatchJob& job = jobs_[slot.Job];
  const auto notice = stopped ? std::nullopt
                              : JudgeFinishedTask(*slot.Input, slot.Task.Duration, slot.Task.SourceFile,
                                                  slot.Part.Path(), slot.Sink->CreatedFile());
  const int64_t delivered = DeliveredDuration(*slot.Input);
  EndTask(slot);
  if (stopped) {
    slot.Part.Remove();
    return;
  }
  doneHns_ += delivered;
  if (notice && !notice->Playable) {
    slot.Part.Remove();
    Report(slot.Job, TBatchOutcome::Failed, {}, 0, notice->Text);
    return;
  }
  if (const int error = Publish(slot); error != 0) {
    slot.Part.Remove();
    if (error == EEXIST) {
      Report(slot.Job, TBatchOutcome::Skipped, job.Output, 0,
             "The MP3 file " + Quoted(job.Output) + " was made meanwhile and is left as it is.");
    } else {
      Report(slot.Job, TBatchOutcome::Failed, {}, 0,
             "The MP3 file " + Quoted(job.Output) + " cannot be written (" + std::strerror(error) + ").");
    }
    return;
  }
  Report(slot.Job, notice ? TBatchOutcome::Short : TBatchOutcome::Converted, job.Output,
         double(delivered) / kHnsPerSecond, notice ? notice->Text : std::string());
}

int TBatchRun::Publish(Slot& slot) {
  TBatchJob& job = jobs_[slot.Job];
  int error = slot.Part.Commit(job.Output, job.Replace);
  // The numbering rule goes on past a name that was taken while the file was converted.
  const bool numbering = !job.Replace && !job.Skip && error == EEXIST;
  for (int attempt = 0; numbering && error == EEXIST && attempt < kRenameAttempts; ++attempt) {
    std::set<std::string> taken;
    for (const TBatchJob& other : jobs_)
      if (&other != &job) taken.insert(other.Output);
    job.Output = UniqueOutputPath(FolderPart(job.Output), job.Source, ".mp3",
                                  [&taken](const std::string& path) { return taken.count(path) != 0; });
    error = slot.Part.Commit(job.Output, false);
  }
  return error;
}

void TBatchRun::HandleFailures() {
  for (auto& slot : slots_) {
    if (!slot->Running || !slot->Failed.load(std::memory_order_acquire)) continue;
    TRunFailure failure;
    {
      std::lock_guard<std::mutex> lock(slot->FailureMutex);
      failure = slot->Failure.value_or(TRunFailure{});
    }
    EndTask(*slot);
    // Nothing of a failed file is published: a rerun converts it again.
    slot->Part.Remove();
    if (stopping_) continue;
    const TBatchJob& job = jobs_[slot->Job];
    Report(slot->Job, TBatchOutcome::Failed, {}, 0, FailureMessage(failure, job.Source, job.Output, false));
  }
}

void TBatchRun::Report(size_t job, TBatchOutcome outcome, const std::string& output, double seconds,
                       const std::string& message) {
  ++ended_;
  ++counts_[int(outcome)];
  if (jobs_[job].Problem.empty() && !jobs_[job].Skip) ++workEnded_;
  if (OnResult) OnResult({jobs_[job].Source, output, outcome, seconds, message});
}

TBatchProgress TBatchRun::Progress() const {
  TBatchProgress progress;
  progress.Ended = ended_;
  progress.Total = int(jobs_.size());
  progress.ConvertedHns = doneHns_;
  progress.WorkTotal = workTotal_;
  progress.WorkDone = workEnded_;
  for (const auto& slot : slots_) {
    const TAudioFileReader* reader = slot->Running && slot->Input ? slot->Input->Reader() : nullptr;
    if (!reader) continue;
    const int64_t position = reader->StreamPosition();
    progress.ConvertedHns += position;
    const int64_t duration = reader->StreamDuration() > 0 ? reader->StreamDuration() : slot->Task.Duration;
    if (duration > 0) progress.WorkDone += std::clamp(double(position) / double(duration), 0.0, 1.0);
  }
  return progress;
}
