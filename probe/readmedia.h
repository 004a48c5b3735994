#pragma once
// The media-information library: can a file be read, has it audio, how long does it play and
// what is its audio format. Stands on libavformat.
#include <cstdint>

#include "core/WaveFormat.h"

// The fourth out-value: a block the library may fill and the program never reads.
struct TMediaInfoBlock {
  uint8_t bytes[92] = {};
};

// Opens path (UTF-8) and examines it. Result 0 when the file could be opened and examined.
// duration: 100-ns units, 0 when unknown; noAudio > 0 when the file has no audio stream;
// format: channel count and sample rate of the best audio stream. second and block are untouched.
// Keeps the file open until file_exit.
int32_t file_init(const char* path, int64_t* duration, int32_t* second, int32_t* noAudio,
                  TMediaInfoBlock* block, TWaveFormatEx* format);

// Releases whatever the last file_init on this thread kept. The result means nothing.
int32_t file_exit();
