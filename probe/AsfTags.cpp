// parse_wmv: the texts and the playing time of a Windows Media (ASF) file, read from its header
// objects, so that a file whose media data is cut away or damaged still gives its tags.
#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>

#include "BoundedFile.h"
#include "ByteReader.h"
#include "TagTextPool.h"
#include "TextDecoding.h"
#include "id3_tag.h"

namespace {

using Guid = std::string_view;  // 16 bytes as stored in the file

// GUIDs in their on-disk byte order (the first three fields little-endian).
const Guid kHeaderObject("\x30\x26\xB2\x75\x8E\x66\xCF\x11\xA6\xD9\x00\xAA\x00\x62\xCE\x6C", 16);
const Guid kFileProperties("\xA1\xDC\xAB\x8C\x47\xA9\xCF\x11\x8E\xE4\x00\xC0\x0C\x20\x53\x65", 16);
const Guid kContentDescription("\x33\x26\xB2\x75\x8E\x66\xCF\x11\xA6\xD9\x00\xAA\x00\x62\xCE\x6C", 16);
const Guid kExtendedContentDescription("\x40\xA4\xD0\xD2\x07\xE3\xD2\x11\x97\xF0\x00\xA0\xC9\x5E\xA8\x50",
                                       16);

constexpr std::size_t kObjectHeaderSize = 24;  // GUID and 64-bit size
constexpr std::size_t kHeaderPreamble = 30;    // header object: GUID, size, count, two reserved bytes
// Real headers are a few kilobytes (cover pictures make them larger); more is not read.
constexpr uint64_t kMaxHeaderSize = 8 * 1024 * 1024;
constexpr int kMaxObjects = 4096;

enum AsfValueType : uint16_t { kUnicode = 0, kBytes = 1, kBool = 2, kDword = 3, kQword = 4, kWord = 5 };

std::string Utf16Text(std::string_view bytes) {
  std::string text = Utf16LeToUtf8(bytes);
  return std::string(UpToNul(text));
}

void KeepIfAbsent(const char*& slot, std::string text) {
  if (!slot) slot = KeepTagText(std::move(text));
}

// The leading decimal digits of a text, 0 when there are none (bounded to stay in 32 bits).
int32_t LeadingTrackNumber(std::string_view text) {
  int64_t value = 0;
  for (std::size_t i = 0; i < text.size() && i < 9 && text[i] >= '0' && text[i] <= '9'; ++i) {
    value = value * 10 + (text[i] - '0');
  }
  return static_cast<int32_t>(value);
}

void ReadContentDescription(std::string_view body, TTagInfo& info) {
  ByteReader reader(body);
  uint16_t lengths[5] = {};
  for (uint16_t& length : lengths) {
    if (!reader.ReadLE16(length)) return;
  }
  // title, author, copyright, description, rating (the rating is not a tag of ours)
  const char** slots[] = {&info.TagTitle, &info.TagArtist, &info.TagComment2, &info.TagComment, nullptr};
  for (int k = 0; k < 5; ++k) {
    std::string_view bytes;
    if (!reader.ReadBytes(lengths[k], bytes)) return;
    if (slots[k]) KeepIfAbsent(*slots[k], Utf16Text(bytes));
  }
}

// A descriptor's value as text; numbers in decimal, byte arrays and booleans give nothing.
std::string ValueText(uint16_t type, std::string_view value) {
  ByteReader reader(value);
  uint16_t word = 0;
  uint32_t dword = 0;
  uint64_t qword = 0;
  switch (type) {
    case kUnicode:
      return Utf16Text(value);
    case kWord:
      return reader.ReadLE16(word) ? std::to_string(word) : std::string();
    case kDword:
      return reader.ReadLE32(dword) ? std::to_string(dword) : std::string();
    case kQword:
      return reader.ReadLE64(qword) ? std::to_string(qword) : std::string();
    default:
      return {};
  }
}

void ReadExtendedContentDescription(std::string_view body, TTagInfo& info) {
  ByteReader reader(body);
  uint16_t count = 0;
  if (!reader.ReadLE16(count)) return;
  int32_t zeroBasedTrack = -1;
  for (uint16_t k = 0; k < count; ++k) {
    uint16_t nameLength = 0, type = 0, valueLength = 0;
    std::string_view nameBytes, value;
    if (!reader.ReadLE16(nameLength) || !reader.ReadBytes(nameLength, nameBytes) || !reader.ReadLE16(type) ||
        !reader.ReadLE16(valueLength) || !reader.ReadBytes(valueLength, value)) {
      break;
    }
    const std::string name = Utf16Text(nameBytes);
    if (name == "WM/AlbumTitle") {
      KeepIfAbsent(info.TagAlbum, ValueText(type, value));
    } else if (name == "WM/Genre") {
      KeepIfAbsent(info.TagGenre, ValueText(type, value));
    } else if (name == "WM/Year") {
      KeepIfAbsent(info.TagYear, ValueText(type, value));
    } else if (name == "WM/AlbumArtist") {
      KeepIfAbsent(info.TagArtist2, ValueText(type, value));
    } else if (name == "WM/TrackNumber") {
      if (info.TagNumber == 0) info.TagNumber = LeadingTrackNumber(ValueText(type, value));
    } else if (name == "WM/Track") {
      zeroBasedTrack = LeadingTrackNumber(ValueText(type, value));
    }
  }
  if (info.TagNumber == 0 && zeroBasedTrack >= 0) info.TagNumber = zeroBasedTrack + 1;
}

// Play duration (100-ns) less the preroll (ms), which the play duration includes.
void ReadFileProperties(std::string_view body, TTagInfo& info) {
  ByteReader reader(body);
  uint64_t playDuration = 0, preroll = 0;
  if (!reader.Skip(16 + 8 + 8 + 8) || !reader.ReadLE64(playDuration) || !reader.Skip(8) ||
      !reader.ReadLE64(preroll)) {
    return;
  }
  if (playDuration > static_cast<uint64_t>(INT64_MAX)) return;
  const uint64_t prerollUnits = preroll > playDuration / 10000 ? playDuration : preroll * 10000;
  if (info.TagDuration == 0) info.TagDuration = static_cast<int64_t>(playDuration - prerollUnits);
}

}  // namespace

