#include "audio/Snd_DX9.h"

#include "audio/DecodeBound.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <string>

extern "C" {
#include <libavutil/mathematics.h>
}

namespace {

// 8-bit unsigned s becomes the 16-bit sample (s - 128) x 256: silence (128) stays 0 and full scale
// stays full scale. From the last sample down, so every source byte is read before it is overwritten.
void WidenBytes(uint8_t* block, int32_t count) {
  for (int32_t k = count - 1; k >= 0; --k) {
    const uint8_t s = block[k];
    block[2 * k] = 0;
    block[2 * k + 1] = uint8_t(s ^ 0x80);  // the high byte of (s - 128) x 256 in two's complement
  }
}

// Each 16-bit mono sample becomes a stereo frame with both channels equal; from the last one down.
void DuplicateMono(uint8_t* block, int32_t bytes) {
  for (int32_t m = bytes / 2 - 1; m >= 0; --m) {
    const uint8_t lo = block[2 * m], hi = block[2 * m + 1];
    block[4 * m] = lo;
    block[4 * m + 1] = hi;
    block[4 * m + 2] = lo;
    block[4 * m + 3] = hi;
  }
}

}  // namespace

TDX9In::~TDX9In() {
  NotifyDestruction();  // a sink that reads from this input lets go while it is still whole
  readerView_.store(nullptr, std::memory_order_release);
}

void TDX9In::TakeFormat(const TAudioFileReader& reader) {
  const TWaveFormatEx& f = reader.StreamFormat();
  const int64_t rate = f.nSamplesPerSec;
  const int64_t bytesPerSecond = rate * f.nChannels * (f.wBitsPerSample / 8);
  // Whole seconds only: the last partial second is not counted, so Position may end above Size.
  const int64_t seconds = reader.StreamDuration() / 10000000;
  Size = bytesPerSecond > 0 && seconds > std::numeric_limits<int64_t>::max() / bytesPerSecond
             ? std::numeric_limits<int64_t>::max()
             : seconds * bytesPerSecond;
  SampleRate = int32_t(f.nSamplesPerSec);
  ownRate_ = reader.SourceRate();
  BitsPerSample = f.wBitsPerSample;
  Channels = f.nChannels;
  TotalSamples = av_rescale(reader.StreamDuration(), rate, 10000000);
  // A damaged header can make a decoder produce audio without end: more than twice what the file
  // states (or, stating nothing, can hold at its bit rate) plus a minute is taken as damage.
  const int64_t limit =
      DecodeLimitHns(reader.StreamDuration(), reader.FileSize(), reader.StatedBitRate(), reader.CodecId());
  runawayFrames_ = limit > 0 ? av_rescale(limit, rate, 10000000) : 0;
  holdsSeconds_ = (reader.StreamDuration() > 0
                       ? reader.StreamDuration()
                       : PlayableHns(reader.FileSize(), reader.StatedBitRate(), reader.CodecId())) /
                  10000000;
}

void TDX9In::OpenSource() {
  if (OpenCount.load() == 0) {
    auto reader = std::make_unique<TAudioFileReader>(FileName);
    reader->SetOutputFormat(requestedRate_, requestedChannels_);
    TakeFormat(*reader);
    ReopenOnQuery = true;
    reader_ = std::move(reader);
    readerView_.store(reader_.get(), std::memory_order_release);
    nextFrame_ = 0;
    readerUsed_ = false;
  }
  OpenCount.fetch_add(1);
}

void TDX9In::RequestFormat(int32_t rate, int32_t channels) {
  requestedRate_ = std::max(rate, 0);
  requestedChannels_ = channels == 1 || channels == 2 ? channels : 0;
  // An open reader changes at once; one that had moved is back at the start.
  if (!reader_ || !reader_->SetOutputFormat(requestedRate_, requestedChannels_)) return;
  TakeFormat(*reader_);
  nextFrame_ = 0;
  readerUsed_ = false;
}

int32_t TDX9In::OwnSampleRate() { return ownRate_; }

