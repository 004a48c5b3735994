#pragma once
// The cores one conversion run may keep busy. Every running task holds one core of its own; the cores
// the running tasks leave free are lent, one at a time, to the segment encoders of running tasks.
// Shared by the run, which calls TaskStarted before it starts a task's sink and TaskEnded once the task
// is over, and the MP3 sinks' helper threads (TMP3Out::Cores), which take one lent core per segment.
// A budget of one core lends none: every task then encodes with one encoder. While a task waits for
// a free slot, a core that frees is its: a running task's sink starts segments only once none waits.
// The run's cores follow its count of parallel tasks, which may exceed the machine's: a core is lent
// only while the running tasks and the lent cores leave a hardware thread for it.
#include <algorithm>
#include <atomic>
#include <cstdint>
#include <mutex>
#include <thread>

class TCoreBudget {
 public:
  // hardwareThreads 0: the machine's.
  explicit TCoreBudget(int32_t cores, int32_t hardwareThreads = 0)
      : cores_(cores < 1 ? 1 : cores),
        hardware_(hardwareThreads > 0 ? hardwareThreads
                                      : int32_t(std::max(1u, std::thread::hardware_concurrency()))),
        free_(cores_) {}
  TCoreBudget(const TCoreBudget&) = delete;
  TCoreBudget& operator=(const TCoreBudget&) = delete;

  int32_t Cores() const { return cores_; }
  int32_t HardwareThreads() const { return hardware_; }

  // A task takes its slot (before its input opens) and gives it back when it has ended. A task always
  // runs: the count of free cores may go below 0 while lent cores are still busy with a segment.
  void TaskStarted() {
    std::lock_guard<std::mutex> lock(mutex_);
    free_.fetch_sub(1, std::memory_order_acq_rel);
    ++running_;
  }
  void TaskEnded() {
    std::lock_guard<std::mutex> lock(mutex_);
    free_.fetch_add(1, std::memory_order_acq_rel);
    --running_;
  }

  // A segment encoder asks for a core beyond its task's own: true when one was free (and is now
  // taken); ReleaseExtra gives it back once the encoder has finished its segment.
  bool TryAcquireExtra() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (LendableLocked() <= 0) return false;
    free_.fetch_sub(1, std::memory_order_acq_rel);
    ++lent_;
    return true;
  }
  void ReleaseExtra() {
    std::lock_guard<std::mutex> lock(mutex_);
    free_.fetch_add(1, std::memory_order_acq_rel);
    --lent_;
  }
  // A sink decides to encode in segments: it takes a free core no waiting task needs (given back with
  // ReleaseExtra), so that one free core turns one sink, not every sink that sees it, to segments.
  bool ClaimForSegments() { return LendsCores() && TryAcquireExtra(); }

  // Cores neither a task nor a segment encoder holds now (below 0 while tasks wait for lent cores).
  int32_t FreeCores() const { return free_.load(std::memory_order_acquire); }
  // Free cores that may be lent now: no more than the hardware threads the running tasks and the lent
  // cores leave.
  int32_t LendableCores() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return LendableLocked();
  }

  // The run's tasks that would start in a free slot now (0 unless the run says otherwise).
  void SetWaiting(int32_t tasks) { waiting_.store(tasks < 0 ? 0 : tasks, std::memory_order_release); }
  int32_t Waiting() const { return waiting_.load(std::memory_order_acquire); }
  // A core is free now and no task waits for it: a running task may encode in segments.
  bool LendsCores() const { return cores_ > 1 && FreeCores() > 0 && Waiting() == 0; }

 private:
  int32_t LendableLocked() const {
    const int32_t free = free_.load(std::memory_order_acquire);
    const int32_t idle = hardware_ - running_ - lent_;
    return free < idle ? free : idle;
  }

  const int32_t cores_;
  const int32_t hardware_;
  mutable std::mutex mutex_;  // running_ and lent_, and free_ as they change with it
  std::atomic<int32_t> free_;
  int32_t running_ = 0;
  int32_t lent_ = 0;
  std::atomic<int32_t> waiting_{0};
};
