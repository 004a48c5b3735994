#pragma once
// A run without windows over planned jobs: several files at once, each converted exactly as the
// progress window converts a task (the same decoding input, MP3 sink settings, far-short judgement
// and failure messages), written under its temporary name and renamed when complete. Everything here
// runs on the thread that made the run; the sinks' events are served from Run.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "audio/CoreBudget.h"
#include "convert/BatchPlan.h"
#include "core/Settings.h"

class TMP3Out;
enum TMP3BitRate : int32_t;

enum class TBatchOutcome { Converted, Short, Skipped, Failed };

// "converted", "short", "skipped", "failed".
const char* OutcomeName(TBatchOutcome outcome);

// How one input ended.
struct TBatchResult {
  std::string Input;
  std::string Output;  // the MP3 file; empty when none was left
  TBatchOutcome Outcome = TBatchOutcome::Failed;
  double Seconds = 0;  // audio the MP3 holds
  std::string Message;
};

struct TBatchProgress {
  int Ended = 0;
  int Total = 0;
  int64_t ConvertedHns = 0;  // audio converted so far, the running files' part included (100-ns units)
  double WorkDone = 0;       // files to convert that have ended, running ones by the part read
  double WorkTotal = 0;      // files to convert (neither skipped nor refused before the start)
};

class TBatchRun {
 public:
  // jobsAtOnce files convert at once; cores is the budget their encoders share. Raises ESndException
  // when the encoder library cannot be loaded.
  TBatchRun(std::vector<TBatchJob> jobs, const TDefaultSettings& defaults, int32_t jobsAtOnce, int32_t cores);
  ~TBatchRun();  // a task still running is finalised and its temporary file removed
  TBatchRun(const TBatchRun&) = delete;
  TBatchRun& operator=(const TBatchRun&) = delete;

  // Called as each input ends, in the order they end.
  std::function<void(const TBatchResult&)> OnResult;

  // Converts every job; tick is called a few times a second. Once stopRequested answers true, the
  // running tasks are stopped, their temporary files removed and no other job starts: Run then
  // returns false.
  bool Run(const std::function<bool()>& stopRequested, const std::function<void()>& tick);

  TBatchProgress Progress() const;
  int Count(TBatchOutcome outcome) const { return counts_[int(outcome)]; }

 private:
  struct Slot;
  void StartFreeSlots();
  // Takes the next job into slot; false when the job ended before a task started (refused, skipped).
  bool StartJob(Slot& slot, size_t job);
  void TaskDone(Slot& slot);
  void HandleFailures();
  void UpdateWaiting();
  void EndTask(Slot& slot);
  // Renames the finished file to its final name; under the numbering rule a name taken meanwhile
  // gives way to the next free one. Returns the errno of the failure, 0 on success.
  int Publish(Slot& slot);
  void Report(size_t job, TBatchOutcome outcome, const std::string& output, double seconds,
              const std::string& message);
  bool AnyRunning() const;

  std::vector<TBatchJob> jobs_;
  const TDefaultSettings defaults_;
  TCoreBudget budget_;  // outlives the sinks that hold it
  std::vector<std::unique_ptr<Slot>> slots_;
  size_t next_ = 0;
  bool stopping_ = false;
  TMP3BitRate lastBitRate_{};  // of the task started last: a bitrate outside the table keeps it
  int ended_ = 0;
  int workEnded_ = 0;
  int workTotal_ = 0;
  int64_t doneHns_ = 0;
  int counts_[4] = {0, 0, 0, 0};
};
