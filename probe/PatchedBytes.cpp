#include "PatchedBytes.h"

#include <algorithm>
#include <cstring>

int PatchedBytes::Read(uint8_t* buffer, int size) {
  const int64_t position = Position();
  const int got = FileBytes::Read(buffer, size);
  if (got <= 0) return got;
  const uint64_t from = static_cast<uint64_t>(position);
  for (const RealMediaLayout::Patch& patch : patches_) {
    const uint64_t begin = std::max(from, patch.at);
    const uint64_t end = std::min(from + static_cast<uint64_t>(got), patch.at + patch.bytes.size());
    if (begin < end) {
      std::memcpy(buffer + (begin - from), patch.bytes.data() + (begin - patch.at),
                  static_cast<std::size_t>(end - begin));
    }
  }
  return got;
}
