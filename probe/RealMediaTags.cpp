// parse_rm: the texts and the playing time of a RealMedia file, read from the .RMF header chunks.
#include <algorithm>
#include <string_view>

#include "BoundedFile.h"
#include "ByteReader.h"
#include "TagTextPool.h"
#include "TextDecoding.h"
#include "id3_tag.h"

namespace {

constexpr uint32_t kChunkHeaderSize = 10;  // id, size, version
// Headers hold a handful of chunks; a longer walk means a hostile file.
constexpr int kMaxChunks = 1024;
// Four texts of at most 65535 bytes each, with their lengths, after the chunk header.
constexpr std::size_t kMaxContSize = kChunkHeaderSize + 4 * (2 + 65535);
constexpr std::size_t kPropSize = 50;

uint32_t BE32(std::string_view bytes, std::size_t at) {
  uint32_t value = 0;
  for (std::size_t k = 0; k < 4; ++k) value = (value << 8) | static_cast<unsigned char>(bytes[at + k]);
  return value;
}

void KeepIfAbsent(const char*& slot, std::string_view bytes) {
  if (!slot) slot = KeepTagBytes(UpToNul(bytes));
}

// CONT: title, author, copyright, comment, each a 16-bit big-endian length and its bytes.
// A cut chunk gives the items that are complete.
void ReadContentChunk(std::string_view chunk, TTagInfo& info) {
  ByteReader reader(chunk);
  if (!reader.Skip(kChunkHeaderSize)) return;
  const char** slots[] = {&info.TagTitle, &info.TagArtist, &info.TagComment2, &info.TagComment};
  for (const char** slot : slots) {
    uint16_t length = 0;
    std::string_view text;
    if (!reader.ReadBE16(length) || !reader.ReadBytes(length, text)) return;
    KeepIfAbsent(*slot, text);
  }
}

// PROP: the playing time in milliseconds sits after five 32-bit fields.
void ReadPropertiesChunk(std::string_view chunk, TTagInfo& info) {
  constexpr std::size_t kDurationAt = kChunkHeaderSize + 5 * 4;
  if (chunk.size() < kDurationAt + 4 || info.TagDuration != 0) return;
  info.TagDuration = static_cast<int64_t>(BE32(chunk, kDurationAt)) * 10000;
}

}  // namespace

int32_t parse_rm(const char* path, TTagInfo* info) {
  if (!info) return -1;
  const BoundedFile file(path);
  if (!file.IsOpen()) return -1;
  const std::string start = file.ReadAt(0, 8);
  if (start.size() < 8 || start.compare(0, 4, ".RMF") != 0) return -1;

  // The .RMF chunk is the first; every chunk, it included, is skipped by its own size.
  uint64_t offset = 0;
  for (int chunks = 0; chunks < kMaxChunks; ++chunks) {
    const std::string header = file.ReadAt(offset, 8);
    if (header.size() < 8) break;
    const std::string_view id(header.data(), 4);
    const uint32_t size = BE32(header, 4);
    if (id == "DATA") break;  // the header ends where the media data begins
    if (id == "CONT") ReadContentChunk(file.ReadAt(offset, std::min<std::size_t>(size, kMaxContSize)), *info);
    if (id == "PROP") ReadPropertiesChunk(file.ReadAt(offset, std::min<std::size_t>(size, kPropSize)), *info);
    // A chunk smaller than its own header cannot be stepped over: the header is damaged here.
    if (size < kChunkHeaderSize) break;
    offset += size;
  }
  return 0;
}
