#include "audio/SegmentEncoder.h"

#include <algorithm>
#include <limits>

#include "audio/Mp3FrameHeader.h"
#include "audio/SndError.h"

TSegmentEncoder::TSegmentEncoder(std::unique_ptr<TMp3Encoder> encoder, const int16_t* pcm, int64_t frames,
                                 int64_t warmUpFrames, int64_t keepFrames, int32_t chunkFrames,
                                 int64_t bufferSize, std::string fileName, int64_t framesBefore,
                                 std::vector<unsigned char> opening)
    : encoder_(std::move(encoder)),
      pcm_(pcm),
      frames_(frames),
      warmUp_(warmUpFrames),
      keep_(keepFrames),
      framesBefore_(framesBefore),
      chunk_(std::max<int32_t>(chunkFrames, 1)),
      fileName_(std::move(fileName)),
      buffer_(size_t(std::min<int64_t>(bufferSize, std::numeric_limits<int>::max()))),
      out_(std::move(opening)),
      warming_(warmUpFrames > 0) {}

void TSegmentEncoder::Fail(const char* what, int result) const {
  throw ESndException(std::string("The MP3 encoder failed ") + what + " \"" + fileName_ + "\" (LAME error " +
                      std::to_string(result) + ").");
}

void TSegmentEncoder::Append(int count) {
  if (count < 0) Fail("while writing", count);
  out_.insert(out_.end(), buffer_.begin(), buffer_.begin() + count);
}

void TSegmentEncoder::Encode(int64_t frames) {
  Append(encoder_->Encode(pcm_ + pos_ * 2, int32_t(frames), 2, buffer_.data(), int64_t(buffer_.size())));
  pos_ += frames;
}

void TSegmentEncoder::EndWarmUp() {
  // The warm-up's frames go out whole and the reservoir is empty: the next frame, the segment's first,
  // has main_data_begin 0. Nothing of the warm-up is kept.
  const int count = encoder_->FlushNoGap(buffer_.data(), int64_t(buffer_.size()));
  if (count < 0) Fail("while writing", count);
  out_.clear();
  warming_ = false;
}

bool TSegmentEncoder::Step() {
  if (complete_) return true;
  int64_t budget = BlockFrames;
  while (budget > 0 && pos_ < frames_) {
    if (warming_) {
      // Half a frame a call at most, so the count of encoded frames passes the warm-up one at a time.
      const int64_t half =
          std::max<int64_t>(1, int64_t(encoder_->FrameSize()) * encoder_->InRate() / encoder_->OutRate() / 2);
      const int64_t n = std::min({half, budget, frames_ - pos_});
      Encode(n);
      budget -= n;
      if (encoder_->FramesEncoded() >= warmUp_) EndWarmUp();
      continue;
    }
    const int64_t n = std::min({int64_t(chunk_), budget, frames_ - pos_});
    Encode(n);
    budget -= n;
  }
  if (pos_ < frames_) return false;
  if (warming_) Fail("while writing", -1);  // the segment's input ended inside its warm-up
  if (keep_ < 0)
    FinishFlushed();
  else
    FinishCut();
  return true;
}

bool TSegmentEncoder::EndHere() {
  if (complete_) return true;
  if (warming_) {
    out_.clear();
    complete_ = true;
    return false;
  }
  FinishFlushed();
  return true;
}

void TSegmentEncoder::TakeTagFrame() {
  if (warmUp_ == 0) tagFrame_ = encoder_->TagFrame();
}

void TSegmentEncoder::FinishFlushed() {
  Append(encoder_->Finish(buffer_.data(), int64_t(buffer_.size())));
  padding_ = encoder_->EncoderPadding();
  TakeTagFrame();
  complete_ = true;
  encoder_.reset();
}

void TSegmentEncoder::FinishCut() {
  // Every frame up to the cut is encoded; emptying the reservoir writes them out whole. The frames past
  // the cut, and their data in the reservoir before it, are dropped: a frame's data lies only in the
  // frames before it, so the frames that stay are complete.
  if (encoder_->FramesEncoded() < warmUp_ + framesBefore_ + keep_) Fail("while writing", -1);
  Append(encoder_->FlushNoGap(buffer_.data(), int64_t(buffer_.size())));
  TakeTagFrame();
  const int64_t frames = keep_ + (TagOpens() && !tagFrame_.empty() ? 1 : 0);
  const int64_t length = Mp3FramesLength(out_.data(), out_.size(), frames);
  if (length < 0) Fail("while writing", -1);
  out_.resize(size_t(length));
  out_.shrink_to_fit();
  complete_ = true;
  encoder_.reset();
}
