#pragma once
// The MPEG audio layer III frame headers of what the encoder wrote: where each frame ends, its bitrate,
// and where a stream of whole frames may be cut.
#include <cstddef>
#include <cstdint>

struct TMp3FrameHeader {
  size_t Size = 0;  // the whole frame, header included
  int Kbps = 0;
  int SampleRate = 0;
  int Samples = 0;    // per channel: 1152 for MPEG-1, 576 for MPEG-2 and 2.5
  bool Crc = false;   // a 16-bit CRC follows the header
  bool Mono = false;  // one channel of side information
  bool Mpeg1 = false;
};

// Reads the 4 header bytes at h; false when they are no layer III header with a usable bitrate and rate.
bool ParseMp3FrameHeader(const unsigned char* h, TMp3FrameHeader& header);

// The main_data_begin field of a frame that starts at h and holds size bytes (the reservoir bytes its
// audio takes from the frames before it); -1 when the frame is too short to tell.
int Mp3MainDataBegin(const unsigned char* h, size_t size);

// Walks whole frames from the start of data: the byte count of the first `frames` frames, or -1 when
// data holds fewer whole frames, or bytes that are no frame, before that.
int64_t Mp3FramesLength(const unsigned char* data, size_t size, int64_t frames);
