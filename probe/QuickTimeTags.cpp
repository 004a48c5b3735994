// parse_mov: the texts and the playing time of a QuickTime or MP4 file, from libavformat's reading
// of its header (udta, meta/ilst and mdta keys all arrive as container metadata).
#include <cstring>
#include <string>
#include <string_view>

#include "OpenedMedia.h"
#include "TagTextPool.h"
#include "TextDecoding.h"
#include "id3_tag.h"

namespace {

bool StartsWith(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && text.compare(0, prefix.size(), prefix) == 0;
}

// The value of key, else of a language variant ("comment-eng"), else of the Apple key
// ("com.apple.quicktime.comment"); nullptr when the file has none of them.
const char* Lookup(const AVDictionary* metadata, const std::string& key) {
  if (const AVDictionaryEntry* entry = av_dict_get(metadata, key.c_str(), nullptr, AV_DICT_MATCH_CASE)) {
    return entry->value;
  }
  const std::string apple = "com.apple.quicktime." + key;
  const char* appleValue = nullptr;
  const AVDictionaryEntry* entry = nullptr;
  while ((entry = av_dict_get(metadata, "", entry, AV_DICT_IGNORE_SUFFIX))) {
    if (StartsWith(entry->key, key + "-")) return entry->value;
    if (!appleValue && apple == entry->key) appleValue = entry->value;
  }
  return appleValue;
}

void KeepIfAbsent(const char*& slot, const char* value) {
  if (!slot && value) slot = KeepTagBytes(value);
}

// "2010-05-02T10:00:00Z" and "2010" both give 2010; other texts stay as they are.
const char* YearOf(const char* date) {
  if (!date) return nullptr;
  const std::string_view text(date);
  bool fourDigits = text.size() >= 4;
  for (std::size_t i = 0; fourDigits && i < 4; ++i) fourDigits = text[i] >= '0' && text[i] <= '9';
  return fourDigits && (text.size() == 4 || text[4] == '-') ? KeepTagBytes(text.substr(0, 4))
                                                            : KeepTagBytes(text);
}

int32_t TrackNumber(const char* track) {
  int32_t value = 0;
  for (int i = 0; track && i < 9 && track[i] >= '0' && track[i] <= '9'; ++i)
    value = value * 10 + (track[i] - '0');
  return value;
}

}  // namespace

int32_t parse_mov(const char* path, TTagInfo* info) {
  if (!info) return -1;
  OpenedMedia media;
  if (media.Open(path) != 0) return -1;
  const AVFormatContext& context = *media.Context();
  const AVDictionary* metadata = context.metadata;

  KeepIfAbsent(info->TagTitle, Lookup(metadata, "title"));
  KeepIfAbsent(info->TagArtist, Lookup(metadata, "artist"));
  KeepIfAbsent(info->TagAlbum, Lookup(metadata, "album"));
  if (!info->TagYear) info->TagYear = YearOf(Lookup(metadata, "date"));
  KeepIfAbsent(info->TagComment, Lookup(metadata, "comment"));
  KeepIfAbsent(info->TagGenre, Lookup(metadata, "genre"));
  KeepIfAbsent(info->TagArtist2, Lookup(metadata, "album_artist"));
  KeepIfAbsent(info->TagComment2, Lookup(metadata, "description"));
  KeepIfAbsent(info->TagComment2, Lookup(metadata, "copyright"));
  if (info->TagNumber == 0) info->TagNumber = TrackNumber(Lookup(metadata, "track"));
  if (info->TagDuration == 0 && context.duration != AV_NOPTS_VALUE && context.duration > 0) {
    const int64_t duration = av_rescale_q(context.duration, AV_TIME_BASE_Q, AVRational{1, 10000000});
    info->TagDuration = duration > 0 ? duration : 0;
  }
  return 0;
}
