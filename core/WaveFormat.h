#pragma once
// The audio format record shaped as Windows' WAVEFORMATEX (padded to 20 bytes), shared by the media
// probe and the PCM reader.
#include <cstdint>

struct TWaveFormatEx {
  uint16_t wFormatTag = 0;
  uint16_t nChannels = 0;
  uint32_t nSamplesPerSec = 0;
  uint32_t nAvgBytesPerSec = 0;
  uint16_t nBlockAlign = 0;
  uint16_t wBitsPerSample = 0;
  uint16_t cbSize = 0;
  uint8_t spare[2] = {};
};
static_assert(sizeof(TWaveFormatEx) == 20, "the audio format record is 20 bytes");
