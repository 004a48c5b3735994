#include "ByteReader.h"

bool ByteReader::Skip(std::size_t count) {
  if (Remaining() < count) return false;
  pos_ += count;
  return true;
}

bool ByteReader::ReadBytes(std::size_t count, std::string_view& out) {
  if (Remaining() < count) return false;
  out = bytes_.substr(pos_, count);
  pos_ += count;
  return true;
}
