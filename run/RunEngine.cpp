#include "run/RunEngine.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <set>
#include <system_error>
#include <thread>

#include "audio/CoreBudget.h"
#include "audio/MainThreadCall.h"
#include "audio/Snd_DX9.h"
#include "audio/Snd_LAME.h"
#include "core/FolderChain.h"
#include "core/OutputName.h"
#include "core/Profile.h"
#include "run/BackgroundStep.h"
#include "run/InputOpening.h"
#include "run/PartFile.h"
#include "run/ProgressDesign.h"
#include "run/RunSchedule.h"
#include "run/TaskOutcome.h"
#include "run/TaskSettings.h"
#include "ui/lang.h"

namespace {

constexpr int kRenameAttempts = 20;  // names tried when others keep appearing at the chosen one
constexpr double kHnsPerSecond = 1e7;

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

int64_t SizeOfFile(const std::string& path) {
  struct stat info {};
  return !path.empty() && stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) ? int64_t(info.st_size) : 0;
}

bool IsPlainFile(const std::string& path) {
  struct stat info {};
  return !path.empty() && lstat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

TReason ReasonOfErrno(int error) {
  return error == ENAMETOOLONG ? TReason::NameTooLong : TReason::OutputWrite;
}

// The slot whose sink this thread is starting: a failure inside Start is told on this thread.
thread_local const void* startingSlot = nullptr;

}  // namespace

// Where one task converts: its own sink, its input while it opens and converts, the temporary file it
// writes (the command line's way) and the judging of its finished MP3.
struct TRunEngine::TSlot {
  int32_t Index = 0;
  std::unique_ptr<TMP3Out> Sink;
  int32_t Task = -1;   // the run's task in this slot; -1 when free
  TTaskRecord Record;  // the task as it converts (made by the probe when asked)
  std::string Output;  // the final MP3 name
  TMP3BitRate BitRateBefore{};
  std::chrono::steady_clock::time_point StartedAt;
  std::unique_ptr<TInputOpening> Opening;
  bool Opened = false;       // the opening has handed its input over
  bool OpenStopped = false;  // stopped while it opened: the opening was left to its thread
  std::unique_ptr<TDX9In> Input;
  // The sink's start (its MP3 created, its input's reading begun), and how it failed.
  std::unique_ptr<TBackgroundStep> Starting;
  bool Started = false;
  std::optional<TRunFailure> StartFailure;
  TPartFile Part;
  // The judging of a finished MP3, and what it found.
  std::unique_ptr<TBackgroundStep> Judging;
  bool Judged = false;
  std::optional<TTaskNotice> Notice;
  int PublishError = 0;
  int64_t Delivered = 0;
  int64_t InputDuration = 0;
};

TRunEngine::TRunEngine() : calls_(MainThreadCallQueue::ForCurrentThread()) {
  OpenInput = [](TDX9In& input) { input.OpenSource(); };
  OutputKey = OutputKeyOf;
  StartSink = [](TMP3Out& sink) { sink.Start(); };
  PrepareSlots(1);  // raises when the encoder library is missing
  lastBitRate_ = slots_.front()->Sink->BitRate;
}

TRunEngine::~TRunEngine() {
  // A hand-over arriving now is dropped, so its thread can end.
  abandonCalls_ = true;
  calls_->Cancel(this);
  // What only reads the file system is left to its thread: a dead network share must not hold this one.
  if (comparing_) comparing_->Abandon();
  comparing_.reset();
  for (auto& slot : slots_)
    if (slot->Opening) slot->Opening->Abandon();
  for (auto& slot : slots_) slot->Opening.reset();
  for (auto& slot : slots_) slot->Starting.reset();
  for (auto& slot : slots_) slot->Judging.reset();
  // The sinks end first (a run in progress is finalised), then the inputs they read from.
  for (auto& slot : slots_) slot->Sink.reset();
  for (auto& slot : slots_) slot->Input.reset();
}

