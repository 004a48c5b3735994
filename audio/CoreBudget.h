#pragma once
// The cores one conversion run may keep busy. Every running task holds one core of its own; the cores
// the running tasks leave free are lent, one at a time, to the segment encoders of running tasks.
// Shared by the run, which calls TaskStarted before it starts a task's sink and TaskEnded once the task
// is over, and the MP3 sinks' helper threads (TMP3Out::Cores), which take one lent core per segment.
// A budget of one core lends none: every task then encodes with one encoder. While a task waits for
// a free slot, a core that frees is its: a running task's sink starts segments only once none waits.
#include <atomic>
#include <cstdint>

class TCoreBudget {
 public:
  explicit TCoreBudget(int32_t cores) : cores_(cores < 1 ? 1 : cores), free_(cores_) {}
  TCoreBudget(const TCoreBudget&) = delete;
  TCoreBudget& operator=(const TCoreBudget&) = delete;

  int32_t Cores() const { return cores_; }

  // A task takes its slot (before its input opens) and gives it back when it has ended. A task always
  // runs: the count of free cores may go below 0 while lent cores are still busy with a segment.
  void TaskStarted() { free_.fetch_sub(1, std::memory_order_acq_rel); }
  void TaskEnded() { free_.fetch_add(1, std::memory_order_acq_rel); }

  // A segment encoder asks for a core beyond its task's own: true when one was free (and is now
  // taken); ReleaseExtra gives it back once the encoder has finished its segment.
  bool TryAcquireExtra() {
    int32_t now = free_.load(std::memory_order_acquire);
    while (now > 0) {
      if (free_.compare_exchange_weak(now, now - 1, std::memory_order_acq_rel)) return true;
    }
    return false;
  }
  void ReleaseExtra() { free_.fetch_add(1, std::memory_order_acq_rel); }

  // Cores neither a task nor a segment encoder holds now (below 0 while tasks wait for lent cores).
  int32_t FreeCores() const { return free_.load(std::memory_order_acquire); }

  // The run's tasks that would start in a free slot now (0 unless the run says otherwise).
  void SetWaiting(int32_t tasks) { waiting_.store(tasks < 0 ? 0 : tasks, std::memory_order_release); }
  int32_t Waiting() const { return waiting_.load(std::memory_order_acquire); }
  // A core is free now and no task waits for it: a running task may encode in segments.
  bool LendsCores() const { return cores_ > 1 && FreeCores() > 0 && Waiting() == 0; }

 private:
  const int32_t cores_;
  std::atomic<int32_t> free_;
  std::atomic<int32_t> waiting_{0};
};
