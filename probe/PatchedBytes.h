#pragma once
// A file's own bytes with a few of them replaced in place (a repaired header), its length unchanged.
#include <vector>

#include "MediaBytes.h"
#include "RealMediaLayout.h"

class PatchedBytes : public FileBytes {
 public:
  PatchedBytes(const BoundedFile& file, std::vector<RealMediaLayout::Patch> patches)
      : FileBytes(file), patches_(std::move(patches)) {}
  int Read(uint8_t* buffer, int size) override;

 private:
  std::vector<RealMediaLayout::Patch> patches_;
};
