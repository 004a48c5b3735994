#include "run/BackgroundStep.h"

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <system_error>

#include "audio/MainThreadCall.h"

namespace {

// How long the program's exit waits for steps it abandoned (an open on a dead share may never end).
constexpr std::chrono::seconds kExitBound{2};

// The abandoned steps' threads still running. Never freed: such a thread may end after static
// destruction has begun.
struct TAbandoned {
  std::mutex Mutex;
  std::condition_variable Ended;
  int Running = 0;
};

TAbandoned& Abandoned() {
  static auto* abandoned = new TAbandoned();
  return *abandoned;
}

// Waits for the abandoned steps as the program exits, within its bound.
struct TExitWait {
  ~TExitWait() { WaitForAbandonedSteps(kExitBound); }
} exitWait;

}  // namespace

struct TBackgroundStep::TState {
  std::shared_ptr<MainThreadCallQueue> Owner = MainThreadCallQueue::ForCurrentThread();
  std::atomic<bool> Abandoned{false};
  std::mutex Mutex;  // guards the two below
  bool Detached = false;
  bool Ended = false;
};

TBackgroundStep::TBackgroundStep(std::function<void()> work, std::function<void()> finished,
                                 TWithoutThread withoutThread)
    : state_(std::make_shared<TState>()) {
  // A copy for the thread: without one, work and finished run here.
  auto body = [state = state_, work = work, finished = finished]() mutable {
    {
      // Everything the step holds goes before its end is counted.
      auto ownWork = std::move(work);
      auto ownFinished = std::move(finished);
      try {
        ownWork();
      } catch (...) {
        // The work keeps its own failures; nothing may escape a thread.
      }
      try {
        state->Owner->Call(ownFinished, state.get(), state->Abandoned);
      } catch (...) {
      }
    }
    std::lock_guard<std::mutex> lock(state->Mutex);
    state->Ended = true;
    if (!state->Detached) return;
    TAbandoned& abandoned = Abandoned();
    std::lock_guard<std::mutex> count(abandoned.Mutex);
    --abandoned.Running;
    abandoned.Ended.notify_all();
  };
  try {
    thread_ = std::thread(std::move(body));
  } catch (const std::system_error&) {
    if (withoutThread == TWithoutThread::Raise) throw;
    // The system's thread limit: the step is short enough to do on the caller's thread.
    work();
    finished();
  }
}

TBackgroundStep::~TBackgroundStep() {
  if (!thread_.joinable()) return;
  // A finished still waiting for this thread is dropped, so the step's thread can end.
  state_->Abandoned = true;
  state_->Owner->Cancel(state_.get());
  thread_.join();
}

void TBackgroundStep::Abandon() {
  if (!thread_.joinable()) return;
  state_->Abandoned = true;
  state_->Owner->Cancel(state_.get());
  std::lock_guard<std::mutex> lock(state_->Mutex);
  if (!state_->Ended) {
    TAbandoned& abandoned = Abandoned();
    std::lock_guard<std::mutex> count(abandoned.Mutex);
    ++abandoned.Running;
    state_->Detached = true;
  }
  thread_.detach();
}

bool WaitForAbandonedSteps(std::chrono::milliseconds bound) {
  TAbandoned& abandoned = Abandoned();
  std::unique_lock<std::mutex> lock(abandoned.Mutex);
  return abandoned.Ended.wait_for(lock, bound, [&] { return abandoned.Running == 0; });
}