void TRunEngine::AttachSink(TSlot& slot) {
  ApplyProgressWindowDesign(*slot.Sink);
  slot.Sink->OnDone = [this, &slot](TComponent*) { NoteEnded(slot, std::nullopt); };
  slot.Sink->OnThreadException = [this, &slot](TComponent*, const Exception& e) {
    // Errors inside Start come on the thread starting the sink, kept for when the start has ended.
    if (startingSlot == &slot) {
      slot.StartFailure = DescribeFailure(e, TRunStage::Starting);
      return;
    }
    // The others on the worker, which only hands them over.
    if (std::this_thread::get_id() == calls_->Owner()) {
      NoteEnded(slot, DescribeFailure(e, TRunStage::Starting));
      return;
    }
    const TRunFailure failure = DescribeFailure(e, TRunStage::Running);
    calls_->Call([this, &slot, &failure] { NoteEnded(slot, failure); }, this, abandonCalls_);
  };
}

void TRunEngine::PrepareSlots(int32_t count) {
  count = std::max(1, count);
  // Sinks beyond the run's count go: no idle worker waits for tasks that will not come.
  while (int32_t(slots_.size()) > count) {
    slots_.back()->Sink.reset();
    slots_.pop_back();
  }
  while (int32_t(slots_.size()) < count) {
    auto slot = std::make_unique<TSlot>();
    slot->Index = int32_t(slots_.size());
    slot->Sink = std::make_unique<TMP3Out>();  // after the first, the library is loaded: only counted
    AttachSink(*slot);
    slots_.push_back(std::move(slot));
  }
}

TMP3Out& TRunEngine::Sink(int32_t slot) const { return *slots_[size_t(slot)]->Sink; }

void TRunEngine::Start(std::vector<TEngineTask> tasks, const TEngineSetup& setup) {
  if (running_) return;
  tasks_ = std::move(tasks);
  setup_ = setup;
  PrepareSlots(int32_t(
      std::min<size_t>(size_t(std::max(1, setup.ParallelTasks)), std::max<size_t>(1, tasks_.size()))));
  std::vector<TRunTask> scheduled;
  std::vector<std::string> outputs;
  for (size_t at = 0; at < tasks_.size(); ++at) {
    scheduled.push_back({int32_t(at), tasks_[at].Task.OutputFile});
    outputs.push_back(tasks_[at].Task.OutputFile);
  }
  schedule_ = std::make_unique<TRunSchedule>(scheduled, SlotCount(), setup.Cores, false);
  // Outputs are compared as the files and folders stand at the start, before any task makes one: a
  // folder on a dead network share holds that thread only.
  if (comparing_) comparing_->Abandon();
  compared_ = false;
  keys_.clear();
  auto keys = std::make_shared<std::vector<TOutputKey>>();
  comparing_ = std::make_unique<TBackgroundStep>(
      [keys, outputs = std::move(outputs), lookUp = OutputKey] {
        for (const std::string& output : outputs) keys->push_back(lookUp(output));
      },
      [this, keys] {
        keys_ = std::move(*keys);
        compared_ = true;
        Wake();
      });
  ended_.clear();
  outcomes_.clear();
  running_ = true;
  stopping_ = paused_ = holdStarts_ = false;
  doneHns_ = convertedHns_ = 0;
  workEnded_ = 0;
}

void TRunEngine::FinishComparing() {
  comparing_.reset();
  compared_ = false;
  schedule_->CompareOutputs(keys_);
  keys_.clear();
}

void TRunEngine::Wake() {
  if (OnWake) OnWake();
}

