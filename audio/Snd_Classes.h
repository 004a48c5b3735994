#pragma once
// Audio sources and sinks: a sink pulls PCM blocks from its source in steps on its own worker thread
// and reports progress, completion and errors through events.
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <iosfwd>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "audio/SndError.h"

// Owner-less stand-in for the toolkit's component: tells the components that watch it when it is
// destroyed. Links are made and broken on the thread that owns both components.
class TComponent {
 public:
  TComponent() = default;
  virtual ~TComponent();
  TComponent(const TComponent&) = delete;
  TComponent& operator=(const TComponent&) = delete;

 protected:
  // Called on watcher when a component it watches is being destroyed.
  virtual void Notification(TComponent* component) { (void)component; }
  // Asks to be told (through Notification) when other is destroyed; RemoveFreeNotification undoes it.
  void FreeNotification(TComponent* other);
  void RemoveFreeNotification(TComponent* other);
  // Tells the watchers now; derived destructors call it first so a watcher that still reads from this
  // component lets go of it while the derived part is intact. Runs at most once.
  void NotifyDestruction();

 private:
  void RemoveFreeNotificationOf(TComponent* watcher);
  std::vector<TComponent*> watchers_;  // told when this one goes
  std::vector<TComponent*> watched_;   // this one is told when they go
  bool notified_ = false;
};

// An output byte stream of a sink.
class TByteStream {
 public:
  virtual ~TByteStream() = default;
  // Writes count bytes; returns the count written (fewer when the write failed).
  virtual int64_t Write(const void* data, int64_t count) = 0;
  // errno of the last failed write, 0 when none failed.
  virtual int LastError() const { return 0; }
};

// ---------------------------------------------------------------------------------------------
// Sources

class TSndInput : public TComponent {
 public:
  TSndInput() = default;
  ~TSndInput() override;

  virtual int32_t SampleBits() = 0;
  virtual int32_t ChannelCount() = 0;
  virtual int32_t SamplesPerSecond() = 0;
  virtual int32_t TotalSeconds() { return 0; }
  // Copies up to bufferSize bytes of PCM into buffer; 0 means no more data.
  virtual int32_t ReadData(void* buffer, int32_t bufferSize) = 0;
  // EndRead with any exception swallowed, then not Busy.
  virtual void ForceIdle();
  virtual void BeginRead() = 0;
  virtual void EndRead() = 0;
  // Asks for PCM at rate Hz (0: the source's own) with channels channels (0: the source's own) from
  // the next BeginRead on, to be converted once at the source; a source that cannot ignores it.
  virtual void RequestFormat(int32_t rate, int32_t channels) { (void)rate, (void)channels; }
  // The rate the source itself was recorded at, before any conversion (0: unknown); its audio holds
  // nothing above half of it.
  virtual int32_t OwnSampleRate() { return 0; }

  // 64-bit: a source of more than 2^31 bytes (3 h 22 min of CD audio) must not overflow.
  std::atomic<int64_t> Position{0};  // bytes delivered by ReadData since BeginRead
  std::atomic<int64_t> Size{0};      // bytes the run is expected to deliver; -1 = unknown
  std::atomic<bool> Busy{false};     // a run of this source is in progress
  int32_t BlockPos = 0;              // 1-based index of the next unread byte of the current block
  int32_t BlockEnd = 0;              // valid bytes in the current block; BlockPos > BlockEnd = used up
};

class TSndStreamedInput : public TSndInput {
 public:
  TSndStreamedInput();

  std::istream* Stream = nullptr;  // attached byte stream, not owned
  bool StreamAttached = false;     // an external stream was attached
  bool ReopenOnQuery = true;       // format queries open the source for their duration
};

// A source that reads a file. OpenSource/CloseSource are counted: only the first open (0 -> 1) calls
// DoOpenSource and only the last close (1 -> 0) calls DoCloseSource. A descendant either fills those two
// hooks or overrides OpenSource/CloseSource itself, counting the same way.
class TSndFileIn : public TSndStreamedInput {
 public:
  TSndFileIn() = default;

  int32_t SampleBits() override;
  int32_t ChannelCount() override;
  int32_t SamplesPerSecond() override;
  int32_t TotalSeconds() override;
  void ForceIdle() override;
  void BeginRead() override;
  void EndRead() override;

