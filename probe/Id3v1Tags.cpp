// getid3_id3v1: the ID3 version 1 tag in the last 128 bytes of any file.
#include <string_view>

#include "BoundedFile.h"
#include "GenreNames.h"
#include "TagTextPool.h"
#include "TextDecoding.h"
#include "id3_tag.h"

namespace {

constexpr std::size_t kTagSize = 128;

// A fixed-width field: up to its first NUL, without trailing blanks. A field filled to its last byte
// may end in a UTF-8 character cut by its writer.
const char* FieldText(std::string_view field) {
  const std::string_view text = UpToNul(field);
  if (text.size() < field.size()) return KeepTagBytes(TrimTrailingNulsAndBlanks(text));
  return KeepTagText(std::string(TrimTrailingNulsAndBlanks(FullFieldBytesToUtf8(text))));
}

}  // namespace

const char* Id3v1GenreName(int genre) {
  return genre >= 0 && genre < Id3v1GenreCount ? GenreNames[std::size_t(genre)] : nullptr;
}

int32_t getid3_id3v1(const char* path, TTagInfo* info) {
  if (!info) return -1;
  const BoundedFile file(path);
  if (!file.IsOpen() || file.Size() < kTagSize) return -1;
  const std::string tag = file.ReadAt(file.Size() - kTagSize, kTagSize);
  if (tag.size() != kTagSize || tag.compare(0, 3, "TAG") != 0) return -1;
  const std::string_view bytes(tag);

  info->TagTitle = FieldText(bytes.substr(3, 30));
  info->TagArtist = FieldText(bytes.substr(33, 30));
  info->TagAlbum = FieldText(bytes.substr(63, 30));
  info->TagYear = FieldText(bytes.substr(93, 4));
  std::string_view comment = bytes.substr(97, 30);
  // ID3v1.1: a NUL in the comment's 29th byte makes the 30th the track number.
  if (comment[28] == '\0' && comment[29] != '\0') {
    info->TagNumber = static_cast<unsigned char>(comment[29]);
    comment = comment.substr(0, 28);
  }
  info->TagComment = FieldText(comment);
  const char* genre = Id3v1GenreName(static_cast<unsigned char>(bytes[127]));
  info->TagGenre = genre ? KeepTagText(genre) : nullptr;
  return 0;
}
