#include "audio/Snd_Classes.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <limits>

#include "audio/MainThreadCall.h"

namespace {

// Rounds half to even (the default rounding mode) and keeps the result inside 32 bits.
int32_t RoundToInt32(double value) {
  const double rounded = std::nearbyint(value);
  if (std::isnan(rounded)) return 0;
  if (rounded >= double(std::numeric_limits<int32_t>::max())) return std::numeric_limits<int32_t>::max();
  if (rounded <= double(std::numeric_limits<int32_t>::min())) return std::numeric_limits<int32_t>::min();
  return int32_t(rounded);
}

void SpinAcquire(std::atomic<bool>& lock) {
  while (lock.exchange(true, std::memory_order_acquire)) std::this_thread::yield();
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// TComponent

TComponent::~TComponent() {
  NotifyDestruction();
  for (TComponent* other : watched_) {
    auto& list = other->watchers_;
    list.erase(std::remove(list.begin(), list.end(), this), list.end());
  }
}

void TComponent::FreeNotification(TComponent* other) {
  if (!other || other == this) return;
  if (std::find(other->watchers_.begin(), other->watchers_.end(), this) == other->watchers_.end()) {
    other->watchers_.push_back(this);
    watched_.push_back(other);
  }
}

void TComponent::RemoveFreeNotification(TComponent* other) {
  if (!other) return;
  other->watchers_.erase(std::remove(other->watchers_.begin(), other->watchers_.end(), this),
                         other->watchers_.end());
  watched_.erase(std::remove(watched_.begin(), watched_.end(), other), watched_.end());
}

void TComponent::NotifyDestruction() {
  if (notified_) return;
  notified_ = true;
  // A watcher's Notification may unlink itself, so walk a copy.
  const std::vector<TComponent*> watchers = watchers_;
  for (TComponent* watcher : watchers) {
    if (std::find(watchers_.begin(), watchers_.end(), watcher) == watchers_.end()) continue;
    watcher->Notification(this);
    RemoveFreeNotificationOf(watcher);
  }
  watchers_.clear();
}

void TComponent::RemoveFreeNotificationOf(TComponent* watcher) {
  watchers_.erase(std::remove(watchers_.begin(), watchers_.end(), watcher), watchers_.end());
  auto& list = watcher->watched_;
  list.erase(std::remove(list.begin(), list.end(), this), list.end());
}

// ---------------------------------------------------------------------------------------------
// Sources

TSndInput::~TSndInput() { NotifyDestruction(); }

void TSndInput::ForceIdle() {
  try {
    EndRead();
  } catch (...) {
  }
  Busy = false;
}

TSndStreamedInput::TSndStreamedInput() { ReopenOnQuery = true; }

void TSndFileIn::OpenSource() {
  if (OpenCount.load() == 0) DoOpenSource();
  ++OpenCount;
}

void TSndFileIn::CloseSource() {
  if (OpenCount.load() == 1) DoCloseSource();
  if (OpenCount.load() > 0) --OpenCount;
}

int32_t TSndFileIn::QueryFormat(const int32_t& field) {
  if (!ReopenOnQuery) return field;
  OpenSource();
  const int32_t value = field;
  CloseSource();
  return value;
}

int32_t TSndFileIn::SampleBits() { return QueryFormat(BitsPerSample); }
int32_t TSndFileIn::ChannelCount() { return QueryFormat(Channels); }
int32_t TSndFileIn::SamplesPerSecond() { return QueryFormat(SampleRate); }

int32_t TSndFileIn::TotalSeconds() {
  OpenSource();
  int32_t seconds = 0;
  try {
    const int64_t rate = SamplesPerSecond();
    const int64_t channels = ChannelCount();
    const int64_t bits = SampleBits();
    const int64_t bytesPerSecond = rate * channels * (bits / 8);
    // 1..7 bits per sample make zero bytes per frame: no division by zero then.
    if (rate != 0 && channels != 0 && bits != 0 && bytesPerSecond != 0) {
      seconds = RoundToInt32(double(Size.load()) / double(bytesPerSecond));
    }
  } catch (...) {
    CloseSource();
    throw;
  }
  CloseSource();
  return seconds;
}

void TSndFileIn::ForceIdle() {
  TSndInput::ForceIdle();
  OpenCount = 0;
}

void TSndFileIn::BeginRead() {
  if (Busy) throw ESndException("The component is Busy");
  if (!StreamAttached && FileName.empty()) throw ESndException("The file name is not assigned");
  OpenSource();
  try {
    if (StartSample != 0) SeekSample(StartSample);
    if (StartSample != 0 || EndSample != -1) {
      int64_t frames = EndSample == -1 ? TotalSamples - StartSample : EndSample - StartSample;
      Size = frames * (SampleBits() / 8) * ChannelCount();
    }
  } catch (...) {
    CloseSource();  // a failed start leaves the source as it found it
    throw;
  }
  Busy = true;
  BlockPos = 1;
  BlockEnd = 0;
  Position = 0;
}

void TSndFileIn::EndRead() {
  CloseSource();
  Busy = false;
}

// ---------------------------------------------------------------------------------------------
// TSndConverter

TSndConverter::~TSndConverter() { NotifyDestruction(); }

void TSndConverter::AcquireInputLock() { SpinAcquire(InputLock); }
void TSndConverter::ReleaseInputLock() { InputLock.store(false, std::memory_order_release); }

void TSndConverter::SetInput(TSndInput* value) {
  if (value == this) return;
  TSndInput* old = Input();
  if (old == value) return;
  if (Busy && value) value->BeginRead();
  AcquireInputLock();
  input_.store(value, std::memory_order_release);
  ReleaseInputLock();
  RemoveFreeNotification(old);
  FreeNotification(value);
  if (Busy && old) old->EndRead();
}

void TSndConverter::UnlockChain() {
  InputLock.store(false, std::memory_order_release);
  if (auto* next = dynamic_cast<TSndConverter*>(Input())) next->UnlockChain();
}

void TSndConverter::Notification(TComponent* component) {
  if (component != Input()) return;
  // The source is going away: let go of it without calling into it.
  AcquireInputLock();
  input_.store(nullptr, std::memory_order_release);
  ReleaseInputLock();
}

// ---------------------------------------------------------------------------------------------
// TSndThread

TSndThread::TSndThread(TSndOutput* sink, std::function<void(const Exception&)> errorHandler)
    : Sink(sink), ErrorHandler(std::move(errorHandler)) {
  thread_ = std::thread([this] { Execute(); });
}

TSndThread::~TSndThread() { Join(); }

void TSndThread::Join() {
  if (thread_.joinable()) thread_.join();
}

void TSndThread::HaltPoint() {
  std::unique_lock<std::mutex> lock(haltMutex_);
  // Also halts a worker that was cycling idle when SuspendWhenIdle was switched back on.
  if (SuspendWhenIdle.load() && !Sink->Busy.load()) idleHalted_ = true;
  while (!TerminateRequest.load() && (idleHalted_ || pauseRequested_.load())) {
    parked_ = true;
    haltChanged_.wait(lock);
  }
  parked_ = false;
  // An idle worker that does not halt cycles without work; it does so at a gentle pace.
  if (!TerminateRequest.load() && !Sink->Busy.load() && !SuspendWhenIdle.load()) {
    haltChanged_.wait_for(lock, std::chrono::milliseconds(10));
  }
}

void TSndThread::HaltIfIdle() {
  std::lock_guard<std::mutex> lock(haltMutex_);
  // A Start from inside OnDone (or right after it) has already begun the next run: keep going.
  if (SuspendWhenIdle.load() && !Sink->Busy.load()) idleHalted_ = true;
}

void TSndThread::Execute() {
  while (!TerminateRequest.load()) {
    HaltPoint();
    if (TerminateRequest.load()) break;
    std::lock_guard<std::mutex> step(stepLock_);
    // Errors outside the program's family would end the process from a thread: report them alike.
    auto reportError = [this](const Exception& e) {
      StopRequest = false;
      try {
        if (ErrorHandler) ErrorHandler(e);
      } catch (...) {
      }
      HaltIfIdle();
    };
    try {
      Sink->DeliverProgress();
      if (TerminateRequest.load()) break;
      if (pauseRequested_.load()) continue;  // paused from the progress handler: no step now
      const bool more = Sink->WriteStep(StopRequest.load());
      if (StopRequest.load() || !more) {
        StopRequest = false;
        Sink->FinishRun();
        Sink->DeliverDone();
        HaltIfIdle();
      }
    } catch (const Exception& e) {
      reportError(e);
    } catch (const std::exception& e) {
      reportError(Exception(e.what()));
    } catch (...) {
      reportError(Exception("Unknown error"));
    }
  }
  // The sink is going away in the middle of a run: finalise the output, without OnDone.
  if (Sink->Busy.load()) {
    try {
      Sink->FinishRun();
    } catch (...) {
      Sink->CanWrite = false;
      Sink->Busy = false;
    }
  }
  {
    std::lock_guard<std::mutex> lock(haltMutex_);
    finished_ = true;
    parked_ = true;
  }
  Sink->ownerCalls_->Wake();
}

// ---------------------------------------------------------------------------------------------
// TSndOutput

TSndOutput::TSndOutput() : ownerCalls_(MainThreadCallQueue::ForCurrentThread()) {
  Worker = std::make_unique<TSndThread>(this, [this](const Exception& e) { HandleRunError(e); });
  Worker->SuspendWhenIdle = true;
}

TSndOutput::~TSndOutput() {
  TerminateWorker();
  NotifyDestruction();
  RemoveFreeNotification(Input());
}

void TSndOutput::TerminateWorker() {
  if (terminated_) return;
  terminated_ = true;
  // TerminateRequest first: from here on no new marshalled call is queued, then drop the one that
  // may be waiting, then wake a halted or paused worker.
  Worker->TerminateRequest = true;
  ownerCalls_->Cancel(this);
  { std::lock_guard<std::mutex> lock(Worker->haltMutex_); }
  Worker->haltChanged_.notify_all();
  Worker->Join();
}

bool TSndOutput::CallOnOwnerThread(const std::function<void()>& fn) {
  if (std::this_thread::get_id() == ownerCalls_->Owner()) {
    fn();
    return true;
  }
  return ownerCalls_->Call(fn, this, Worker->TerminateRequest);
}

void TSndOutput::DeliverProgress() {
  const int32_t percent = ProgressPercent();
  if (percent == LastProgress) return;
  LastProgress = percent;
  if (OnProgress) {
    CallOnOwnerThread([this] {
      if (OnProgress) OnProgress(this);
    });
  }
}

void TSndOutput::DeliverDone() {
  TDoneCarrier carrier{OnDone, this};
  if (carrier.DoneHandler) CallOnOwnerThread([&carrier] { carrier.Execute(); });
}

void TSndOutput::AcquireInputLock() { SpinAcquire(InputLock); }
void TSndOutput::ReleaseInputLock() { InputLock.store(false, std::memory_order_release); }

void TSndOutput::SetInput(TSndInput* value) {
  TSndInput* old = Input();
  if (old == value) return;
  const bool busy = Busy.load();
  if (busy && value) value->BeginRead();
  AcquireInputLock();
  input_.store(value, std::memory_order_release);
  ReleaseInputLock();
  RemoveFreeNotification(old);
  FreeNotification(value);
  if (busy && old) old->EndRead();
}

void TSndOutput::Notification(TComponent* component) {
  if (component != Input()) return;
  // The source is going away: the worker lets go of it after its current read; nothing calls into it
  // any more, and a run in progress ends at its next step.
  AcquireInputLock();
  input_.store(nullptr, std::memory_order_release);
  ReleaseInputLock();
}

void TSndOutput::Start() {
  if (Busy.load()) throw ESndException("Component is Busy");
  if (!Input()) throw ESndException("Input is not assigned");
  // A sink made before the application still gets its calls from the event loop.
  if (std::this_thread::get_id() == ownerCalls_->Owner()) ownerCalls_->AttachToEventLoop();
  InputLock = false;
  try {
    PrepareOutput();
    Busy = true;
    Worker->StopRequest = false;
    CanWrite = true;
    {
      std::lock_guard<std::mutex> lock(Worker->haltMutex_);
      Worker->idleHalted_ = false;
      Worker->pauseRequested_ = false;
    }
    Worker->haltChanged_.notify_all();
  } catch (const Exception& e) {
    HandleRunError(e);
  }
}

void TSndOutput::Stop() {
  // Outside a run there is nothing to stop (and no OnDone to fire).
  if (Busy.load()) Worker->StopRequest = true;
}

void TSndOutput::Pause() {
  if (!Busy.load()) return;
  // Only asks: the worker halts after its current step. The caller never waits for that step, which
  // may be long (a slow disk), so a window pausing several sinks stays responsive.
  {
    std::lock_guard<std::mutex> lock(Worker->haltMutex_);
    Worker->pauseRequested_ = true;
  }
  PauseChanged();
}

bool TSndOutput::PauseRequested() const { return Worker->pauseRequested_.load(); }

bool TSndOutput::PauseSettled() const {
  return Worker->pauseRequested_.load() && (Worker->parked_.load() || Worker->finished_.load()) &&
         HelpersHeld();
}

void TSndOutput::Resume() {
  {
    std::lock_guard<std::mutex> lock(Worker->haltMutex_);
    Worker->pauseRequested_ = false;
  }
  Worker->haltChanged_.notify_all();
  PauseChanged();
}

TOutputState TSndOutput::State() const {
  if (!Busy.load()) return TOutputState::Idle;
  if (Worker->pauseRequested_.load()) return TOutputState::Paused;
  return TOutputState::Running;
}

int32_t TSndOutput::ProgressPercent() const {
  // Under InputLock: the input may be swapped or destroyed on another thread meanwhile.
  SpinAcquire(InputLock);
  const TSndInput* input = Input();
  const int64_t size = input ? input->Size.load() : 0;
  const int64_t position = input ? input->Position.load() : 0;
  InputLock.store(false, std::memory_order_release);
  if (!input) return 0;
  if (size == -1) return -1;
  if (size == 0) return 0;
  return RoundToInt32(double(position) / double(size) * 100.0);
}

void TSndOutput::FinishRun() {
  if (!Busy.load()) return;
  CanWrite = false;
  try {
    FinishOutput();
  } catch (...) {
    // The error path must not finish a second time: that would end the input's read twice.
    Busy = false;
    throw;
  }
  Busy = false;
}

void TSndOutput::HandleRunError(const Exception& e) {
  InputLock = false;
  if (State() != TOutputState::Idle) {
    if (auto* converter = dynamic_cast<TSndConverter*>(Input())) {
      try {
        converter->UnlockChain();
      } catch (...) {
      }
    }
    try {
      FinishOutput();
    } catch (...) {
    }
  }
  CanWrite = false;
  Busy = false;
  if (OnThreadException) OnThreadException(this, e);
}

// ---------------------------------------------------------------------------------------------
// File sink

TSndFileOut::TSndFileOut() { fileMode_ = foRewrite; }

void TSndFileOut::SetFileMode(TFileOutputMode value) {
  (void)value;
  fileMode_ = foRewrite;
}
