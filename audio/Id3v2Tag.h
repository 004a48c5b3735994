#pragma once
// The ID3v2.3 tag at the start of an MP3 file: the full tag texts in UTF-16 (LAME's own ID3v1 tag
// at the end keeps only 30 Latin-1 characters a field).
#include <string>

struct TId3v2Texts {
  std::string Title, Artist, Album, Year, Track, Comment, Genre;  // UTF-8
};

// The whole tag; empty when every text is empty.
std::string BuildId3v2Tag(const TId3v2Texts& texts);

// A UTF-8 text as Latin-1 bytes for the ID3v1 tag; characters outside Latin-1 become '?'.
std::string Utf8ToLatin1(const std::string& text);
