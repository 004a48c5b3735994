#pragma once
// Walks the MPEG audio frames of an MP3 file, independently of the encoder, for the tests.
#include <cstdint>
#include <string>
#include <vector>

struct Mp3Frame {
  size_t offset = 0;
  size_t size = 0;
  int version = 0;  // 1 = MPEG-1, 2 = MPEG-2, 25 = MPEG-2.5
  int bitrateKbps = 0;
  int sampleRate = 0;
  int mode = 0;  // 0 stereo, 1 joint stereo, 2 dual channel, 3 mono
  bool crc = false;
};

struct Mp3Layout {
  size_t id3v2Size = 0;  // bytes of a leading ID3v2 tag
  std::vector<Mp3Frame> frames;
  bool id3v1 = false;   // "TAG" in the last 128 bytes
  size_t trailing = 0;  // bytes after the last frame, before an ID3v1 tag
  // The Xing/Info header of the first frame.
  std::string xingId;  // "Xing", "Info" or empty
  int64_t xingFrames = -1;
};

Mp3Layout ReadMp3Layout(const std::string& bytes);
