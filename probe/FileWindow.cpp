#include "FileWindow.h"

#include <algorithm>

std::string_view FileWindow::At(uint64_t offset, std::size_t count) {
  count = std::min(count, kSize);
  const bool inside =
      offset >= start_ && (offset + count <= start_ + length_ || start_ + length_ >= file_.Size());
  if (!inside || buffer_.empty()) {
    // Refilled from offset on; a shorter result than asked means the file ends there.
    buffer_.resize(kSize);
    start_ = offset;
    length_ = file_.ReadInto(offset, buffer_.data(), kSize);
  }
  const std::size_t from = static_cast<std::size_t>(offset - start_);
  if (from >= length_) return {};
  return std::string_view(buffer_.data() + from, std::min(count, length_ - from));
}
