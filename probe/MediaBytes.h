#pragma once
// What OpenedMedia hands to libavformat through its own AVIOContext: the bytes of a local file, or a
// view that presents one stream of a multi-rate RealMedia file as a single-rate file.
#include <cstdint>

#include "BoundedFile.h"

class MediaBytes {
 public:
  virtual ~MediaBytes() = default;
  // Up to size bytes at the current position; 0 at the end.
  virtual int Read(uint8_t* buffer, int size) = 0;
  // Moves to an absolute position (past the end is allowed: reads then give 0); the new position.
  virtual int64_t Seek(int64_t position) = 0;
  virtual int64_t Size() const = 0;
  virtual int64_t Position() const = 0;
};

// The file's own bytes.
class FileBytes : public MediaBytes {
 public:
  explicit FileBytes(const BoundedFile& file) : file_(file) {}
  int Read(uint8_t* buffer, int size) override;
  int64_t Seek(int64_t position) override { return position_ = position; }
  int64_t Size() const override { return static_cast<int64_t>(file_.Size()); }
  int64_t Position() const override { return position_; }

 private:
  const BoundedFile& file_;
  int64_t position_ = 0;
};