bool TRunEngine::Poll(int waitMs) {
  if (polling_) return running_;
  polling_ = true;
  calls_->Process(std::chrono::milliseconds(Idle() ? 0 : std::max(0, waitMs)));
  if (comparing_ && compared_) FinishComparing();
  for (auto& slot : slots_) {
    if (slot->OpenStopped) {
      slot->OpenStopped = false;
      EndTask(*slot, ResultOf(slot->Task, TOutcome::Failed, TReason::Stopped, {}));
    }
    if (slot->Opening && slot->Opened) FinishOpening(*slot);
  }
  for (auto& slot : slots_)
    if (slot->Starting && slot->Started) FinishStartingSink(*slot);
  HandleEnded();
  for (auto& slot : slots_)
    if (slot->Judging && slot->Judged) FinishJudging(*slot);
  StartTasks();
  if (running_ && Idle() && (stopping_ || schedule_->AllStarted())) running_ = false;
  polling_ = false;
  return running_;
}

bool TRunEngine::Idle() const {
  return ended_.empty() && !comparing_ &&
         std::none_of(slots_.begin(), slots_.end(), [](const auto& s) { return s->Task >= 0; });
}

int32_t TRunEngine::TaskIn(int32_t slot) const {
  return slot >= 0 && slot < SlotCount() ? slots_[size_t(slot)]->Task : -1;
}

int32_t TRunEngine::RunningCount() const { return schedule_ ? schedule_->RunningCount() : 0; }

void TRunEngine::StartTasks() {
  // Every free slot takes the next task the schedule lets run: list order, one writer per output.
  while (running_ && !stopping_ && !holdStarts_ && schedule_) {
    const auto start = schedule_->StartNext();
    if (!start) break;
    TSlot& slot = *slots_[size_t(start->Slot)];
    const int32_t task = start->TaskIndex;
    if (setup_.Recheck && tasks_[size_t(task)].Refused == TReason::None) setup_.Recheck(tasks_[size_t(task)]);
    const TEngineTask& planned = tasks_[size_t(task)];
    slot.Task = task;
    slot.StartedAt = std::chrono::steady_clock::now();
    slot.Record = planned.Task;
    slot.Output = planned.Task.OutputFile;
    if (planned.Refused != TReason::None) {
      EndTask(slot, ResultOf(task, TOutcome::Failed, planned.Refused, planned.Problem));
      continue;
    }
    if (planned.Skip) {
      // A temporary file of it that no run holds is a killed run's leftover: it goes too.
      if (setup_.ViaPartFile) RemoveLeftoverParts(slot.Output);
      TTaskResult result = ResultOf(task, TOutcome::Skipped, TReason::Exists,
                                    "The MP3 file " + Quoted(slot.Output) + " exists and is left as it is.");
      result.Output = slot.Output;
      EndTask(slot, std::move(result));
      continue;
    }
    if (OnTaskStarted) OnTaskStarted(slot.Index, task);
    BeginTask(slot);
  }
}

void TRunEngine::BeginTask(TSlot& slot) {
  TMP3Out& sink = *slot.Sink;
  // One task at a time is one encoder, as it always was; with more, the sinks share the run's cores.
  TCoreBudget& cores = schedule_->Cores();
  sink.Cores = cores.Cores() > 1 ? &cores : nullptr;
  slot.BitRateBefore = lastBitRate_;
  if (!setup_.ProbeWith) {
    // A bitrate outside the table keeps the previous task's, whichever sink converted it.
    sink.BitRate = lastBitRate_;
    ApplyTaskToMP3Out(sink, slot.Record);
    lastBitRate_ = sink.BitRate;
  }
  BeginOpening(slot);
}

void TRunEngine::BeginOpening(TSlot& slot) {
  slot.Opened = false;
  TInputOpening::TOpener opener = OpenInput;
  if (!setup_.ViaPartFile) {
    // A folder tree's subfolders under the output folder are made when their first file is converted,
    // on the opening thread: a dead network share must not hold the driving thread.
    opener = [open = OpenInput, output = slot.Output](TDX9In& input) {
      int folderError = 0;
      if (const std::string cannot = CreateOutputFolders(output, folderError); !cannot.empty())
        throw ESndException(cannot, TSndFailure::CannotCreate, folderError);
      open(input);
    };
  }
  try {
    // Opened before the output starts, so that the duration and position can be read from the start.
    slot.Opening = std::make_unique<TInputOpening>(
        slot.Record.SourceFile, std::move(opener),
        [this, &slot] {
          slot.Opened = true;
          Wake();
        },
        setup_.ProbeWith ? &*setup_.ProbeWith : nullptr);
  } catch (const std::system_error& e) {
    EndWithoutThread(slot, e.code().message());
  }
}

