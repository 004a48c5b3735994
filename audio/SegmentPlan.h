#pragma once
// Where the segments of one file lie when several encoder instances encode it: each segment is a whole
// number of MP3 frames, and each after the first starts its encoder a few frames early (the warm-up),
// at an input sample where an MP3 frame of the whole file begins.
#include <cstdint>

struct TSegmentPlan {
  int32_t InRate = 0;
  int32_t OutRate = 0;
  int32_t FrameSize = 1152;     // output samples per MP3 frame
  int64_t SegmentFrames = 0;    // MP3 frames of every segment but the last
  int64_t WarmUpFrames = 0;     // MP3 frames encoded and dropped before a segment's own
  int64_t LookAheadFrames = 2;  // MP3 frames of input a segment's encoder gets past its end

  // The input sample at which MP3 frame f of the whole file starts (exact for the frames used here).
  int64_t InputAt(int64_t frame) const;
  // The input samples segment s takes: from the start of its warm-up to a little past its end.
  int64_t JobStart(int64_t segment) const;
  int64_t JobEnd(int64_t segment) const;
  // The input sample at which segment s begins.
  int64_t Boundary(int64_t segment) const { return InputAt(segment * SegmentFrames); }
};

// A plan for segments of about seconds each, with at least warmUpSamples output samples of warm-up.
// False when the two rates leave no frame boundary on a whole input sample often enough to segment.
bool MakeSegmentPlan(int32_t inRate, int32_t outRate, int32_t frameSize, double seconds,
                     int32_t warmUpSamples, TSegmentPlan& plan);
