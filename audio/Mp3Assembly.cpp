#include "audio/Mp3Assembly.h"

#include <algorithm>

#include "audio/Mp3Encoder.h"
#include "audio/Mp3FrameHeader.h"
#include "audio/SndError.h"

namespace {

// The padding a file cut after a whole frame carries: the decoder's delay, so it plays every sample
// its frames hold.
constexpr int CutPadding = 529;
// A join changes at most the last reservoir's worth of main data before the next segment's first frame.
constexpr int64_t MaxReservoir = 511;

}  // namespace

void TMp3Assembly::Begin(TMp3ByteSink& sink, std::string fileName) {
  *this = TMp3Assembly();
  sink_ = &sink;
  fileName_ = std::move(fileName);
}

void TMp3Assembly::Write(const unsigned char* data, size_t size) {
  if (size > 0) sink_->Write(data, size);
}

void TMp3Assembly::RaiseNoFrames() const {
  throw ESndException("The MP3 encoder gave data that are no MP3 frames for \"" + fileName_ + "\".");
}

void TMp3Assembly::CountStream(const TMp3Encoder& encoder) {
  encoder_ = &encoder;
  counting_ = true;
  tagFrameDue_ = encoder.WritesTag();
}

void TMp3Assembly::Stream(const unsigned char* data, size_t size) {
  if (!counting_) {
    Write(data, size);
    return;
  }
  tail_.insert(tail_.end(), data, data + size);
  WriteStreamedFrames();
}

void TMp3Assembly::WriteStreamedFrames() {
  size_t whole = 0, audio = 0;  // the whole frames, and where their audio begins
  TMp3FrameHeader header;
  while (tail_.size() - whole >= 4) {
    if (!ParseMp3FrameHeader(tail_.data() + whole, header)) {
      counting_ = false;
      break;
    }
    if (tail_.size() - whole < header.Size) break;
    // The encoder puts its empty tag frame out before it has encoded any audio, but tells its size only
    // after: until then the first frame waits. Too small frames hold no tag (the encoder then says its
    // size is 0), and the first frame is audio.
    if (tagFrameDue_ && encoder_->FramesEncoded() == 0) break;
    const bool tagFrame = tagFrameDue_ && encoder_->TagFrameSize() == header.Size;
    tagFrameDue_ = false;
    whole += header.Size;
    if (tagFrame)
      audio = whole;
    else
      ++streamedFrames_;
  }
  try {
    Write(tail_.data(), whole);
  } catch (...) {
    // The frames that failed are gone, as a failed write of the one encoder's output always was.
    tail_.erase(tail_.begin(), tail_.begin() + std::ptrdiff_t(whole));
    throw;
  }
  if (whole > audio) totals_.AddFrames(tail_.data() + audio, whole - audio);
  if (!counting_) {
    Write(tail_.data() + whole, tail_.size() - whole);
    whole = tail_.size();
  }
  tail_.erase(tail_.begin(), tail_.begin() + std::ptrdiff_t(whole));
}

TSegmentTakeOver TMp3Assembly::TakeOver(int64_t read) {
  TSegmentTakeOver takeOver;
  takeOver.Read = read;
  takeOver.Frames = streamedFrames_;
  takeOver.Bytes = std::move(tail_);
  tail_.clear();
  counting_ = false;
  return takeOver;
}

void TMp3Assembly::EndStream() {
  std::vector<unsigned char> tail = std::move(tail_);
  tail_.clear();
  Write(tail.data(), tail.size());
}

void TMp3Assembly::AddSegment(TSegmentResult segment) {
  // The first segment opens with the encoder's empty tag frame, which is no audio.
  const size_t skip = segment.TagOpens ? segment.TagFrame.size() : 0;
  if (!segment.TagFrame.empty()) tagFrame_ = segment.TagFrame;
  Write(segment.Frames.data(), skip);
  TPending next;
  next.Bytes = std::move(segment.Frames);
  next.First = next.Written = segment.FirstFrame;
  next.Padding = segment.Padding;
  if (!LayoutJoinFrames(next.Bytes, skip, next.Frames)) RaiseNoFrames();
  if (next.Frames.empty()) return;  // stopped in its warm-up
  if (hasPending_) {
    const int64_t join = JoinStretches(pending_.Bytes, pending_.Frames, pending_.First, next.Bytes,
                                       next.Frames, next.First, segment.OwnFrame);
    if (join < 0)
      throw ESndException("The MP3 encoder gave segments of \"" + fileName_ + "\" that do not join.");
    WritePendingUpTo(join, false);
    joins_.push_back(join);
    next.Written = join;
  }
  pending_ = std::move(next);
  hasPending_ = true;
  // What lies before the bytes the next join may change goes out now.
  const TPending& p = pending_;
  const int64_t end = p.First + int64_t(p.Frames.size());
  int64_t safe = end;
  if (segment.NextFirstFrame >= 0 && segment.NextFirstFrame < end) {
    const int64_t limit = p.Frames[size_t(segment.NextFirstFrame - p.First)].MainPos - MaxReservoir;
    safe = p.Written;
    while (safe + 1 < end && p.Frames[size_t(safe + 1 - p.First)].MainPos <= limit) ++safe;
  }
  WritePendingUpTo(safe, segment.NextFirstFrame < 0);
}

void TMp3Assembly::EndSegments() {
  if (hasPending_) WritePendingUpTo(pending_.First + int64_t(pending_.Frames.size()), true);
}

void TMp3Assembly::WritePendingUpTo(int64_t frame, bool last) {
  TPending& p = pending_;
  const int64_t end = p.First + int64_t(p.Frames.size());
  frame = std::min(frame, end);
  const auto offset = [&p, end](int64_t f) {
    return f < end ? p.Frames[size_t(f - p.First)].Offset : p.Bytes.size();
  };
  const size_t from = offset(p.Written), to = offset(frame);
  if (to > from) {
    Write(p.Bytes.data() + from, to - from);
    if (!totals_.AddFrames(p.Bytes.data() + from, to - from)) RaiseNoFrames();
  }
  p.Written = frame;
  lastPadding_ = last ? p.Padding : -1;
}

bool TMp3Assembly::CompleteTagFrame(std::vector<unsigned char>& frame) const {
  if (tagFrame_.empty() || totals_.Frames() == 0) return false;
  frame = tagFrame_;
  // A file cut after a frame plays every sample its frames hold.
  if (!::CompleteLameTagFrame(frame, totals_, lastPadding_ >= 0 ? lastPadding_ : CutPadding))
    throw ESndException("The MP3 encoder gave a tag frame for \"" + fileName_ +
                        "\" that cannot be completed.");
  return true;
}
