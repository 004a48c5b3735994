#include "audio/SegmentPlan.h"

#include <algorithm>
#include <cmath>
#include <numeric>

namespace {

// A plan needs a frame boundary on a whole input sample at least this often, in frames.
constexpr int64_t MaxAlignment = 64;
// The resampler's filter reaches this many input samples ahead.
constexpr int64_t ResamplerReach = 32;

int64_t RoundUp(int64_t value, int64_t step) { return (value + step - 1) / step * step; }

}  // namespace

int64_t TSegmentPlan::InputAt(int64_t frame) const { return frame * FrameSize * InRate / OutRate; }

int64_t TSegmentPlan::JobStart(int64_t segment) const {
  return segment == 0 ? 0 : InputAt(FirstFrame(segment) - WarmUpFrames);
}

int64_t TSegmentPlan::JobEnd(int64_t segment) const {
  const int64_t frames = Boundary(segment + 1) + JoinFrames + LookAheadFrames;
  const int64_t scaled = frames * FrameSize * InRate;
  return (scaled + OutRate - 1) / OutRate + ResamplerReach;
}

void TSegmentPlan::FirstSegmentAfter(int64_t readSamples) {
  // The frames the first encoder has written stay clear of the frames a join may change (the
  // reservoir's 511 bytes reach back about ten frames at the lowest bitrates).
  constexpr int64_t Margin = 32;
  const int64_t readFrames =
      (readSamples * OutRate + int64_t(FrameSize) * InRate - 1) / (int64_t(FrameSize) * InRate);
  FirstFrames = RoundUp(readFrames + WarmUpFrames + RebuildFrames + Margin, Alignment);
}

bool MakeSegmentPlan(int32_t inRate, int32_t outRate, int32_t frameSize, double seconds,
                     int32_t warmUpSamples, int32_t rebuildFrames, int32_t paddingPeriod,
                     TSegmentPlan& plan) {
  if (inRate <= 0 || outRate <= 0 || frameSize <= 0 || !(seconds > 0)) return false;
  // Frame f starts on a whole input sample when f x frameSize x inRate / outRate is whole.
  const int64_t out = outRate / std::gcd(inRate, outRate);
  const int64_t resampled = out / std::gcd(int64_t(frameSize), out);
  if (resampled > MaxAlignment) return false;
  // Encoders that start on the file's padding pattern write the frame sizes one encoder writes.
  const int64_t alignment = std::lcm(resampled, int64_t(std::max(paddingPeriod, 1)));
  plan.InRate = inRate;
  plan.OutRate = outRate;
  plan.FrameSize = frameSize;
  // An encoder starts at the start of its warm-up: warm-up and rebuild together end on the alignment.
  plan.WarmUpFrames = RoundUp((warmUpSamples + frameSize - 1) / frameSize, resampled);
  plan.RebuildFrames =
      RoundUp(plan.WarmUpFrames + std::max<int64_t>(rebuildFrames, 1), alignment) - plan.WarmUpFrames;
  const int64_t frames = int64_t(std::llround(seconds * outRate / frameSize));
  const int64_t overlap = plan.WarmUpFrames + plan.RebuildFrames + plan.JoinFrames;
  plan.SegmentFrames = RoundUp(std::max<int64_t>(frames, 2 * overlap), alignment);
  plan.FirstFrames = 0;
  plan.Alignment = alignment;
  return true;
}
