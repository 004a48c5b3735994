#pragma once
// The one reading of a RealMedia file's header chunks, from the .RMF chunk up to the first DATA chunk,
// each stepped over by its own size, and of the two chunks that both the tag reader and the multi-rate
// layout take from it (PROP and CONT).
#include <cstdint>
#include <string>
#include <string_view>

#include "BoundedFile.h"

struct RealMediaChunk {
  std::string id;  // four letters
  uint64_t offset = 0;
  uint32_t size = 0;      // as the chunk states it
  bool whole = false;     // the file holds all of it
  bool repaired = false;  // the size leads to no known chunk: it is taken up to the next one
};

class RealMediaHeaderWalker {
 public:
  explicit RealMediaHeaderWalker(const BoundedFile& file);
  // The file starts with the .RMF chunk.
  bool IsRealMedia() const { return realMedia_; }
  // The next header chunk, the .RMF chunk first. False at the first DATA chunk (ReachedData() then
  // says so), at the end of the file, after too many chunks, or at a chunk smaller than its own header,
  // which cannot be stepped over. A chunk whose size leads to no known chunk ends where the next known
  // chunk within a bounded span starts.
  bool Next(RealMediaChunk& chunk);
  bool ReachedData() const { return reachedData_; }
  // Where the first DATA chunk starts, once ReachedData().
  uint64_t DataOffset() const { return offset_; }
  // Up to limit bytes of the chunk, as far as the file holds them.
  std::string Bytes(const RealMediaChunk& chunk, std::size_t limit) const;

 private:
  uint64_t NextKnownChunk(uint64_t from) const;  // 0: none near enough

  const BoundedFile& file_;
  bool realMedia_ = false;
  bool reachedData_ = false;
  bool done_ = false;
  int chunks_ = 0;
  uint64_t offset_ = 0;
};

// CONT: title, author, copyright, comment, each a 16-bit big-endian length and its bytes. A cut or
// damaged chunk gives the texts before the damage; the others are absent. One damaged length is
// repaired where exactly one value makes the texts after it end with the chunk.
struct RealMediaContent {
  enum Item { Title, Author, Copyright, Comment };
  std::string texts[4];
  bool present[4] = {};
  bool repaired = false;  // the lengths as the chunk states them do not end with it
};
// A chunk the file's end cuts is not repaired: its lengths are not what is damaged.
RealMediaContent ReadContent(std::string_view chunk, bool whole = true);
// The texts as a CONT chunk's body of exactly size bytes (the last text padded with zero bytes); empty
// when they do not fit.
std::string ContentBody(const RealMediaContent& content, std::size_t size);

// PROP: the playing time and preroll in milliseconds and the flags, where the chunk holds them.
struct RealMediaProperties {
  bool hasDuration = false;
  uint32_t duration = 0, preroll = 0;
  uint16_t flags = 0;
};
RealMediaProperties ReadProperties(std::string_view chunk);

// The big-endian number of width bytes at at; the caller has checked that they are there.
uint32_t RealMediaBE(std::string_view bytes, std::size_t at, std::size_t width);
