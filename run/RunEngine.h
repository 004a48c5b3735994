#pragma once
// One conversion run without windows and without a terminal, under both the progress window and
// tolvane-convert. Given the tasks, a core budget and how many tasks run at once, it opens each input
// off the driving thread (a stop cuts the open short), lets one task at a time write an output file,
// lends the cores the running tasks leave free to segment encoding, judges each finished MP3 off the
// driving thread, and records one outcome per task. The outputs are compared and each MP3 is created
// off the driving thread too: nothing there waits on the file system. Everything it tells (events,
// snapshot) happens on the thread that made it, from Poll.
#include <atomic>
#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/Settings.h"
#include "core/TaskList.h"
#include "run/OutputIdentity.h"
#include "run/RunMessages.h"
#include "run/RunOutcome.h"

class MainThreadCallQueue;
class TBackgroundStep;
class TCoreBudget;
class TDX9In;
class TMP3Out;
class TRunSchedule;
enum TMP3BitRate : int32_t;

struct TEngineTask {
  TTaskRecord Task;                 // source, output, MP3 settings, tag texts, stated duration
  TReason Refused = TReason::None;  // planned as not to be converted at all; Problem says why
  std::string Problem;
  bool Skip = false;     // its MP3 exists and is left as it is
  bool Replace = false;  // an MP3 put at its output meanwhile is replaced (temporary files only)
};

struct TEngineSetup {
  int32_t ParallelTasks = 1;  // tasks at once (below 1: 1)
  int32_t Cores = 1;          // the budget the running tasks' encoders share
  // The command line's way: each MP3 is written as a hidden temporary file and renamed once complete;
  // a failed or stopped task leaves nothing. Else the final name is written at once, as the window does.
  bool ViaPartFile = false;
  // When set, each task's record is made by the probe with these MP3 settings as it starts; its
  // output stays as given.
  std::optional<TDefaultSettings> ProbeWith;
  // Called just before a task starts, to decide its Skip and Replace again from what is on disk now
  // (an MP3 another machine finished meanwhile). None: the plan stands.
  std::function<void(TEngineTask&)> Recheck;
  // With ViaPartFile, an MP3 put at a task's output meanwhile (and not to be replaced): true goes on
  // with the window's numbering past it, false leaves it and the task is skipped.
  bool NumberPastTaken = true;
  // Each outcome's input and output bytes, read as its task ends. A face that shows no sizes leaves
  // them out: that read could wait on a dead network share.
  bool RecordSizes = true;
};

struct TRunningTask {
  int32_t Slot = -1;
  int32_t Task = -1;
  int64_t PositionHns = 0;  // audio read so far
  int64_t DurationHns = 0;  // what its input states (0 while it opens)
};

struct TRunSnapshot {
  int32_t Total = 0;
  int32_t Started = 0;
  int32_t Ended = 0;
  int32_t Work = 0;       // tasks to convert: neither refused nor skipped
  int32_t WorkEnded = 0;  // of those, ended
  int64_t StatedHns = 0;  // the stated durations of all tasks
  // The stated part done: a converted task by its input's duration, a failed one by the task's.
  int64_t DoneHns = 0;
  int64_t ConvertedHns = 0;           // the audio the ended tasks' MP3 files hold
  std::vector<TRunningTask> Running;  // converting now (their inputs open)
  bool Paused = false;
  bool Stopping = false;
  bool Finished = false;
};

class TRunEngine {
 public:
  // Makes the first sink; raises ESndException when the encoder library cannot be loaded.
  TRunEngine();
  ~TRunEngine();  // a task still running is finalised; a temporary file is removed
  TRunEngine(const TRunEngine&) = delete;
  TRunEngine& operator=(const TRunEngine&) = delete;

  // How an input is opened on its opening thread: its OpenSource. Replaceable so that a test can
  // hold an opening for as long as it needs.
  std::function<void(TDX9In&)> OpenInput;
  // How the outputs are told apart at Start, off the driving thread: OutputKeyOf. And how a sink
  // starts (creates its MP3 and begins reading), off the driving thread: its Start. Replaceable so
  // that a test can hold them as a dead network share would.
  std::function<TOutputKey(const std::string&)> OutputKey;
  std::function<void(TMP3Out&)> StartSink;
  // Events, on the driving thread from Poll: a task took a slot; a task ended, whatever way.
  std::function<void(int32_t slot, int32_t task)> OnTaskStarted;
  std::function<void(int32_t slot, const TTaskResult& result)> OnTaskEnded;
  // Something waits for Poll. Called on the driving thread, from its Qt event loop or from Poll.
  std::function<void()> OnWake;