int32_t parse_wmv(const char* path, TTagInfo* info) {
  if (!info) return -1;
  const BoundedFile file(path);
  if (!file.IsOpen()) return -1;
  const std::string preamble = file.ReadAt(0, kHeaderPreamble);
  ByteReader preambleReader(preamble);
  std::string_view guid;
  uint64_t headerSize = 0;
  if (!preambleReader.ReadBytes(16, guid) || guid != kHeaderObject || !preambleReader.ReadLE64(headerSize) ||
      headerSize < kHeaderPreamble) {
    return -1;
  }
  // A cut file or a hostile size: read what there is, up to the cap.
  const std::string header = file.ReadAt(0, static_cast<std::size_t>(std::min(headerSize, kMaxHeaderSize)));
  if (header.size() < kHeaderPreamble) return -1;
  std::size_t pos = kHeaderPreamble;
  for (int objects = 0; objects < kMaxObjects && header.size() - pos >= kObjectHeaderSize; ++objects) {
    ByteReader reader(std::string_view(header).substr(pos));
    std::string_view objectGuid;
    uint64_t objectSize = 0;
    reader.ReadBytes(16, objectGuid);
    reader.ReadLE64(objectSize);
    if (objectSize < kObjectHeaderSize) break;  // cannot be stepped over
    const std::size_t available = header.size() - pos;
    const std::size_t size = objectSize > available ? available : static_cast<std::size_t>(objectSize);
    const std::string_view body =
        std::string_view(header).substr(pos + kObjectHeaderSize, size - kObjectHeaderSize);
    if (objectGuid == kContentDescription) {
      ReadContentDescription(body, *info);
    } else if (objectGuid == kExtendedContentDescription) {
      ReadExtendedContentDescription(body, *info);
    } else if (objectGuid == kFileProperties) {
      ReadFileProperties(body, *info);
    }
    pos += size;
  }
  return 0;
}
