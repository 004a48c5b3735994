#include "RealMediaHeader.h"

#include <algorithm>

#include "ByteReader.h"
#include "RealMediaFormat.h"

using namespace realmedia;

uint32_t RealMediaBE(std::string_view bytes, std::size_t at, std::size_t width) {
  uint32_t value = 0;
  for (std::size_t k = 0; k < width; ++k) value = (value << 8) | static_cast<unsigned char>(bytes[at + k]);
  return value;
}

RealMediaHeaderWalker::RealMediaHeaderWalker(const BoundedFile& file) : file_(file) {
  realMedia_ = file_.ReadAt(0, 4) == ".RMF";
  done_ = !realMedia_;
}

bool RealMediaHeaderWalker::Next(RealMediaChunk& chunk) {
  if (done_) return false;
  const std::string header = file_.ReadAt(offset_, 8);
  if (header.size() < 8 || ++chunks_ > kMaxHeaderChunks) {
    done_ = true;
    return false;
  }
  chunk.id = header.substr(0, 4);
  chunk.offset = offset_;
  chunk.size = RealMediaBE(header, 4, 4);
  if (chunk.id == "DATA" && offset_ > 0) {
    reachedData_ = true;  // the header ends where the media data begins
    done_ = true;
    return false;
  }
  if (chunk.size < kChunkHeaderSize) {
    done_ = true;
    return false;
  }
  chunk.whole = chunk.size <= file_.Size() - offset_;
  offset_ += chunk.size;
  return true;
}

std::string RealMediaHeaderWalker::Bytes(const RealMediaChunk& chunk, std::size_t limit) const {
  return file_.ReadAt(chunk.offset, std::min<std::size_t>(chunk.size, limit));
}

RealMediaContent ReadContent(std::string_view chunk) {
  RealMediaContent content;
  ByteReader reader(chunk);
  if (!reader.Skip(kChunkHeaderSize)) return content;
  for (int k = 0; k < 4; ++k) {
    uint16_t length = 0;
    std::string_view text;
    if (!reader.ReadBE16(length) || !reader.ReadBytes(length, text)) break;
    content.texts[k].assign(text);
    content.present[k] = true;
  }
  return content;
}

RealMediaProperties ReadProperties(std::string_view chunk) {
  RealMediaProperties properties;
  if (chunk.size() >= kPropDurationAt + 4) {
    properties.hasDuration = true;
    properties.duration = RealMediaBE(chunk, kPropDurationAt, 4);
  }
  if (chunk.size() >= kPropPrerollAt + 4) properties.preroll = RealMediaBE(chunk, kPropPrerollAt, 4);
  if (chunk.size() >= kPropSize)
    properties.flags = static_cast<uint16_t>(RealMediaBE(chunk, kPropFlagsAt, 2));
  return properties;
}