  // The run's slots, each with its own sink (the first always there); raises std::system_error when
  // a sink's worker cannot be started. Only between runs.
  void PrepareSlots(int32_t count);
  int32_t SlotCount() const { return int32_t(slots_.size()); }
  TMP3Out& Sink(int32_t slot) const;

  // Starts a run over tasks in their order and returns at once; the outputs are compared on a thread
  // of their own, as the files stand now, and the tasks start once they have been.
  void Start(std::vector<TEngineTask> tasks, const TEngineSetup& setup);
  // Serves the sinks' and threads' hand-overs (waiting up to waitMs for one), ends and starts tasks
  // and tells of it. False once the run has ended.
  bool Poll(int waitMs = 0);
  // Halts every running sink after its current step; a task that starts meanwhile starts halted.
  void Pause();
  void Resume();
  // Stops every running task and starts no other. An input still opening is left to its thread (its
  // task ends as stopped at once), as is the comparing of the outputs.
  void Stop();
  // While held, no further task starts (the running ones go on).
  void HoldStarts(bool hold) { holdStarts_ = hold; }

  bool Running() const { return running_; }
  bool Stopping() const { return stopping_; }
  TRunSnapshot Snapshot() const;
  int32_t RunningCount() const;
  // The task in slot (opening, converting or being judged); -1 when the slot is free.
  int32_t TaskIn(int32_t slot) const;
  const TEngineTask& Task(int32_t task) const { return tasks_[size_t(task)]; }
  // One record per task that has ended, in the order they ended.
  const std::vector<TTaskResult>& Outcomes() const { return outcomes_; }
  int32_t Count(TOutcome outcome) const;
  // The sinks of the tasks converting now (their inputs open), in slot order.
  std::vector<TMP3Out*> RunningSinks() const;
  // The core budget of the current or last run; null before the first.
  const TCoreBudget* CoreBudget() const;

 private:
  struct TSlot;
  struct TEnded {
    TSlot* Slot = nullptr;
    int32_t Task = -1;
    std::optional<TRunFailure> Failure;  // none: the sink finished or was stopped
    bool Stopped = false;
  };

  void FinishComparing();
  void StartTasks();
  void BeginTask(TSlot& slot);
  void BeginOpening(TSlot& slot);
  void FinishOpening(TSlot& slot);
  void BeginStartingSink(TSlot& slot);
  void FinishStartingSink(TSlot& slot);
  void NoteEnded(TSlot& slot, std::optional<TRunFailure> failure);
  void HandleEnded();
  void BeginJudging(TSlot& slot);
  void FinishJudging(TSlot& slot);
  void TaskFailed(TSlot& slot, const TRunFailure& failure);
  void EndWithoutThread(TSlot& slot, const std::string& reason);
  // The slot's task has ended with result: the slot is freed and the event told.
  void EndTask(TSlot& slot, TTaskResult result);
  // A task that ends before it takes a slot's work: refused, skipped or stopped.
  TTaskResult ResultOf(int32_t task, TOutcome outcome, TReason reason, std::string message) const;
  void Wake();
  bool Idle() const;
  void AttachSink(TSlot& slot);

  std::vector<TEngineTask> tasks_;
  TEngineSetup setup_;
  std::vector<std::unique_ptr<TSlot>> slots_;
  std::unique_ptr<TRunSchedule> schedule_;
  // The outputs' keys, looked up on a thread of their own at Start.
  std::unique_ptr<TBackgroundStep> comparing_;
  std::vector<TOutputKey> keys_;
  bool compared_ = false;
  std::deque<TEnded> ended_;
  std::vector<TTaskResult> outcomes_;
  TMP3BitRate lastBitRate_{};  // of the task started last: a bitrate outside the table keeps it
  bool running_ = false;
  bool stopping_ = false;
  bool paused_ = false;
  bool holdStarts_ = false;
  bool polling_ = false;
  int64_t doneHns_ = 0;
  int64_t convertedHns_ = 0;
  int32_t workEnded_ = 0;
  std::shared_ptr<MainThreadCallQueue> calls_;
  std::atomic<bool> abandonCalls_{false};
};
