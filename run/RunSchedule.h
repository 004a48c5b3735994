#pragma once
// Who runs when in a conversion run: the checked tasks wait in list order for the run's slots, each
// slot converts one task at a time, tasks that write one output file run one after the other in list
// order, and every running task holds a core of the run's budget from before its input opens until it
// has ended.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "audio/CoreBudget.h"
#include "run/OutputIdentity.h"

struct TRunTask {
  int32_t TaskIndex = -1;  // in the task list
  std::string OutputFile;
};

class TRunSchedule {
 public:
  // tasks in list order; slots and cores below 1 count as 1. With compareNow their outputs are compared
  // now, as the system resolves them; else no task starts until CompareOutputs.
  TRunSchedule(const std::vector<TRunTask>& tasks, int32_t slots, int32_t cores, bool compareNow = true);

  // The outputs' keys, one for each task in list order (as OutputKeyOf gives them), all resolved before
  // any task of the run started: a folder a task makes must not part two names of one file.
  void CompareOutputs(const std::vector<TOutputKey>& keys);
  bool OutputsCompared() const { return compared_; }

  struct TStart {
    int32_t Slot = -1;
    int32_t TaskIndex = -1;
  };
  // The first waiting task in list order that may run now (no earlier task of its output is still
  // waiting or running), in the first free slot; it runs there from now on. Nothing when no slot is
  // free or every waiting task waits for an earlier one.
  std::optional<TStart> StartNext();
  // The task in slot has ended, whatever way: the slot is free and the task's core is given back.
  void Ended(int32_t slot);

  int32_t SlotCount() const { return int32_t(slotTask_.size()); }
  // The task converting in slot (its index in the task list); -1 when the slot is free.
  int32_t TaskIn(int32_t slot) const;
  int32_t RunningCount() const;
  // Tasks started so far in this run.
  int32_t StartedCount() const { return started_; }
  bool AllStarted() const { return started_ == int32_t(tasks_.size()); }

  TCoreBudget& Cores() { return cores_; }
  const TCoreBudget& Cores() const { return cores_; }

 private:
  enum class TState { Waiting, Running, Ended };
  struct TTask {
    int32_t TaskIndex = -1;
    TState State = TState::Waiting;
    std::vector<size_t> Before;  // the earlier tasks of the same output file it waits for
  };
  bool MayStart(const TTask& task) const;
  void UpdateWaiting();

  std::vector<TTask> tasks_;
  std::vector<int32_t> slotTask_;  // position in tasks_ of each slot's task; -1 when free
  size_t firstWaiting_ = 0;        // no task before it waits
  bool compared_ = false;
  int32_t started_ = 0;
  TCoreBudget cores_;
};
