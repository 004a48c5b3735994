#pragma once
// Test doubles at the seam between sources and sinks: a file source that delivers known sine waves,
// a sink that only counts, and the pump that runs the sinks' marshalled calls on the test thread.
#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "audio/Snd_Classes.h"

// Delivers Frames sample frames of a sine of Frequency Hz, 16-bit, on every channel alike.
class TSineSource : public TSndFileIn {
 public:
  TSineSource(int rate, int channels, double frequency, double seconds);
  ~TSineSource() override;

  int32_t ReadData(void* buffer, int32_t bufferSize) override;
  void SeekSample(int64_t frame) override;
  void BeginRead() override;

  int Rate;
  int ChannelsOut;
  double Frequency;
  int64_t Frames;
  bool UnknownSize = false;  // report Size -1
  int32_t MaxRead = 0;       // deliver at most this much per call (0: what is asked)
  // Runs in every ReadData, on the reading thread, with the index of the call (0-based).
  std::function<void(int)> OnRead;
  std::atomic<int> RealOpens{0};
  std::atomic<int> RealCloses{0};
  std::atomic<int> Reads{0};

 protected:
  void DoOpenSource() override;
  void DoCloseSource() override;

 private:
  int64_t nextFrame_ = 0;
};

// The sample the sine source delivers for a frame.
int16_t SineSample(double frequency, int rate, int64_t frame);

// Reads its input in 4096-byte steps and counts what happens.
class TCountingSink : public TSndOutput {
 public:
  ~TCountingSink() override;

  std::atomic<int> Prepares{0};
  std::atomic<int> Steps{0};  // steps that did work
  std::atomic<int> Finishes{0};
  std::atomic<int64_t> BytesRead{0};
  int ThrowAtStep = 0;  // 1-based; 0 = never
  int ThrowKind = 0;    // 0 ESndException, 1 std::runtime_error, 2 an int
  bool ThrowInPrepare = false;
  bool ThrowInFinish = false;  // the finishing of a run fails (after ending the input's read)

 protected:
  void PrepareOutput() override;
  bool WriteStep(bool abort) override;
  void FinishOutput() override;
};

// Runs the marshalled calls of this thread until done() is true; false when timeoutMs passed first.
bool PumpUntil(const std::function<bool()>& done, int timeoutMs = 60000);
// Runs the marshalled calls of this thread for about ms milliseconds.
void PumpFor(int ms);
