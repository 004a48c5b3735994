#include "Mp3FrameReader.h"

namespace {

const int Mpeg1Bitrates[16] = {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, -1};
const int Mpeg2Bitrates[16] = {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, -1};
const int Rates[3] = {44100, 48000, 32000};

bool ParseHeader(const unsigned char* h, Mp3Frame& frame) {
  if (h[0] != 0xFF || (h[1] & 0xE0) != 0xE0) return false;
  const int versionBits = (h[1] >> 3) & 3;
  if (versionBits == 1 || ((h[1] >> 1) & 3) != 1) return false;  // reserved version, not layer III
  const int bitrateIndex = h[2] >> 4, rateIndex = (h[2] >> 2) & 3;
  if (bitrateIndex == 0 || bitrateIndex == 15 || rateIndex == 3) return false;
  frame.version = versionBits == 3 ? 1 : versionBits == 2 ? 2 : 25;
  frame.bitrateKbps = frame.version == 1 ? Mpeg1Bitrates[bitrateIndex] : Mpeg2Bitrates[bitrateIndex];
  frame.sampleRate = Rates[rateIndex] / (frame.version == 1 ? 1 : frame.version == 2 ? 2 : 4);
  frame.mode = h[3] >> 6;
  frame.crc = (h[1] & 1) == 0;
  const int padding = (h[2] >> 1) & 1;
  const int coefficient = frame.version == 1 ? 144 : 72;
  frame.size = size_t(coefficient * frame.bitrateKbps * 1000 / frame.sampleRate + padding);
  return true;
}

}  // namespace

Mp3Layout ReadMp3Layout(const std::string& text) {
  Mp3Layout layout;
  const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
  size_t end = text.size();
  if (end >= 128 && text.compare(end - 128, 3, "TAG") == 0) {
    layout.id3v1 = true;
    end -= 128;
  }
  size_t pos = 0;
  if (end >= 10 && text.compare(0, 3, "ID3") == 0) {
    layout.id3v2Size = 10 + ((size_t(bytes[6]) << 21) | (size_t(bytes[7]) << 14) | (size_t(bytes[8]) << 7) |
                             size_t(bytes[9]));
    pos = layout.id3v2Size;
  }
  while (pos + 4 <= end) {
    Mp3Frame frame;
    if (!ParseHeader(bytes + pos, frame) || pos + frame.size > end) break;
    frame.offset = pos;
    layout.frames.push_back(frame);
    pos += frame.size;
  }
  layout.trailing = end - pos;
  if (!layout.frames.empty()) {
    const Mp3Frame& first = layout.frames[0];
    const bool mono = first.mode == 3;
    const size_t sideInfo = first.version == 1 ? (mono ? 17 : 32) : (mono ? 9 : 17);
    const size_t at = first.offset + 4 + (first.crc ? 2 : 0) + sideInfo;
    if (at + 12 <= end) {
      const std::string id = text.substr(at, 4);
      if (id == "Xing" || id == "Info") {
        layout.xingId = id;
        const uint32_t flags = (uint32_t(bytes[at + 4]) << 24) | (uint32_t(bytes[at + 5]) << 16) |
                               (uint32_t(bytes[at + 6]) << 8) | bytes[at + 7];
        if (flags & 1) {
          layout.xingFrames = (int64_t(bytes[at + 8]) << 24) | (int64_t(bytes[at + 9]) << 16) |
                              (int64_t(bytes[at + 10]) << 8) | bytes[at + 11];
        }
      }
    }
  }
  return layout;
}
