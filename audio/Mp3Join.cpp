#include "audio/Mp3Join.h"

#include <algorithm>

#include "audio/Mp3FrameHeader.h"

namespace {

class TBitReader {
 public:
  explicit TBitReader(const unsigned char* data) : data_(data) {}
  uint32_t Read(int bits) {
    uint32_t value = 0;
    for (int i = 0; i < bits; ++i, ++pos_) value = (value << 1) | ((data_[pos_ / 8] >> (7 - pos_ % 8)) & 1);
    return value;
  }
  void Skip(int bits) { pos_ += size_t(bits); }

 private:
  const unsigned char* data_;
  size_t pos_ = 0;
};

// Side information: the backstep and the bits of audio data of every granule and channel.
void ReadSideInfo(const unsigned char* side, const TMp3FrameHeader& header, int& backstep, int64_t& bits) {
  TBitReader reader(side);
  const int channels = header.Mono ? 1 : 2;
  bits = 0;
  if (header.Mpeg1) {
    backstep = int(reader.Read(9));
    reader.Skip((header.Mono ? 5 : 3) + 4 * channels);  // private bits, scfsi
    for (int i = 0; i < 2 * channels; ++i) {
      bits += reader.Read(12);
      reader.Skip(47);
    }
  } else {
    backstep = int(reader.Read(8));
    reader.Skip(header.Mono ? 1 : 2);
    for (int i = 0; i < channels; ++i) {
      bits += reader.Read(12);
      reader.Skip(51);
    }
  }
}

size_t SideInfoSize(const TMp3FrameHeader& header) {
  return header.Mpeg1 ? (header.Mono ? 17 : 32) : (header.Mono ? 9 : 17);
}

// The byte of bytes at main-data position pos of frames.
template <typename Bytes>
auto At(Bytes& bytes, const std::vector<TJoinFrame>& frames, int64_t pos) {
  auto it = std::upper_bound(frames.begin(), frames.end(), pos,
                             [](int64_t p, const TJoinFrame& frame) { return p < frame.MainPos; });
  const TJoinFrame& frame = *(it - 1);
  return &bytes[frame.Payload + size_t(pos - frame.MainPos)];
}

}  // namespace

bool LayoutJoinFrames(const std::vector<unsigned char>& bytes, size_t from, std::vector<TJoinFrame>& frames) {
  frames.clear();
  int64_t main = 0;
  for (size_t pos = from; pos < bytes.size();) {
    TMp3FrameHeader header;
    if (pos + 4 > bytes.size() || !ParseMp3FrameHeader(&bytes[pos], header) ||
        pos + header.Size > bytes.size())
      return false;
    const size_t headerSize = 4 + (header.Crc ? 2 : 0) + SideInfoSize(header);
    if (headerSize > header.Size) return false;
    TJoinFrame frame;
    frame.Offset = pos;
    frame.Payload = pos + headerSize;
    frame.PayloadSize = header.Size - headerSize;
    frame.MainPos = main;
    int backstep = 0;
    int64_t bits = 0;
    ReadSideInfo(&bytes[pos + 4 + (header.Crc ? 2 : 0)], header, backstep, bits);
    frame.DataBegin = main - backstep;
    frame.DataEnd = frame.DataBegin + (bits + 7) / 8;
    frames.push_back(frame);
    main += int64_t(frame.PayloadSize);
    pos += header.Size;
  }
  return true;
}

int64_t JoinStretches(std::vector<unsigned char>& a, const std::vector<TJoinFrame>& aFrames, int64_t aFirst,
                      const std::vector<unsigned char>& b, const std::vector<TJoinFrame>& bFrames,
                      int64_t bFirst, int64_t preferred) {
  const int64_t aEnd = aFirst + int64_t(aFrames.size()), bEnd = bFirst + int64_t(bFrames.size());
  auto join = [&](int64_t k) {
    if (k <= aFirst || k > aEnd || k < bFirst || k >= bEnd) return false;
    const TJoinFrame& next = bFrames[size_t(k - bFirst)];
    const int64_t need = next.MainPos - next.DataBegin;  // reservoir bytes b's frame k takes
    const int64_t bFrom = next.DataBegin;
    const int64_t aAt = k < aEnd ? aFrames[size_t(k - aFirst)].MainPos
                                 : aFrames.back().MainPos + int64_t(aFrames.back().PayloadSize);
    int64_t aUsed = 0;
    for (int64_t j = aFirst; j < k; ++j) aUsed = std::max(aUsed, aFrames[size_t(j - aFirst)].DataEnd);
    if (need < 0 || bFrom < 0 || aAt - need < 0) return false;
    for (int64_t t = 0; t < need; ++t) {
      if (aAt - need + t < aUsed && *At(a, aFrames, aAt - need + t) != *At(b, bFrames, bFrom + t))
        return false;
    }
    for (int64_t t = aUsed - (aAt - need) > 0 ? aUsed - (aAt - need) : 0; t < need; ++t)
      *At(a, aFrames, aAt - need + t) = *At(b, bFrames, bFrom + t);
    return true;
  };
  for (int64_t k = preferred; k <= aEnd; ++k) {
    if (join(k)) return k;
  }
  for (int64_t k = preferred - 1; k >= bFirst; --k) {
    if (join(k)) return k;
  }
  return -1;
}
