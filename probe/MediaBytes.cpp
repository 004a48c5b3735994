#include "MediaBytes.h"

#include <algorithm>

int FileBytes::Read(uint8_t* buffer, int size) {
  if (size <= 0 || position_ < 0 || position_ >= Size()) return 0;
  const std::size_t got = file_.ReadInto(static_cast<uint64_t>(position_), reinterpret_cast<char*>(buffer),
                                         static_cast<std::size_t>(size));
  position_ += static_cast<int64_t>(got);
  return static_cast<int>(got);
}
