#pragma once
// How much audio a source may decode to before it counts as damaged: a damaged header can make a
// decoder produce noise without end (half an hour from an 18-second file).
#include <cstdint>

extern "C" {
#include <libavcodec/codec_id.h>
}

// The lowest bit rate (bit/s) at which the codec really carries audio; a stated rate below it is
// false. Codecs not listed get a floor below any real speech codec.
int64_t LowestRealBitRate(AVCodecID codec);

// The longest audio (100-ns units) the source may decode to: one and a half times the stated duration
// plus a minute or, when no duration is known, one and a half times what the file can hold at its bit
// rate (the stated one, at least the codec's lowest) plus a minute. 0: no bound can be given (no size
// known). Doubled packets or a foreign codec's frames decode to about twice the audio: that is damage.
int64_t DecodeLimitHns(int64_t statedDuration, int64_t fileSize, int64_t statedBitRate, AVCodecID codec);

// What the file holds at its bit rate, in 100-ns units, as DecodeLimitHns takes it; 0 without a size.
int64_t PlayableHns(int64_t fileSize, int64_t statedBitRate, AVCodecID codec);