void TRunEngine::FinishOpening(TSlot& slot) {
  std::unique_ptr<TDX9In> input = slot.Opening->TakeInput();
  const std::optional<TRunFailure> failure = slot.Opening->Failure();
  const int32_t probe = slot.Opening->ProbeResult();
  if (setup_.ProbeWith && probe == 0) {
    slot.Record = slot.Opening->Probed();
    slot.Record.OutputFile = slot.Output;
  }
  slot.Opening.reset();  // its thread has handed over and ends
  slot.Opened = false;
  const std::string& source = tasks_[size_t(slot.Task)].Task.SourceFile;
  if (stopping_) {
    // Stopped while it opened: the task ends here, before it wrote anything.
    EndTask(slot, ResultOf(slot.Task, TOutcome::Failed, TReason::Stopped, {}));
    return;
  }
  if (probe != 0) {
    EndTask(slot, ResultOf(slot.Task, TOutcome::Failed, probe == 2 ? TReason::NoAudio : SourceReason(source),
                           std::string(probe == 2 ? StrNoAudio : StrCannotRead) + " " + Quoted(source)));
    return;
  }
  if (!input) {
    TaskFailed(slot, failure.value_or(TRunFailure{}));
    return;
  }
  TMP3Out& sink = *slot.Sink;
  TTaskRecord record = slot.Record;
  if (setup_.ViaPartFile) {
    const std::string folder = FolderPart(slot.Output);
    std::error_code error;
    if (!folder.empty() && !std::filesystem::is_directory(folder, error)) {
      std::filesystem::create_directories(folder, error);
      if (error) {
        EndTask(slot,
                ResultOf(slot.Task, TOutcome::Failed, TReason::OutputFolder,
                         "The folder " + Quoted(folder) + " cannot be created (" + error.message() + ")."));
        return;
      }
    }
    if (const std::string refused = slot.Part.Claim(slot.Output); !refused.empty()) {
      const TReason reason =
          slot.Part.LastError() == EWOULDBLOCK ? TReason::OutputLocked : ReasonOfErrno(slot.Part.LastError());
      EndTask(slot, ResultOf(slot.Task, TOutcome::Failed, reason, refused + "."));
      return;
    }
    // The sink writes (and rewrites the VBR header) through its own copy of the claim's descriptor,
    // never by name: a file put at the temporary name meanwhile is not touched. Its FileName stays the
    // MP3's, for its messages.
    sink.WriteThrough(slot.Part.Descriptor());
  }
  if (setup_.ProbeWith) slot.BitRateBefore = lastBitRate_;
  sink.BitRate = slot.BitRateBefore;
  ApplyTaskToMP3Out(sink, record);
  if (setup_.ProbeWith) lastBitRate_ = sink.BitRate;
  slot.Input = std::move(input);
  sink.SetInput(slot.Input.get());
  BeginStartingSink(slot);
}

void TRunEngine::BeginStartingSink(TSlot& slot) {
  slot.Started = false;
  slot.StartFailure.reset();
  // Creating the MP3 waits on its folder's file system: the sink starts on a thread of its own, and
  // nothing here touches the sink until it has.
  slot.Starting = std::make_unique<TBackgroundStep>(
      [&slot, start = StartSink] {
        startingSlot = &slot;
        try {
          // A failure while the output is prepared arrives through OnThreadException, on this thread.
          start(*slot.Sink);
        } catch (const Exception& e) {
          slot.StartFailure = DescribeFailure(e, TRunStage::Starting);
        } catch (const std::exception& e) {
          slot.StartFailure = DescribeFailure(Exception(e.what()), TRunStage::Starting);
        }
        startingSlot = nullptr;
      },
      [this, &slot] {
        slot.Started = true;
        Wake();
      });
}

