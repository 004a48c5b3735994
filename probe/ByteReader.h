#pragma once
// Bounds-checked reading of integers from a byte buffer: a read past the end reports failure
// instead of touching memory, so hostile size fields can never lead outside the buffer.
#include <cstdint>
#include <string_view>

class ByteReader {
 public:
  explicit ByteReader(std::string_view bytes) : bytes_(bytes) {}

  std::size_t Position() const { return pos_; }
  std::size_t Remaining() const { return bytes_.size() - pos_; }
  bool Skip(std::size_t count);
  bool ReadBE16(uint16_t& value) { return ReadInt(2, false, value); }
  bool ReadBE32(uint32_t& value) { return ReadInt(4, false, value); }
  bool ReadLE16(uint16_t& value) { return ReadInt(2, true, value); }
  bool ReadLE32(uint32_t& value) { return ReadInt(4, true, value); }
  bool ReadLE64(uint64_t& value) { return ReadInt(8, true, value); }
  bool ReadBytes(std::size_t count, std::string_view& out);

 private:
  template <typename T>
  bool ReadInt(std::size_t width, bool littleEndian, T& value) {
    if (Remaining() < width) return false;
    uint64_t result = 0;
    for (std::size_t k = 0; k < width; ++k) {
      const uint64_t byte = static_cast<unsigned char>(bytes_[pos_ + (littleEndian ? width - 1 - k : k)]);
      result = (result << 8) | byte;
    }
    pos_ += width;
    value = static_cast<T>(result);
    return true;
  }

  std::string_view bytes_;
  std::size_t pos_ = 0;
};
