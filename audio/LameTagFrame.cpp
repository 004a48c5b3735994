#include "audio/LameTagFrame.h"

#include <cmath>
#include <cstring>

#include "audio/Mp3FrameHeader.h"

namespace {

constexpr int SeekPoints = 400;  // the encoder's table size

void PutBigEndian(unsigned char* at, uint32_t value, int bytes) {
  for (int i = bytes - 1; i >= 0; --i) {
    at[i] = static_cast<unsigned char>(value & 0xFF);
    value >>= 8;
  }
}

}  // namespace

namespace {

struct TCrc16Table {
  uint16_t Entry[256];
  constexpr TCrc16Table() : Entry() {
    for (int byte = 0; byte < 256; ++byte) {
      uint16_t crc = uint16_t(byte);
      for (int bit = 0; bit < 8; ++bit) crc = (crc & 1) ? uint16_t((crc >> 1) ^ 0xA001) : uint16_t(crc >> 1);
      Entry[byte] = crc;
    }
  }
};
constexpr TCrc16Table Crc16Table;

}  // namespace

uint16_t LameCrc16(uint16_t crc, const unsigned char* data, size_t size) {
  for (size_t i = 0; i < size; ++i) crc = uint16_t((crc >> 8) ^ Crc16Table.Entry[(crc ^ data[i]) & 0xFF]);
  return crc;
}

TLameTagTotals::TLameTagTotals() : bag_(SeekPoints, 0) {}

bool TLameTagTotals::AddFrames(const unsigned char* data, size_t size) {
  size_t pos = 0;
  while (pos < size) {
    TMp3FrameHeader header;
    if (pos + 4 > size || !ParseMp3FrameHeader(data + pos, header) || pos + header.Size > size) return false;
    AddBitrate(header.Kbps);
    pos += header.Size;
    ++frames_;
  }
  crc_ = LameCrc16(crc_, data, size);
  bytes_ += int64_t(size);
  return true;
}

void TLameTagTotals::AddBitrate(int kbps) {
  sum_ += kbps;
  if (++seen_ < want_) return;
  if (pos_ < SeekPoints) {
    bag_[size_t(pos_++)] = sum_;
    seen_ = 0;
  }
  if (pos_ == SeekPoints) {
    for (int i = 1; i < SeekPoints; i += 2) bag_[size_t(i / 2)] = bag_[size_t(i)];
    want_ *= 2;
    pos_ /= 2;
  }
}

void TLameTagTotals::SeekTable(unsigned char toc[100]) const {
  std::memset(toc, 0, 100);
  if (pos_ <= 0) return;
  // The encoder's own arithmetic, single precision included, so one encoder and many give one table.
  for (int i = 1; i < 100; ++i) {
    const float j = float(i) / 100.0f;
    int index = int(std::floor(j * float(pos_)));
    if (index > pos_ - 1) index = pos_ - 1;
    const float act = float(bag_[size_t(index)]);
    const float sum = float(sum_);
    int point = int(256. * act / sum);
    if (point > 255) point = 255;
    toc[i] = static_cast<unsigned char>(point);
  }
}

bool CompleteLameTagFrame(std::vector<unsigned char>& frame, const TLameTagTotals& totals, int padding) {
  // "Xing" (variable bitrate) or "Info" right after the side information.
  size_t at = 0;
  for (size_t i = 4; i + 4 <= frame.size() && i < 48; ++i) {
    if (std::memcmp(&frame[i], "Xing", 4) == 0 || std::memcmp(&frame[i], "Info", 4) == 0) {
      at = i;
      break;
    }
  }
  // Tag, flags, frames, bytes, 100 seek entries, quality, then LAME's 36 bytes ending in the two CRCs.
  const size_t lame = at + 120, end = lame + 36;
  if (at == 0 || frame.size() < end || std::memcmp(&frame[lame], "LAME", 4) != 0) return false;
  const int64_t streamBytes = totals.Bytes() + int64_t(frame.size());  // the tag frame counts
  PutBigEndian(&frame[at + 8], uint32_t(totals.Frames()), 4);
  PutBigEndian(&frame[at + 12], uint32_t(streamBytes), 4);
  totals.SeekTable(&frame[at + 16]);
  // Encoder delay (12 bits, kept) and padding (12 bits).
  const int delay = (frame[lame + 21] << 4) | (frame[lame + 22] >> 4);
  const uint32_t clamped = uint32_t(padding < 0 ? 0 : padding > 4095 ? 4095 : padding);
  PutBigEndian(&frame[lame + 21], (uint32_t(delay) << 12) | clamped, 3);
  PutBigEndian(&frame[lame + 28], uint32_t(streamBytes), 4);  // music length
  PutBigEndian(&frame[lame + 32], totals.MusicCrc(), 2);
  PutBigEndian(&frame[lame + 34], LameCrc16(0, frame.data(), lame + 34), 2);
  return true;
}
