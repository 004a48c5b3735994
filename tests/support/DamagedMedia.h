#pragma once
// Damaged copies of RealMedia files whose decoder runs away.
// A real cook recording: the RealAudio 5 header's sub-packet height, frame size and sub-packet size
// (at 40, 42 and 44 after ".ra\xFD") become 1, 65535 and 1, and the decoder then makes far more audio
// than the file holds.
#include <cstdint>
#include <string>
#include <utility>

// The bytes with the RealAudio 5 header's sub-packet height, frame size and sub-packet size set;
// empty when they hold no RealAudio 5 header.
inline std::string WithCookInterleaving(std::string bytes, uint16_t height, uint16_t frameSize,
                                        uint16_t subPacketSize) {
  const std::size_t header = bytes.find(".ra\xFD");
  if (header == std::string::npos || header + 46 > bytes.size()) return {};
  const uint16_t values[] = {height, frameSize, subPacketSize};
  for (int k = 0; k < 3; ++k) {
    bytes[header + 40 + 2 * k] = char(values[k] >> 8);
    bytes[header + 41 + 2 * k] = char(values[k] & 0xFF);
  }
  return bytes;
}

// The bytes with the damaged header that makes the decoder run away.
inline std::string WithRunAwayCookHeader(std::string bytes) {
  return WithCookInterleaving(std::move(bytes), 1, 65535, 1);
}

// A RealAudio 14.4 file (RealAudio 4 header) whose sample-rate field (at 48 after ".ra\xFD") says
// rate: the file then states no duration, and every 20-byte frame decodes to 160 samples at that rate
// (at 7 Hz, 23 seconds a frame). Empty when the bytes hold no RealAudio 4 header.
inline std::string WithRealAudio4SampleRate(std::string bytes, uint16_t rate) {
  const std::size_t header = bytes.find(".ra\xFD");
  if (header == std::string::npos || header + 50 > bytes.size() || bytes[header + 5] != 4) return {};
  bytes[header + 48] = char(rate >> 8);
  bytes[header + 49] = char(rate & 0xFF);
  return bytes;
}
