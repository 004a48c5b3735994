#pragma once
// Variants of the committed test files, made at test time: RealMedia files with other container
// texts, ID3v1 tags appended, and the chunk layout needed to damage a file at known places.
#include <cstdint>
#include <string>
#include <vector>

struct RmChunk {
  std::string id;
  std::size_t offset = 0;
  uint32_t size = 0;
};

// The chunks of a RealMedia file's bytes, from the .RMF chunk up to and including DATA.
std::vector<RmChunk> RmChunks(const std::string& bytes);

// The file's bytes with its CONT chunk replaced by one holding these raw texts; the data and
// index offsets of PROP move with it, so the media stays readable.
std::string WithContTexts(const std::string& bytes, const std::string& title, const std::string& author,
                          const std::string& copyright, const std::string& comment);

struct Id3v1Fields {
  std::string title, artist, album, year, comment;
  int track = 0;    // 0: plain ID3v1
  int genre = 255;  // 255: none
};
// A 128-byte ID3v1 tag; fields are raw bytes padded with NULs.
std::string Id3v1Tag(const Id3v1Fields& fields);

void PutBE32(std::string& bytes, std::size_t at, uint32_t value);
void PutLE32(std::string& bytes, std::size_t at, uint32_t value);
