#include "audio/DecodeBound.h"

#include <algorithm>
#include <limits>

namespace {

constexpr int64_t kMarginHns = 60LL * 10000000;  // one minute
constexpr int64_t kHnsPerSecond = 10000000;

}  // namespace

int64_t LowestRealBitRate(AVCodecID codec) {
  switch (codec) {
    case AV_CODEC_ID_RA_144:
      return 8000;
    case AV_CODEC_ID_RA_288:
      return 15200;
    case AV_CODEC_ID_COOK:
      return 5000;
    case AV_CODEC_ID_SIPR:
      return 4000;
    case AV_CODEC_ID_ATRAC3:
      return 32000;
    case AV_CODEC_ID_AC3:
    case AV_CODEC_ID_EAC3:
      return 32000;
    case AV_CODEC_ID_AAC:
      return 6000;
    case AV_CODEC_ID_MP3:
    case AV_CODEC_ID_MP2:
      return 8000;
    default:
      return 2000;
  }
}

int64_t PlayableHns(int64_t fileSize, int64_t statedBitRate, AVCodecID codec) {
  if (fileSize <= 0) return 0;
  const int64_t bitRate = std::max(statedBitRate, LowestRealBitRate(codec));
  // 8 x size x 10^7 / rate, without overflow for any size a file system holds.
  const int64_t seconds = fileSize * 8 / bitRate;
  const int64_t rest = fileSize * 8 % bitRate;
  return seconds * kHnsPerSecond + rest * kHnsPerSecond / bitRate;
}

int64_t DecodeLimitHns(int64_t statedDuration, int64_t fileSize, int64_t statedBitRate, AVCodecID codec) {
  const int64_t holds = statedDuration > 0 ? statedDuration : PlayableHns(fileSize, statedBitRate, codec);
  if (holds <= 0) return 0;
  if (holds > (std::numeric_limits<int64_t>::max() - kMarginHns) / 3)
    return std::numeric_limits<int64_t>::max();
  return holds + holds / 2 + kMarginHns;
}
