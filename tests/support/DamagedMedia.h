#pragma once
// A damaged copy of a real cook recording whose decoder runs away: the RealAudio 5 header's
// sub-packet height, frame size and sub-packet size (at 40, 42 and 44 after ".ra\xFD") become 1,
// 65535 and 1, and the decoder then makes far more audio than the file holds.
#include <cstdint>
#include <string>

// The bytes with the damaged header; empty when they hold no RealAudio 5 header.
inline std::string WithRunAwayCookHeader(std::string bytes) {
  const std::size_t header = bytes.find(".ra\xFD");
  if (header == std::string::npos || header + 46 > bytes.size()) return {};
  const uint16_t values[] = {1, 65535, 1};
  for (int k = 0; k < 3; ++k) {
    bytes[header + 40 + 2 * k] = char(values[k] >> 8);
    bytes[header + 41 + 2 * k] = char(values[k] & 0xFF);
  }
  return bytes;
}
