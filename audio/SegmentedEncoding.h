#pragma once
// One file encoded as consecutive segments by several encoder instances at once. The sink's worker
// hands in the decoded PCM, encodes segments itself between its reads, and takes the finished
// segments out in file order; helper threads encode segments on the cores the run's budget lends them.
// Decoded PCM waits in a bounded queue: the worker reads on only while no complete segment waits for
// an encoder, so a run holds the segments being encoded, one waiting and the one being filled.
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "audio/CoreBudget.h"
#include "audio/LameSettings.h"
#include "audio/Mp3Encoder.h"
#include "audio/SegmentPlan.h"
#include "audio/SegmentResult.h"

// What the helper threads share with their sink across runs: the wake-up for a pause or a resume,
// and the count of helpers inside a block of encoding (a pause has settled only at 0).
struct TEncoderSignals {
  std::mutex Mutex;
  std::condition_variable Changed;
  std::atomic<int> Busy{0};
  void Notify() {
    { std::lock_guard<std::mutex> lock(Mutex); }
    Changed.notify_all();
  }
};

class TSegmentedEncoding {
 public:
  struct TSetup {
    TLameSettings Settings;
    TSegmentPlan Plan;
    int32_t ChunkFrames = 4096;
    int64_t BufferSize = 0;
    TCoreBudget* Cores = nullptr;
    int32_t Helpers = 0;       // threads that may encode beside the worker, each on a lent core, at most
    bool ClaimedCore = false;  // the sink has claimed a lent core for the run: the first helper's
    // Starts a helper thread (default: std::thread); a helper that cannot start leaves the worker alone.
    std::function<std::thread(std::function<void()>)> StartThread;
    std::function<bool()> PauseRequested;
    TEncoderSignals* Signals = nullptr;
    TSegmentTakeOver TakeOver;  // Read 0: the run starts in segments
  };
  // first: the run's first encoder instance, configured already, for the first segment; with a take-over
  // it has encoded TakeOver.Read samples already, and the plan's first segment ends after them.
  TSegmentedEncoding(TSetup setup, std::unique_ptr<TMp3Encoder> first);
  ~TSegmentedEncoding();  // abandons what is left and joins the helpers
  TSegmentedEncoding(const TSegmentedEncoding&) = delete;
  TSegmentedEncoding& operator=(const TSegmentedEncoding&) = delete;

  // On the worker: whether it should read (no complete segment is waiting), the PCM it read (16-bit,
  // channels other than 2 go to both sides), and the end of the input.
  bool WantsInput() const;
  void AddPcm(const int16_t* samples, int64_t frames, int32_t channels);
  void EndOfInput();

  // On the worker: encodes one block of a segment; false when no segment is there for it.
  bool WorkerStep();
  // Waits until a segment is finished or ms have passed.
  void WaitForWork(int ms);
  // The next finished segment in file order, if it is finished; a failed one raises its ESndException.
  bool TakeNext(TSegmentResult& result);
  // The input has ended and every segment was taken.
  bool Finished() const;

  // A stop: the segments finished in order stay, and the one after them that is being encoded ends
  // where its encoder is (nothing at all finished: the first segment ends with what was read); the
  // rest is dropped. Helpers no longer hold for a pause.
  void StopHere();
  // The run is finishing in one go on the worker: helpers no longer hold for a pause.
  void Finishing();

 private:
  struct TJob;
  void HelperLoop();
  void EncodeAsHelper(const std::shared_ptr<TJob>& job);
  void Queue(const std::shared_ptr<TJob>& job, bool last);
  std::shared_ptr<TJob> TakeQueued();  // under mutex_
  void Finish(const std::shared_ptr<TJob>& job);
  bool Paused() const;
  void Abandon();
  void AddHelperIfUseful();
  bool TakeCore();  // a lent core for a helper: the claimed one, else one the budget has free

  TSetup setup_;
  std::unique_ptr<TMp3Encoder> first_;
  TEncoderSignals& signals_;
  std::mutex& mutex_;                       // the signals' mutex: one lock for the jobs and the waits
  std::deque<std::shared_ptr<TJob>> jobs_;  // not yet taken, in file order
  std::shared_ptr<TJob> workerJob_;         // the one the worker encodes
  int64_t nextJob_ = 0;                     // index of the next segment to open
  int64_t read_ = 0;                        // input sample frames handed in
  bool ended_ = false;                      // no more segments will open
  bool stopping_ = false;                   // finishing: pauses no longer hold the helpers
  bool abandon_ = false;
  bool taken_ = false;                // a segment went out
  std::vector<std::thread> helpers_;  // started and joined by the worker
  int32_t idleHelpers_ = 0;           // helpers without a segment
  bool claimed_ = false;              // the claimed core, until a helper takes it (under mutex_)
  bool noHelpers_ = false;            // a helper could not start: the worker goes on alone
};
