#pragma once
// One piece of a run's work done on a thread of its own (comparing outputs, opening an input, creating
// an MP3, judging and publishing a finished one all touch files, and a dead network share can hold
// any of them), so the thread that drives the run answers meanwhile. Its end is told on that driving
// thread. A step that may hang can be abandoned: it then ends on its own, unseen.
#include <chrono>
#include <functional>
#include <memory>
#include <thread>

class TBackgroundStep {
 public:
  // What happens when the system starts no further thread.
  enum class TWithoutThread { RunHere, Raise };

  // Runs work on a new thread; once it has run, finished runs on the thread that made the step, from
  // that thread's call queue (its Qt event loop, or MainThreadCallQueue::Process). Without a thread,
  // both run here and now, or std::system_error is raised.
  TBackgroundStep(std::function<void()> work, std::function<void()> finished,
                  TWithoutThread withoutThread = TWithoutThread::RunHere);
  // Waits for the thread, unless it was abandoned; finished does not run after this.
  ~TBackgroundStep();
  TBackgroundStep(const TBackgroundStep&) = delete;
  TBackgroundStep& operator=(const TBackgroundStep&) = delete;

  // The thread goes on alone and finished never runs; the step may go at once. Only for work that
  // owns everything it touches, since it may outlive whoever made the step.
  void Abandon();

 private:
  struct TState;
  std::shared_ptr<TState> state_;
  std::thread thread_;
};

// Waits up to bound for every abandoned step's thread to end (and free what it held); true when none is
// left. The program does so once as it exits.
bool WaitForAbandonedSteps(std::chrono::milliseconds bound);