  virtual void OpenSource();
  virtual void CloseSource();
  // Stores a seek request (a sample frame) that the next block read carries out.
  virtual void SeekSample(int64_t frame) = 0;

  std::string FileName;               // path of the source file (UTF-8)
  int64_t StartSample = 0;            // first sample frame to deliver
  int64_t EndSample = -1;             // sample frame to stop at (exclusive); -1 = to the end
  bool Loop = false;                  // start again at the beginning when the data ends
  std::atomic<int32_t> OpenCount{0};  // nesting depth of OpenSource; atomic because format queries
                                      // run on the worker and the main thread alike
  int32_t BitsPerSample = 0;          // format of the delivered PCM, filled when the source opens
  int32_t SampleRate = 0;
  int32_t Channels = 0;
  int64_t TotalSamples = 0;  // sample frames in the whole source
  int64_t SeekTarget = 0;    // pending seek request stored by SeekSample; 0 = none

 protected:
  // The real open (fills the format fields and Size) and close of the source.
  virtual void DoOpenSource() {}
  virtual void DoCloseSource() {}

 private:
  int32_t QueryFormat(const int32_t& field);
};

class TSndOutput;

// A source that reads from another source. Not used by the conversion, kept for the model.
class TSndConverter : public TSndInput {
 public:
  TSndConverter() = default;
  ~TSndConverter() override;

  TSndInput* Input() const { return input_.load(std::memory_order_acquire); }
  virtual void SetInput(TSndInput* value);
  // Clears this converter's InputLock and those of the converters it reads from.
  void UnlockChain();

  std::atomic<bool> InputLock{false};

 protected:
  void Notification(TComponent* component) override;
  void AcquireInputLock();
  void ReleaseInputLock();

 private:
  std::atomic<TSndInput*> input_{nullptr};
};

// ---------------------------------------------------------------------------------------------
// Sinks

enum class TOutputState : int32_t { Running = 0, Paused = 1, Idle = 2 };
enum TFileOutputMode : int32_t { foRewrite = 0, foAppend = 1 };

using TOutputDoneEvent = std::function<void(TComponent* sender)>;
using TOutputProgressEvent = std::function<void(TComponent* sender)>;
using TThreadExceptionEvent = std::function<void(TComponent* sender, const Exception& e)>;

class MainThreadCallQueue;

// The worker of one sink. It starts with the sink and waits (halted) until the first Start; a halt is a
// wait between steps, never inside one.
class TSndThread {
 public:
  TSndThread(TSndOutput* sink, std::function<void(const Exception&)> errorHandler);
  ~TSndThread();  // requires Terminate() to have been called
  TSndThread(const TSndThread&) = delete;
  TSndThread& operator=(const TSndThread&) = delete;

  TSndOutput* const Sink;
  std::atomic<bool> SuspendWhenIdle{true};
  std::atomic<bool> TerminateRequest{false};
  std::atomic<bool> StopRequest{false};
  const std::function<void(const Exception&)> ErrorHandler;  // the sink's HandleRunError

 private:
  friend class TSndOutput;
  void Execute();
  void HaltPoint();   // waits while halted or paused; returns at once on termination
  void HaltIfIdle();  // after a run: halt unless a new run has already been started
  void Join();

  std::mutex stepLock_;   // held around every step; taken only by the worker
  std::mutex haltMutex_;  // guards the halt state below with haltChanged_
  std::condition_variable haltChanged_;
  bool idleHalted_ = true;  // created halted: the first Start resumes it
  std::atomic<bool> pauseRequested_{false};
  std::atomic<bool> parked_{false};  // waiting at the halt point (so no step runs)
  std::atomic<bool> finished_{false};
  std::thread thread_;
};

class TSndOutput : public TComponent {
 public:
  TSndOutput();
  ~TSndOutput() override;

  TSndInput* Input() const { return input_.load(std::memory_order_acquire); }
  virtual void SetInput(TSndInput* value);
  bool SuspendWhenIdle() const { return Worker->SuspendWhenIdle.load(std::memory_order_acquire); }
  void SetSuspendWhenIdle(bool value) { Worker->SuspendWhenIdle.store(value, std::memory_order_release); }

