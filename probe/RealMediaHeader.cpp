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

namespace {

// How far past a chunk whose size leads nowhere the next known chunk is looked for: further than the
// largest CONT chunk, so one damaged size never hides the stream headers behind it.
constexpr std::size_t kChunkSearchSpan = 1 << 20;

bool KnownChunk(std::string_view header) {
  if (header.size() < kChunkHeaderSize) return false;
  const std::string_view id = header.substr(0, 4);
  if (id == "DATA") return true;
  const bool known = id == "PROP" || id == "CONT" || id == "MDPR";
  return known && RealMediaBE(header, 4, 4) >= kChunkHeaderSize && RealMediaBE(header, 8, 2) <= 1;
}

}  // namespace

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
  // A size that leads to no known chunk is damage: the chunk ends where the next known one starts.
  const bool leads =
      chunk.size >= kChunkHeaderSize && (offset_ + chunk.size == file_.Size() ||
                                         KnownChunk(file_.ReadAt(offset_ + chunk.size, kChunkHeaderSize)));
  if (!leads) {
    const uint64_t found = NextKnownChunk(offset_ + kChunkHeaderSize);
    if (found > 0) {
      chunk.size = static_cast<uint32_t>(found - offset_);
      chunk.repaired = true;
    } else if (chunk.size < kChunkHeaderSize) {
      done_ = true;
      return false;
    }
  }
  chunk.whole = chunk.size <= file_.Size() - offset_;
  offset_ += chunk.size;
  return true;
}

uint64_t RealMediaHeaderWalker::NextKnownChunk(uint64_t from) const {
  const std::string span = file_.ReadAt(from, kChunkSearchSpan);
  for (std::size_t at = 0; at + kChunkHeaderSize <= span.size(); ++at) {
    if (KnownChunk(std::string_view(span).substr(at, kChunkHeaderSize))) return from + at;
  }
  return 0;
}

std::string RealMediaHeaderWalker::Bytes(const RealMediaChunk& chunk, std::size_t limit) const {
  return file_.ReadAt(chunk.offset, std::min<std::size_t>(chunk.size, limit));
}

namespace {

// Steps through the texts from item first on, the first of them with length (when given) in place of
// the one the chunk states, into content when given; true when all four are there and, with
// exactly, when they end where the chunk ends.
bool ReadTexts(ByteReader reader, int first, const uint16_t* length, bool exactly,
               RealMediaContent* content) {
  for (int k = first; k < 4; ++k) {
    uint16_t size = 0;
    std::string_view text;
    if (!reader.ReadBE16(size)) return false;
    if (k == first && length) size = *length;
    if (!reader.ReadBytes(size, text)) return false;
    if (content) {
      content->texts[k].assign(text);
      content->present[k] = true;
    }
  }
  return !exactly || reader.Remaining() == 0;
}

}  // namespace

RealMediaContent ReadContent(std::string_view chunk, bool whole) {
  RealMediaContent content;
  ByteReader reader(chunk);
  if (!reader.Skip(kChunkHeaderSize)) return content;
  if (ReadTexts(reader, 0, nullptr, false, nullptr)) {
    ReadTexts(reader, 0, nullptr, false, &content);
    return content;
  }
  // A length leads past the chunk: the one value in its place that makes the texts after it end
  // exactly with the chunk repairs it; without one, the texts before the damage are what is left.
  content.repaired = whole;
  for (int k = 0; k < 4; ++k) {
    const ByteReader before = reader;
    uint16_t length = 0;
    std::string_view text;
    if (reader.ReadBE16(length) && reader.ReadBytes(length, text)) {
      content.texts[k].assign(text);
      content.present[k] = true;
      continue;
    }
    if (!whole) break;
    const std::size_t room = before.Remaining() < 2 ? 0 : before.Remaining() - 2;
    for (std::size_t size = 0; size <= std::min<std::size_t>(room, 0xFFFF); ++size) {
      const uint16_t candidate = static_cast<uint16_t>(size);
      if (ReadTexts(before, k, &candidate, true, nullptr)) {
        ReadTexts(before, k, &candidate, true, &content);
        return content;
      }
    }
    break;
  }
  return content;
}

std::string ContentBody(const RealMediaContent& content, std::size_t size) {
  std::string body;
  for (int k = 0; k < 4; ++k) {
    // The last text takes up what the chunk holds beyond the others, as zero bytes after its own.
    const std::size_t rest = size >= body.size() + 2 ? size - body.size() - 2 : 0;
    const std::size_t after = 2 * static_cast<std::size_t>(3 - k);  // the lengths of the texts after it
    const std::size_t length =
        k < 3 ? std::min(content.texts[k].size(), rest >= after ? rest - after : 0) : rest;
    if (length > 0xFFFF) return {};
    const std::size_t kept = std::min(length, content.texts[k].size());
    body += static_cast<char>((length >> 8) & 0xFF);
    body += static_cast<char>(length & 0xFF);
    body.append(content.texts[k], 0, kept);
    body.append(length - kept, '\0');
  }
  return body.size() == size ? body : std::string();
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
