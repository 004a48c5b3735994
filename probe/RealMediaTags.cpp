// parse_rm: the texts and the playing time of a RealMedia file, read from the .RMF header chunks.
#include "BoundedFile.h"
#include "RealMediaFormat.h"
#include "RealMediaHeader.h"
#include "TagTextPool.h"
#include "TextDecoding.h"
#include "id3_tag.h"

int32_t parse_rm(const char* path, TTagInfo* info) {
  if (!info) return -1;
  const BoundedFile file(path);
  if (!file.IsOpen()) return -1;
  RealMediaHeaderWalker walker(file);
  if (!walker.IsRealMedia() || file.Size() < 8) return -1;

  // A cut chunk gives what it holds: a damaged or cut file still gives its tags.
  RealMediaChunk chunk;
  while (walker.Next(chunk)) {
    if (chunk.id == "CONT") {
      const RealMediaContent content = ReadContent(walker.Bytes(chunk, realmedia::kMaxContSize), chunk.whole);
      const char** slots[] = {&info->TagTitle, &info->TagArtist, &info->TagComment2, &info->TagComment};
      for (int k = 0; k < 4; ++k) {
        if (content.present[k] && !*slots[k]) *slots[k] = KeepTagBytes(UpToNul(content.texts[k]));
      }
    } else if (chunk.id == "PROP" && info->TagDuration == 0) {
      const RealMediaProperties properties = ReadProperties(walker.Bytes(chunk, realmedia::kPropSize));
      if (properties.hasDuration) info->TagDuration = static_cast<int64_t>(properties.duration) * 10000;
    }
  }
  return 0;
}
