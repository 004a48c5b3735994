#include "PatchedBytes.h"

#include <algorithm>
#include <cstring>

int PatchedBytes::Read(uint8_t* buffer, int size) {
  if (size <= 0 || position_ < 0) return 0;
  const uint64_t from = static_cast<uint64_t>(position_);
  const std::size_t got =
      file_.ReadInto(from, reinterpret_cast<char*>(buffer), static_cast<std::size_t>(size));
  for (const RealMediaLayout::Patch& patch : patches_) {
    const uint64_t begin = std::max(from, patch.at);
    const uint64_t end = std::min(from + got, patch.at + patch.bytes.size());
    if (begin < end) {
      std::memcpy(buffer + (begin - from), patch.bytes.data() + (begin - patch.at),
                  static_cast<std::size_t>(end - begin));
    }
  }
  position_ += static_cast<int64_t>(got);
  return static_cast<int>(got);
}