void TRunEngine::FinishStartingSink(TSlot& slot) {
  slot.Starting.reset();
  slot.Started = false;
  if (slot.StartFailure) {
    NoteEnded(slot, *slot.StartFailure);
    slot.StartFailure.reset();
    return;
  }
  // A stop or pause asked for while it started reaches it now.
  TMP3Out& sink = *slot.Sink;
  if (stopping_)
    sink.Stop();
  else if (paused_ && sink.Busy.load())
    sink.Pause();
}

void TRunEngine::NoteEnded(TSlot& slot, std::optional<TRunFailure> failure) {
  ended_.push_back({&slot, slot.Task, std::move(failure), stopping_});
  Wake();
}

void TRunEngine::HandleEnded() {
  // A sink may end before its start has been handed over: its end waits for that.
  std::deque<TEnded> later;
  while (!ended_.empty()) {
    const TEnded ended = std::move(ended_.front());
    ended_.pop_front();
    TSlot& slot = *ended.Slot;
    if (slot.Starting && slot.Task == ended.Task) {
      later.push_back(ended);
      continue;
    }
    if (slot.Task != ended.Task || ended.Task < 0 || slot.Judging) continue;
    if (ended.Failure) {
      TaskFailed(slot, *ended.Failure);
    } else if (ended.Stopped || !slot.Input || (setup_.ViaPartFile && stopping_)) {
      const TAudioFileReader* reader = slot.Input ? slot.Input->Reader() : nullptr;
      doneHns_ += reader ? reader->StreamDuration() : 0;
      slot.Part.Remove();
      TTaskResult result = ResultOf(slot.Task, TOutcome::Failed, TReason::Stopped, {});
      if (!setup_.ViaPartFile && IsPlainFile(slot.Output)) result.Output = slot.Output;
      EndTask(slot, std::move(result));
    } else {
      BeginJudging(slot);
    }
  }
  for (TEnded& ended : later) ended_.push_back(std::move(ended));
}

void TRunEngine::BeginJudging(TSlot& slot) {
  slot.Judged = false;
  slot.Notice.reset();
  slot.PublishError = 0;
  // The names the run's other outputs hold: the numbering goes on past them.
  std::set<std::string> taken;
  const bool numbering = setup_.ViaPartFile && setup_.NumberPastTaken && !tasks_[size_t(slot.Task)].Replace;
  if (numbering)
    for (size_t at = 0; at < tasks_.size(); ++at)
      if (int32_t(at) != slot.Task) taken.insert(tasks_[at].Task.OutputFile);
  const TFileIdentity created = slot.Sink->CreatedFile();
  const bool replace = tasks_[size_t(slot.Task)].Replace;
  slot.Judging = std::make_unique<TBackgroundStep>(
      [this, &slot, created, taken = std::move(taken), numbering, replace] {
        const TDX9In& input = *slot.Input;
        slot.Delivered = DeliveredDuration(input);
        const TAudioFileReader* reader = input.Reader();
        slot.InputDuration = reader ? reader->StreamDuration() : 0;
        // Another file at the temporary name, or none: nothing of this task's to judge or publish there.
        if (setup_.ViaPartFile && !slot.Part.HoldsPath()) {
          slot.PublishError = ENOENT;
          return;
        }
        const std::string written = setup_.ViaPartFile ? slot.Part.Path() : slot.Output;
        slot.Notice =
            JudgeFinishedTask(input, slot.Record.Duration, slot.Record.SourceFile, written, created);
        if (!slot.Notice) slot.Notice = JudgeStreamTaken(input, slot.Record.SourceFile);
        if (!setup_.ViaPartFile || (slot.Notice && !slot.Notice->Playable)) return;
        int error = slot.Part.Commit(slot.Output, replace);
        // The numbering rule goes on past a name that was taken while the file was converted.
        for (int attempt = 0; numbering && error == EEXIST && attempt < kRenameAttempts; ++attempt) {
          slot.Output =
              UniqueOutputPath(FolderPart(slot.Output), slot.Record.SourceFile, ".mp3",
                               [&taken](const std::string& path) { return taken.count(path) != 0; });
          error = slot.Part.Commit(slot.Output, false);
        }
        slot.PublishError = error;
      },
      [this, &slot] {
        slot.Judged = true;
        Wake();
      });
}

