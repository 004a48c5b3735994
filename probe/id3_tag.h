#pragma once
// The tag library: one parser per container family and one reader for ID3 version 1 tags.
// Each entry point takes the file's path (UTF-8) and a TTagInfo that the caller has zeroed, and
// fills only the slots for which the file has a value; a slot left 0 means "no such item".
//
// Lifetime of the texts: the parsers own them. A text handed out stays valid, unchanged, until
// ReleaseTagTexts() runs on the same thread; ReadTags calls it when it starts, so the texts of one
// ReadTags stay readable until the next ReadTags on that thread. Callers copy them and never free them.
#include <cstdint>

struct TTagInfo {
  const char* TagTitle = nullptr;
  const char* TagArtist = nullptr;
  const char* TagAlbum = nullptr;
  const char* TagYear = nullptr;
  const char* TagComment = nullptr;
  const char* TagGenre = nullptr;
  int32_t TagReserved = 0;
  const char* TagComment2 = nullptr;
  const char* TagArtist2 = nullptr;
  int32_t TagNumber = 0;    // track number
  int64_t TagDuration = 0;  // 100-ns units, 0 when unknown
};

// RealMedia (.RMF header chunks, read directly so that a cut or damaged file still gives its tags):
// CONT title -> TagTitle, author -> TagArtist, comment -> TagComment, copyright -> TagComment2
// (the comment field is where users keep copyright notes); PROP duration -> TagDuration.
int32_t parse_rm(const char* path, TTagInfo* info);

// Windows Media / ASF header objects (read directly, UTF-16LE texts):
// Content Description title -> TagTitle, author -> TagArtist, description -> TagComment,
// copyright -> TagComment2; Extended Content Description WM/AlbumTitle -> TagAlbum,
// WM/Genre -> TagGenre, WM/Year -> TagYear, WM/AlbumArtist -> TagArtist2,
// WM/TrackNumber (else WM/Track + 1) -> TagNumber; File Properties play duration minus preroll
// -> TagDuration.
int32_t parse_wmv(const char* path, TTagInfo* info);

// QuickTime / MP4 metadata through libavformat: title, artist, album, date (its year) -> TagYear,
// comment, genre, album_artist -> TagArtist2, description (else copyright) -> TagComment2,
// track -> TagNumber, the movie's duration -> TagDuration.
int32_t parse_mov(const char* path, TTagInfo* info);

// The ID3v1 tag in the last 128 bytes: title, artist, album, year, comment, genre name,
// the ID3v1.1 track number -> TagNumber. Never a duration.
int32_t getid3_id3v1(const char* path, TTagInfo* info);

// Frees every text the parsers handed out on this thread.
void ReleaseTagTexts();

// The name of an ID3v1 genre byte, or nullptr for 255 ("none") and unknown numbers.
const char* Id3v1GenreName(int genre);
