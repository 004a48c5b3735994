#pragma once
// TDX9In: the file source that decodes its file through TAudioFileReader and always delivers 16-bit
// PCM with at least two channels (8-bit sources widened, mono sources duplicated), at the file's own
// rate, unless a sink asked for another rate or for one channel.
#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

#include "audio/AudioFileRead.h"
#include "audio/DecoderCheck.h"
#include "audio/Snd_Classes.h"

class TDX9In : public TSndFileIn {
 public:
  TDX9In() = default;
  ~TDX9In() override;  // also releases a reader still held by an OpenSource without CloseSource

  void OpenSource() override;
  void CloseSource() override;
  void BeginRead() override;
  void EndRead() override;
  // Ends a run whatever its state and closes the source completely, reader included.
  void ForceIdle() override;
  int32_t ReadData(void* buffer, int32_t bufferSize) override;
  // Stores a sample frame to go to before the next block; 0 means none.
  void SeekSample(int64_t frame) override;
  // From now on the PCM comes resampled to rate Hz (0: the file's own) and, with channels 1, mixed
  // down to one channel; sample frames (StartSample, EndSample, SeekSample) count at that rate.
  void RequestFormat(int32_t rate, int32_t channels) override;
  int32_t OwnSampleRate() override;

  // The reader while the source is open, else null; the run reads its duration and position.
  TAudioFileReader* Reader() const { return readerView_.load(std::memory_order_acquire); }

  static constexpr int32_t BlockBufferSize = 32768;

 private:
  int32_t FillBlock();
  int32_t ReadWidened();
  void GoToFrame(int64_t frame);
  void TakeFormat(const TAudioFileReader& reader);

  std::unique_ptr<TAudioFileReader> reader_;
  std::atomic<TAudioFileReader*> readerView_{nullptr};  // read by the progress display's thread
  std::vector<uint8_t> BlockBuffer;                     // one decoded and widened block
  int64_t nextFrame_ = 0;                               // index of the next sample frame the reader hands out
  bool readerUsed_ = false;                             // the reader has moved since it was opened or rewound
  int64_t runawayFrames_ = 0;  // frames past which the source counts as damaged; 0 = no limit known
  int64_t holdsSeconds_ = 0;   // what the file states or can hold, for the message
  int32_t requestedRate_ = 0;  // asked for by the sink; 0 = the file's own
  int32_t requestedChannels_ = 0;
  int32_t ownRate_ = 0;  // the file's own rate, as last opened
};