  // Events. A run ends with exactly one of OnDone (it finished or was stopped) and OnThreadException
  // (it failed); never both, and an error is never reported as done.
  //
  // OnDone and OnProgress run on the thread that created the sink (the UI thread), while the worker
  // waits: from that thread's Qt event loop (modal loops included) or, without an event loop, from
  // ProcessMainThreadCalls (MainThreadCall.h). A handler may Start the next run, Pause, Stop or destroy
  // the input, but must not destroy the sink.
  TOutputDoneEvent OnDone;
  TOutputProgressEvent OnProgress;
  // Runs directly on the thread where the error arose, after the output has been finalised: the
  // worker for errors in steps and in finishing, the caller of Start for errors while preparing. The
  // worker does not wait for the UI thread here, so a handler on the worker must not block on it
  // either: it hands the error over (a queued call, an atomic) and returns. The exception object
  // lives only for the call.
  TThreadExceptionEvent OnThreadException;

  // Begins a run; raises "Component is Busy" or "Input is not assigned". A failure while preparing the
  // output is reported through OnThreadException only.
  void Start();
  // The run ends after the current step through the normal finishing path (OnDone fires).
  void Stop();
  // Asks the worker to halt between steps and returns at once: the step in progress, if any, still
  // ends (PauseSettled tells when it has). No effect while Idle.
  void Pause();
  // A pause was asked for, the worker now stands between steps and the sink's helpers hold too.
  bool PauseSettled() const;
  void Resume();
  TOutputState State() const;
  // Position / Size x 100 rounded half to even, not clamped; 0 without input or with Size 0, -1 for
  // an unknown Size.
  int32_t ProgressPercent() const;

  std::atomic<bool> CanWrite{false};  // steps may do work
  int32_t LastProgress = 0;           // last percentage the worker saw; not reset between runs
  std::atomic<bool> Busy{false};      // a run is in progress
  // Held while the worker reads from Input, Input is swapped, or the progress is read from Input.
  mutable std::atomic<bool> InputLock{false};

 protected:
  // Descendant contract. PrepareOutput runs inside Start on the caller's thread before Busy is set and
  // calls BeginRead on the input; WriteStep runs on the worker and returns false when the run is over;
  // FinishOutput finalises the output and calls EndRead on the input.
  virtual void PrepareOutput() = 0;
  virtual bool WriteStep(bool abort) = 0;
  virtual void FinishOutput() = 0;

  // Ends the worker: a descendant's destructor calls it first, so no step or finishing runs on a
  // half-destroyed sink. A run still in progress is finalised without OnDone. Runs at most once.
  void TerminateWorker();

  void Notification(TComponent* component) override;
  void AcquireInputLock();
  void ReleaseInputLock();
  void FinishRun();
  void HandleRunError(const Exception& e);

  // A pause is asked for (until Resume): a descendant's helper threads hold at their next block.
  bool PauseRequested() const;
  // A descendant's helper threads (beside the worker) all hold now; PauseSettled waits for them too.
  virtual bool HelpersHeld() const { return true; }
  // Called after Pause and Resume changed the request, so a descendant can wake its helpers.
  virtual void PauseChanged() {}

  std::unique_ptr<TSndThread> Worker;

 private:
  friend class TSndThread;
  // Runs fn on the owner thread and waits; false when the call was dropped because the sink is ending.
  bool CallOnOwnerThread(const std::function<void()>& fn);
  void DeliverProgress();
  void DeliverDone();

  std::atomic<TSndInput*> input_{nullptr};
  std::shared_ptr<MainThreadCallQueue> ownerCalls_;
  bool terminated_ = false;
};

class TSndStreamedOutput : public TSndOutput {
 public:
  TByteStream* Stream = nullptr;  // the output byte stream
  bool StreamAttached = false;    // false: the file sink creates and frees its own stream
};

class TSndFileOut : public TSndStreamedOutput {
 public:
  TSndFileOut();

  std::string FileName;  // UTF-8 path
  TFileOutputMode FileMode() const { return fileMode_; }
  // This sink only rewrites its file: any mode is stored as foRewrite.
  virtual void SetFileMode(TFileOutputMode value);

 private:
  TFileOutputMode fileMode_ = foRewrite;
};

// OnDone reaches the owner thread through a marshalled call; the carrier only holds what it needs.
struct TDoneCarrier {
  TOutputDoneEvent DoneHandler;
  TComponent* Sender = nullptr;
  void Execute() const {
    if (DoneHandler) DoneHandler(Sender);
  }
};
