#pragma once
// One MP3 encoder instance as the sink drives it: 16-bit PCM in, MP3 bytes out.
#include <cstddef>
#include <cstdint>
#include <vector>

class TMp3Encoder {
 public:
  virtual ~TMp3Encoder() = default;
  // Encodes frames sample frames (channels 2: interleaved; any other count: one channel for both sides)
  // into out: the bytes it gave, or a negative encoder error.
  virtual int Encode(const int16_t* samples, int32_t frames, int32_t channels, unsigned char* out,
                     int64_t outSize) = 0;
  // Encodes what it still holds and ends the stream (with its ID3v1 tag): bytes, or a negative error.
  virtual int Finish(unsigned char* out, int64_t outSize) = 0;
  // Encodes what it still holds into whole frames and empties the bit reservoir, so that the next
  // frame takes nothing from the frames before it; the stream goes on. Bytes, or a negative error.
  virtual int FlushNoGap(unsigned char* out, int64_t outSize) = 0;
  // The LAME/Xing tag frame as it stands now (empty without one).
  virtual std::vector<unsigned char> TagFrame() const = 0;
  // The padding samples at the end of a finished stream.
  virtual int EncoderPadding() const = 0;
  // The size of the LAME/Xing tag frame that opens its stream, known once it has encoded a frame; 0
  // without one.
  virtual size_t TagFrameSize() const = 0;
  // Audio frames it has encoded.
  virtual int64_t FramesEncoded() const = 0;
  // Its stream opens with a tag frame to be completed at the end.
  virtual bool WritesTag() const = 0;
  virtual int32_t FrameSize() const = 0;  // samples a channel in one frame
  virtual int32_t InRate() const = 0;     // Hz
  virtual int32_t OutRate() const = 0;    // Hz
};
