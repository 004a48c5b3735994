#pragma once
// A file's own bytes with a few of them replaced in place (a repaired header), its length unchanged.
#include <vector>

#include "MediaBytes.h"
#include "RealMediaLayout.h"

class PatchedBytes : public MediaBytes {
 public:
  PatchedBytes(const BoundedFile& file, std::vector<RealMediaLayout::Patch> patches)
      : file_(file), patches_(std::move(patches)) {}
  int Read(uint8_t* buffer, int size) override;
  int64_t Seek(int64_t position) override { return position_ = position; }
  int64_t Size() const override { return static_cast<int64_t>(file_.Size()); }
  int64_t Position() const override { return position_; }

 private:
  const BoundedFile& file_;
  std::vector<RealMediaLayout::Patch> patches_;
  int64_t position_ = 0;
};
