#include "audio/Mp3FrameHeader.h"

namespace {

const int Mpeg1Kbps[16] = {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0};
const int Mpeg2Kbps[16] = {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0};
const int Mpeg1Rates[4] = {44100, 48000, 32000, 0};

}  // namespace

bool ParseMp3FrameHeader(const unsigned char* h, TMp3FrameHeader& header) {
  if (h[0] != 0xFF || (h[1] & 0xE0) != 0xE0) return false;
  const int version = (h[1] >> 3) & 3;  // 0 MPEG-2.5, 1 reserved, 2 MPEG-2, 3 MPEG-1
  if (version == 1 || ((h[1] >> 1) & 3) != 1) return false;
  const int bitrateIndex = h[2] >> 4, rateIndex = (h[2] >> 2) & 3;
  if (bitrateIndex == 0 || bitrateIndex == 15 || rateIndex == 3) return false;
  header.Mpeg1 = version == 3;
  header.Kbps = header.Mpeg1 ? Mpeg1Kbps[bitrateIndex] : Mpeg2Kbps[bitrateIndex];
  header.SampleRate = Mpeg1Rates[rateIndex] / (version == 3 ? 1 : version == 2 ? 2 : 4);
  header.Samples = header.Mpeg1 ? 1152 : 576;
  header.Crc = (h[1] & 1) == 0;
  header.Mono = (h[3] >> 6) == 3;
  const size_t padding = (h[2] >> 1) & 1;
  header.Size = size_t(header.Samples / 8) * size_t(header.Kbps) * 1000 / size_t(header.SampleRate) + padding;
  return true;
}

int Mp3MainDataBegin(const unsigned char* h, size_t size) {
  TMp3FrameHeader header;
  const size_t at = 4;
  if (size < 8 || !ParseMp3FrameHeader(h, header)) return -1;
  const unsigned char* side = h + at + (header.Crc ? 2 : 0);
  if (header.Mpeg1) return (side[0] << 1) | (side[1] >> 7);  // 9 bits
  return side[0];                                            // 8 bits
}

int64_t Mp3FramesLength(const unsigned char* data, size_t size, int64_t frames) {
  size_t pos = 0;
  for (int64_t i = 0; i < frames; ++i) {
    TMp3FrameHeader header;
    if (pos + 4 > size || !ParseMp3FrameHeader(data + pos, header) || pos + header.Size > size) return -1;
    pos += header.Size;
  }
  return int64_t(pos);
}
