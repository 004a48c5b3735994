#pragma once
// Buffered reading of a file at positions that mostly move forward in small steps (packet headers,
// packet bodies): one read of the disk for many small ones.
#include <cstdint>
#include <string_view>
#include <vector>

#include "BoundedFile.h"

class FileWindow {
 public:
  static constexpr std::size_t kSize = 64 * 1024;
  explicit FileWindow(const BoundedFile& file) : file_(file) {}
  // Up to count bytes (at most kSize) at offset, fewer where the file ends; valid until the next call.
  std::string_view At(uint64_t offset, std::size_t count);

 private:
  const BoundedFile& file_;
  std::vector<char> buffer_;
  uint64_t start_ = 0;  // the file offset of buffer_[0]
  std::size_t length_ = 0;
};
