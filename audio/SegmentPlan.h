#pragma once
// Where the segments of one file lie when several encoder instances encode it: each segment is a whole
// number of MP3 frames. Each after the first starts its encoder early: a few frames of warm-up that
// are dropped, then, with the bit reservoir emptied, frames that rebuild it before the segment's own;
// each segment is also encoded a few frames past its end. The two overlap there, and the join is made
// at a frame in that overlap (Mp3Join). Encoders start at input samples where an MP3 frame begins.
#include <cstdint>

struct TSegmentPlan {
  int32_t InRate = 0;
  int32_t OutRate = 0;
  int32_t FrameSize = 1152;     // output samples per MP3 frame
  int64_t SegmentFrames = 0;    // MP3 frames of every segment but the first and the last
  int64_t FirstFrames = 0;      // MP3 frames of the first segment (0: SegmentFrames)
  int64_t Alignment = 1;        // every boundary is a multiple of these frames
  int64_t WarmUpFrames = 0;     // MP3 frames encoded and dropped before a segment's first kept one
  int64_t RebuildFrames = 0;    // kept frames before a segment's own, in which its reservoir fills
  int64_t JoinFrames = 6;       // kept frames past a segment's end, where the next one may join
  int64_t LookAheadFrames = 2;  // MP3 frames of input a segment's encoder gets past its last frame

  // The input sample at which MP3 frame f of the whole file starts (exact for the frames used here).
  int64_t InputAt(int64_t frame) const;
  // The input samples segment s takes: from the start of its warm-up to a little past its end.
  int64_t JobStart(int64_t segment) const;
  int64_t JobEnd(int64_t segment) const;
  // The file's frame at which segment s begins.
  int64_t Boundary(int64_t segment) const {
    if (segment == 0) return 0;
    return (FirstFrames > 0 ? FirstFrames : SegmentFrames) + (segment - 1) * SegmentFrames;
  }
  // The file's frame with which segment s's kept frames begin, and how many it keeps unless it is last.
  int64_t FirstFrame(int64_t segment) const { return segment == 0 ? 0 : Boundary(segment) - RebuildFrames; }
  int64_t KeptFrames(int64_t segment) const {
    return Boundary(segment + 1) + JoinFrames - FirstFrame(segment);
  }
  // Makes the first segment one that an encoder which has taken readSamples input samples already can
  // still end: the second segment's encoder starts after them, a little more than its overlap on.
  void FirstSegmentAfter(int64_t readSamples);
};

// A plan for segments of about seconds each, with at least warmUpSamples output samples of warm-up and
// rebuildFrames frames to fill the reservoir; encoders start on a multiple of paddingPeriod frames
// (the period of the encoder's padded frames). False when the two rates leave no frame boundary on a
// whole input sample often enough to segment.
bool MakeSegmentPlan(int32_t inRate, int32_t outRate, int32_t frameSize, double seconds,
                     int32_t warmUpSamples, int32_t rebuildFrames, int32_t paddingPeriod, TSegmentPlan& plan);
