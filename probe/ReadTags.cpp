#include "ReadTags.h"

#include <cctype>
#include <exception>

#include "core/Profile.h"

namespace {

// The file name's extension from its last dot, dot included, in upper case.
std::string UpperExtension(const std::string& path) {
  const std::string name = FileNamePart(path);
  const auto dot = name.rfind('.');
  std::string ext = dot == std::string::npos ? std::string() : name.substr(dot);
  for (char& c : ext) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return ext;
}

// Fills the caller's empty slots (all but TagReserved and TagDuration) from the ID3v1 record.
void MergeMissing(TTagInfo& info, const TTagInfo& id3v1) {
  const char** texts[] = {&info.TagTitle,   &info.TagArtist, &info.TagAlbum,    &info.TagYear,
                          &info.TagComment, &info.TagGenre,  &info.TagComment2, &info.TagArtist2};
  const char* const fromId3v1[] = {id3v1.TagTitle,   id3v1.TagArtist, id3v1.TagAlbum,    id3v1.TagYear,
                                   id3v1.TagComment, id3v1.TagGenre,  id3v1.TagComment2, id3v1.TagArtist2};
  for (std::size_t k = 0; k < sizeof(texts) / sizeof(texts[0]); ++k) {
    if (!*texts[k] && fromId3v1[k]) *texts[k] = fromId3v1[k];
  }
  if (info.TagNumber == 0 && id3v1.TagNumber != 0) info.TagNumber = id3v1.TagNumber;
}

// A parser that fails (out of memory) leaves what it found so far; tag extraction never fails.
void Run(int32_t (*parser)(const char*, TTagInfo*), const char* path, TTagInfo& info) {
  try {
    parser(path, &info);
  } catch (const std::exception&) {
  }
}

}  // namespace

void ReadTags(const std::string& path, TTagInfo& info) {
  ReleaseTagTexts();
  const std::string ext = UpperExtension(path);
  info = TTagInfo{};
  const char* file = path.c_str();
  if (ext == ".RM" || ext == ".RMVB") {
    Run(&parse_rm, file, info);
    TTagInfo id3v1;
    Run(&getid3_id3v1, file, id3v1);
    MergeMissing(info, id3v1);
  } else if (ext == ".WMV" || ext == ".ASF") {
    Run(&parse_wmv, file, info);
  } else if (ext == ".MOV" || ext == ".QT" || ext == ".MP4") {
    Run(&parse_mov, file, info);
  }
}
