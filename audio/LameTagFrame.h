#pragma once
// The LAME/Xing tag frame of a file whose frames several encoder instances wrote: the totals of the
// frames as they went to the file, and the encoder's own tag frame with the whole file's values put in.
#include <cstddef>
#include <cstdint>
#include <vector>

// LAME's CRC-16 (polynomial 0x8005, reflected, initial value 0), as its tag uses for the audio and the tag.
uint16_t LameCrc16(uint16_t crc, const unsigned char* data, size_t size);

// The frames of the audio in file order: their count, bytes, CRC and bitrates for the seek table.
class TLameTagTotals {
 public:
  TLameTagTotals();
  // Adds whole frames (one or more, nothing else); false when data holds bytes that are no frame.
  bool AddFrames(const unsigned char* data, size_t size);
  int64_t Frames() const { return frames_; }
  int64_t Bytes() const { return bytes_; }
  uint16_t MusicCrc() const { return crc_; }
  // The 100 entries of the seek table, computed as the encoder computes its own from the frame bitrates.
  void SeekTable(unsigned char toc[100]) const;

 private:
  void AddBitrate(int kbps);
  int64_t frames_ = 0;
  int64_t bytes_ = 0;
  uint16_t crc_ = 0;
  // The encoder's sampling of the running bitrate sum: at most 400 points, halved when full.
  std::vector<int> bag_;
  int sum_ = 0, seen_ = 0, want_ = 1, pos_ = 0;
};

// Puts the totals, the encoder padding and both CRCs into frame, an encoder's LAME/Xing tag frame (its
// own fields, the encoder delay among them, stay). False when frame holds no such tag.
bool CompleteLameTagFrame(std::vector<unsigned char>& frame, const TLameTagTotals& totals, int padding);