void TRunEngine::FinishJudging(TSlot& slot) {
  slot.Judging.reset();
  slot.Judged = false;
  doneHns_ += slot.InputDuration;
  convertedHns_ += slot.Delivered;
  const int32_t task = slot.Task;
  if (slot.Notice && !slot.Notice->Playable) {
    // Too little for a playable MP3: the judging removed it.
    slot.Part.Remove();
    EndTask(slot, ResultOf(task, TOutcome::Failed, TReason::Damaged, slot.Notice->Text));
    return;
  }
  if (slot.PublishError != 0) {
    slot.Part.Remove();
    if (slot.PublishError == EEXIST) {
      TTaskResult result =
          ResultOf(task, TOutcome::Skipped, TReason::Exists,
                   "The MP3 file " + Quoted(slot.Output) + " was made meanwhile and is left as it is.");
      result.Output = slot.Output;
      EndTask(slot, std::move(result));
    } else {
      EndTask(slot, ResultOf(task, TOutcome::Failed, ReasonOfErrno(slot.PublishError),
                             "The MP3 file " + Quoted(slot.Output) + " cannot be written (" +
                                 std::strerror(slot.PublishError) + ")."));
    }
    return;
  }
  tasks_[size_t(task)].Task.OutputFile = slot.Output;
  TTaskResult result = slot.Notice
                           ? ResultOf(task, slot.Notice->Outcome, slot.Notice->Reason, slot.Notice->Text)
                           : ResultOf(task, TOutcome::Converted, TReason::None, {});
  result.Output = slot.Output;
  result.Seconds = double(slot.Delivered) / kHnsPerSecond;
  EndTask(slot, std::move(result));
}

void TRunEngine::TaskFailed(TSlot& slot, const TRunFailure& failure) {
  const TEngineTask& task = tasks_[size_t(slot.Task)];
  bool partialOutput = false;
  if (setup_.ViaPartFile) {
    // Nothing of a failed file is published: a rerun converts it again.
    slot.Part.Remove();
  } else {
    // Once the sink has created the output, a task that delivered no audio leaves nothing behind.
    const bool outputCreated = failure.Stage == TRunStage::Running;
    const bool wroteAudio = slot.Input && slot.Input->Position.load() > 0;
    if (outputCreated && !wroteAudio) RemoveIfSameFile(slot.Output, slot.Sink->CreatedFile());
    partialOutput = outputCreated && wroteAudio && IsPlainFile(slot.Output);
  }
  doneHns_ += task.Task.Duration;
  TTaskResult result = ResultOf(slot.Task, TOutcome::Failed, ReasonOf(failure, task.Task.SourceFile),
                                FailureMessage(failure, task.Task.SourceFile, slot.Output, partialOutput));
  result.PartialOutput = partialOutput;
  if (partialOutput) result.Output = slot.Output;
  EndTask(slot, std::move(result));
}

void TRunEngine::EndWithoutThread(TSlot& slot, const std::string& reason) {
  EndTask(slot, ResultOf(slot.Task, TOutcome::Failed, TReason::NoThread, NoThreadMessage(reason)));
  Stop();
}

TTaskResult TRunEngine::ResultOf(int32_t task, TOutcome outcome, TReason reason, std::string message) const {
  TTaskResult result;
  result.Task = task;
  result.Input = tasks_[size_t(task)].Task.SourceFile;
  result.Outcome = outcome;
  result.Reason = reason;
  result.Message = std::move(message);
  return result;
}