void TDX9In::CloseSource() {
  if (OpenCount.load() == 1) {
    readerView_.store(nullptr, std::memory_order_release);
    reader_.reset();
  }
  if (OpenCount.load() > 0) OpenCount.fetch_sub(1);
}

void TDX9In::BeginRead() {
  TSndFileIn::BeginRead();
  BlockBuffer.assign(BlockBufferSize, 0);
  // A reader kept open from an earlier run starts over, unless a start frame is already pending.
  if (readerUsed_ && SeekTarget == 0) GoToFrame(0);
}

void TDX9In::EndRead() {
  TSndFileIn::EndRead();
  BlockBuffer.clear();
  BlockBuffer.shrink_to_fit();
}

void TDX9In::ForceIdle() {
  TSndFileIn::ForceIdle();
  readerView_.store(nullptr, std::memory_order_release);
  reader_.reset();
  BlockBuffer.clear();
  BlockBuffer.shrink_to_fit();
}

void TDX9In::SeekSample(int64_t frame) { SeekTarget = std::max<int64_t>(frame, 0); }

void TDX9In::GoToFrame(int64_t frame) {
  reader_->SeekTime(SampleRate > 0 ? av_rescale(frame, 10000000, SampleRate) : 0);
  nextFrame_ = frame;
  readerUsed_ = frame != 0;
}

// Reads one block from the reader and widens it in place to 16-bit stereo; returns its bytes.
int32_t TDX9In::ReadWidened() {
  const bool mono = reader_->MonoSource(), bytes = reader_->ByteSource();
  uint32_t n = BlockBufferSize;
  if (mono) n /= 2;
  if (bytes) n /= 2;
  uint32_t got = reader_->ReadBlock(BlockBuffer.data(), n);
  readerUsed_ = true;
  // Only whole source frames are widened (a reader always hands out whole frames at its end).
  got -= got % ((mono ? 1 : Channels) * (bytes ? 1 : 2));
  if (bytes) {
    WidenBytes(BlockBuffer.data(), int32_t(got));
    got *= 2;
  }
  if (mono) {
    DuplicateMono(BlockBuffer.data(), int32_t(got));
    got *= 2;
  }
  return int32_t(got);
}

int32_t TDX9In::FillBlock() {
  const int32_t frameBytes = std::max(1, Channels * BitsPerSample / 8);
  for (int attempt = 0; attempt < 2; ++attempt) {
    int32_t got = 0;
    if (EndSample < 0 || nextFrame_ < EndSample) {
      got = ReadWidened();
      if (EndSample >= 0) {
        // Nothing past the end frame (exclusive) is delivered.
        got = int32_t(std::min<int64_t>(got, (EndSample - nextFrame_) * frameBytes));
      }
      nextFrame_ += got / frameBytes;
      if (runawayFrames_ > 0 && nextFrame_ > runawayFrames_) {
        throw ESndException("The file \"" + FileName +
                                "\" is damaged: it decodes to far more audio than the " +
                                std::to_string(holdsSeconds_) + " seconds it holds.",
                            TSndFailure::Damaged);
      }
    }
    if (got > 0 || !Loop) return got;
    // Looping: back to the start frame; a source that gives nothing even then ends the run.
    GoToFrame(std::max<int64_t>(StartSample, 0));
  }
  return 0;
}

int32_t TDX9In::ReadData(void* buffer, int32_t bufferSize) {
  if (!Busy.load()) throw Exception("The Stream is not opened");
  if (!reader_ || BlockBuffer.empty()) throw Exception("The Stream is not opened");
  if (bufferSize <= 0) return 0;
  if (BlockPos > BlockEnd) {
    if (SeekTarget != 0) {
      GoToFrame(SeekTarget);
      SeekTarget = 0;
    }
    BlockPos = 1;
    const int32_t got = FillBlock();
    if (got == 0) {
      BlockEnd = 0;
      return 0;  // end of data: the sink stops at the first 0
    }
    BlockEnd = got;
  }
  const int32_t count = std::min(bufferSize, BlockEnd - BlockPos + 1);
  std::memcpy(buffer, BlockBuffer.data() + (BlockPos - 1), size_t(count));
  BlockPos += count;
  Position.fetch_add(count);
  return count;
}