void TRunEngine::EndTask(TSlot& slot, TTaskResult result) {
  if (setup_.RecordSizes) {
    result.InputBytes = SizeOfFile(result.Input);
    result.OutputBytes = SizeOfFile(result.Output);
  }
  result.WallSeconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - slot.StartedAt).count();
  const TEngineTask& task = tasks_[size_t(slot.Task)];
  workEnded_ += task.Refused == TReason::None && !task.Skip;
  slot.Input.reset();
  slot.Sink->Cores = nullptr;  // the sink's run has ended: the budget may go with this run
  slot.Task = -1;
  schedule_->Ended(slot.Index);
  outcomes_.push_back(result);
  if (OnTaskEnded) OnTaskEnded(slot.Index, outcomes_.back());
}

// A sink still starting is left alone: it is told once its start has been handed over.
void TRunEngine::Pause() {
  for (const auto& slot : slots_)
    if (!slot->Starting) slot->Sink->Pause();
  paused_ = true;
}

void TRunEngine::Resume() {
  for (const auto& slot : slots_)
    if (!slot->Starting) slot->Sink->Resume();
  paused_ = false;
}

void TRunEngine::Stop() {
  if (!running_) return;
  // A paused sink would hold the stop for ever.
  if (paused_) Resume();
  stopping_ = true;
  // The outputs' comparing and the openings may wait on a dead network share: their threads go on
  // alone, and a stopped task ends without them.
  if (comparing_) comparing_->Abandon();
  comparing_.reset();
  for (const auto& slot : slots_) {
    if (!slot->Starting) slot->Sink->Stop();
    if (slot->Opening && !slot->Opened) {
      slot->Opening->Abandon();
      slot->Opening.reset();
      slot->OpenStopped = true;
    }
  }
  Wake();
}

int32_t TRunEngine::Count(TOutcome outcome) const {
  return int32_t(std::count_if(outcomes_.begin(), outcomes_.end(),
                               [outcome](const TTaskResult& r) { return r.Outcome == outcome; }));
}

std::vector<TMP3Out*> TRunEngine::RunningSinks() const {
  std::vector<TMP3Out*> sinks;
  for (const auto& slot : slots_)
    if (slot->Task >= 0 && slot->Input && !slot->Starting) sinks.push_back(slot->Sink.get());
  return sinks;
}

const TCoreBudget* TRunEngine::CoreBudget() const { return schedule_ ? &schedule_->Cores() : nullptr; }

TRunSnapshot TRunEngine::Snapshot() const {
  TRunSnapshot snapshot;
  snapshot.Total = int32_t(tasks_.size());
  snapshot.Started = schedule_ ? schedule_->StartedCount() : 0;
  snapshot.Ended = int32_t(outcomes_.size());
  for (const TEngineTask& task : tasks_) {
    snapshot.Work += task.Refused == TReason::None && !task.Skip;
    snapshot.StatedHns += task.Task.Duration;
  }
  snapshot.WorkEnded = workEnded_;
  snapshot.DoneHns = doneHns_;
  snapshot.ConvertedHns = convertedHns_;
  for (const auto& slot : slots_) {
    // A starting sink's input is still being read from by its start.
    const TAudioFileReader* reader =
        slot->Task >= 0 && slot->Input && !slot->Starting ? slot->Input->Reader() : nullptr;
    if (!reader) continue;
    TRunningTask running;
    running.Slot = slot->Index;
    running.Task = slot->Task;
    running.PositionHns = reader->StreamPosition();
    running.DurationHns = reader->StreamDuration() > 0 ? reader->StreamDuration() : slot->Record.Duration;
    snapshot.Running.push_back(running);
  }
  snapshot.Paused = paused_;
  snapshot.Stopping = stopping_;
  snapshot.Finished = schedule_ && !running_;
  return snapshot;
}
