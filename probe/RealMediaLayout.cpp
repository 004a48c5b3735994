#include "RealMediaLayout.h"

#include <algorithm>
#include <string_view>

#include "ByteReader.h"

extern "C" {
#include <libavcodec/avcodec.h>
}

namespace {

constexpr uint32_t kChunkHeaderSize = 10;  // id, size, version
constexpr uint32_t kDataHeaderSize = 18;   // id, size, version, packet count, next DATA offset
constexpr uint32_t kPropSize = 50;
// A header holds a handful of chunks and streams; more is a hostile file, read no further.
constexpr int kMaxHeaderChunks = 4096;
constexpr std::size_t kMaxStreams = 256;
constexpr int kMaxDataChunks = 4096;
// Four texts of at most 65535 bytes with their lengths, after the chunk header.
constexpr uint32_t kMaxContSize = kChunkHeaderSize + 4 * (2 + 65535);
// Stream headers are small; the part of a larger one that is read.
constexpr uint32_t kMaxStreamHeaderSize = 1 << 20;

constexpr std::string_view kPhysicalMime = "audio/x-pn-multirate-realaudio";

uint32_t BE(std::string_view bytes, std::size_t at, std::size_t width) {
  uint32_t value = 0;
  for (std::size_t k = 0; k < width; ++k) value = (value << 8) | static_cast<unsigned char>(bytes[at + k]);
  return value;
}

bool ReadText8(ByteReader& reader, std::string& text) {
  std::string_view length, bytes;
  if (!reader.ReadBytes(1, length) || !reader.ReadBytes(static_cast<unsigned char>(length[0]), bytes))
    return false;
  text.assign(bytes);
  return true;
}

// The RealAudio header (".ra\xFD", versions 3 to 5) at the start of a stream's type-specific data:
// the codec's four letters, the sample rate and the channel count.
void ReadRealAudioHeader(RealMediaStream& stream) {
  const std::string_view ra = stream.specific;
  if (ra.size() < 6 || ra.substr(0, 4) != ".ra\xFD") return;
  const uint32_t version = BE(ra, 4, 2);
  if (version == 3) {
    stream.fourcc = "lpcJ";
    stream.sampleRate = 8000;
    stream.channels = 1;
    return;
  }
  if (version == 5 && ra.size() >= 70) {
    stream.sampleRate = BE(ra, 54, 2);
    stream.channels = static_cast<uint16_t>(BE(ra, 60, 2));
    stream.fourcc.assign(ra.substr(66, 4));
  } else if (version == 4 && ra.size() >= 57) {
    stream.sampleRate = BE(ra, 48, 2);
    stream.channels = static_cast<uint16_t>(BE(ra, 54, 2));
    ByteReader reader(ra);
    std::string interleaver;
    if (reader.Skip(56) && ReadText8(reader, interleaver)) ReadText8(reader, stream.fourcc);
  }
}

AVCodecID CodecOf(const std::string& fourcc) {
  struct Tag {
    const char* fourcc;
    AVCodecID id;
  };
  static const Tag kTags[] = {{"cook", AV_CODEC_ID_COOK},   {"sipr", AV_CODEC_ID_SIPR},
                              {"atrc", AV_CODEC_ID_ATRAC3}, {"raac", AV_CODEC_ID_AAC},
                              {"racp", AV_CODEC_ID_AAC},    {"dnet", AV_CODEC_ID_AC3},
                              {"lpcJ", AV_CODEC_ID_RA_144}, {"28_8", AV_CODEC_ID_RA_288}};
  for (const Tag& tag : kTags) {
    if (fourcc == tag.fourcc) return tag.id;
  }
  return AV_CODEC_ID_NONE;
}

bool ReadStreamHeader(std::string_view chunk, RealMediaStream& stream) {
  ByteReader reader(chunk);
  uint16_t number = 0;
  uint32_t fields[7] = {};
  if (!reader.Skip(kChunkHeaderSize) || !reader.ReadBE16(number)) return false;
  for (uint32_t& field : fields) {
    if (!reader.ReadBE32(field)) return false;
  }
  stream.number = number;
  stream.maxBitrate = fields[0];
  stream.avgBitrate = fields[1];
  stream.maxPacket = fields[2];
  stream.avgPacket = fields[3];
  stream.startTime = fields[4];
  stream.preroll = fields[5];
  stream.duration = fields[6];
  uint32_t size = 0;
  std::string_view specific;
  if (!ReadText8(reader, stream.description) || !ReadText8(reader, stream.mime) || !reader.ReadBE32(size) ||
      !reader.ReadBytes(size, specific)) {
    return false;
  }
  stream.specific.assign(specific);
  ReadRealAudioHeader(stream);
  return true;
}

}  // namespace

bool RealMediaPacketWalker::Next(RealMediaPacket& packet) {
  while (state_.chunk < chunks_.size()) {
    const RealMediaDataChunk& chunk = chunks_[state_.chunk];
    state_.at = std::max(state_.at, chunk.begin);
    char header[13];
    const std::size_t got =
        state_.at < chunk.end
            ? file_.ReadInto(state_.at, header, std::min<uint64_t>(13, chunk.end - state_.at))
            : 0;
    const std::string_view bytes(header, got);
    packet.at = state_.at;
    packet.version = got >= 4 ? static_cast<uint16_t>(BE(bytes, 0, 2)) : 0xFFFF;
    packet.length = got >= 4 ? static_cast<uint16_t>(BE(bytes, 2, 2)) : 0;
    const bool sound = packet.version <= 1 && got >= packet.HeaderSize() &&
                       packet.length >= packet.HeaderSize() && packet.length <= chunk.end - state_.at;
    if (!sound) {
      // The rest of this chunk cannot be stepped through: go on with the next one.
      ++state_.chunk;
      state_.at = 0;
      continue;
    }
    packet.stream = static_cast<uint16_t>(BE(bytes, 4, 2));
    packet.timestamp = BE(bytes, 6, 4);
    if (packet.version == 0) {
      packet.rule = 0;
      packet.flags = static_cast<uint8_t>(bytes[11]);
    } else {
      packet.rule = static_cast<uint16_t>(BE(bytes, 10, 2));
      packet.flags = static_cast<uint8_t>(bytes[12]);
    }
    state_.at += packet.length;
    return true;
  }
  return false;
}

bool RealMediaLayout::Read(const BoundedFile& file) {
  *this = RealMediaLayout();
  uint64_t firstData = 0;
  if (!ReadHeaderChunks(file, firstData)) return false;
  ReadDataChain(file, firstData);
  if (IsMultiRate()) CountPackets(file);
  return true;
}

bool RealMediaLayout::ReadHeaderChunks(const BoundedFile& file, uint64_t& firstData) {
  const std::string start = file.ReadAt(0, 8);
  if (start.size() < 8 || start.compare(0, 4, ".RMF") != 0) return false;
  uint64_t offset = BE(start, 4, 4);
  if (offset < 8) return false;
  for (int chunks = 0; chunks < kMaxHeaderChunks; ++chunks) {
    const std::string header = file.ReadAt(offset, kChunkHeaderSize);
    if (header.size() < kChunkHeaderSize) return false;
    const std::string_view id(header.data(), 4);
    const uint32_t size = BE(header, 4, 4);
    if (id == "DATA") {
      firstData = offset;
      return true;
    }
    if (size < kChunkHeaderSize || size > file.Size() - offset) return false;
    if (id == "PROP" && size >= kPropSize) {
      const std::string prop = file.ReadAt(offset, kPropSize);
      if (prop.size() == kPropSize) {
        propDuration_ = BE(prop, 30, 4);
        propPreroll_ = BE(prop, 34, 4);
        propFlags_ = static_cast<uint16_t>(BE(prop, 48, 2));
      }
    } else if (id == "CONT" && size <= kMaxContSize) {
      content_ = file.ReadAt(offset, size);
    } else if (id == "MDPR" && streams_.size() < kMaxStreams) {
      RealMediaStream stream;
      if (ReadStreamHeader(file.ReadAt(offset, std::min(size, kMaxStreamHeaderSize)), stream)) {
        streams_.push_back(std::move(stream));
      }
    }
    offset += size;
  }
  return false;
}

void RealMediaLayout::ReadDataChain(const BoundedFile& file, uint64_t at) {
  for (int chunks = 0; chunks < kMaxDataChunks; ++chunks) {
    const std::string header = file.ReadAt(at, kDataHeaderSize);
    if (header.size() < kDataHeaderSize || header.compare(0, 4, "DATA") != 0) return;
    const uint32_t size = BE(header, 4, 4);
    const uint64_t next = BE(header, 14, 4);
    RealMediaDataChunk chunk{at + kDataHeaderSize, file.Size()};
    if (size >= kDataHeaderSize) chunk.end = std::min<uint64_t>(chunk.end, at + size);
    // Only a later chunk that lies inside the file is followed, so the chain can neither loop nor
    // point backwards.
    const bool follow = next >= chunk.begin && next < file.Size();
    if (follow) chunk.end = std::min(chunk.end, next);
    data_.push_back(chunk);
    if (!follow) return;
    at = next;
  }
}

void RealMediaLayout::CountPackets(const BoundedFile& file) {
  RealMediaPacketWalker walker(file, data_);
  RealMediaPacket packet;
  while (walker.Next(packet)) {
    const int index = StreamIndex(packet.stream);
    if (index < 0) continue;  // a stream no header declares: skipped
    RealMediaStream& stream = streams_[static_cast<std::size_t>(index)];
    ++stream.packets;
    stream.payloadBytes += packet.length - packet.HeaderSize();
    stream.lastTimestamp = std::max(stream.lastTimestamp, packet.timestamp);
  }
}

int RealMediaLayout::StreamIndex(uint16_t number) const {
  for (std::size_t k = 0; k < streams_.size(); ++k) {
    if (streams_[k].number == number) return static_cast<int>(k);
  }
  return -1;
}

bool RealMediaLayout::IsMultiRate() const {
  return std::any_of(streams_.begin(), streams_.end(),
                     [](const RealMediaStream& stream) { return stream.mime == kPhysicalMime; });
}

bool RealMediaLayout::NamesMultiRate(const BoundedFile& file) {
  // Stream headers come first in the file; this much holds them in any real file.
  constexpr std::size_t kHeaderSpan = 256 * 1024;
  if (file.ReadAt(0, 4) != ".RMF") return false;
  return file.ReadAt(0, kHeaderSpan).find(kPhysicalMime) != std::string::npos;
}

std::vector<std::size_t> RealMediaLayout::Candidates() const {
  std::vector<std::size_t> result;
  for (std::size_t k = 0; k < streams_.size(); ++k) {
    const RealMediaStream& stream = streams_[k];
    if (stream.mime != kPhysicalMime || stream.packets == 0 || stream.sampleRate == 0 ||
        stream.channels == 0) {
      continue;
    }
    // A second header for the same stream number would make its packets ambiguous.
    if (StreamIndex(stream.number) != static_cast<int>(k)) continue;
    const AVCodecID codec = CodecOf(stream.fourcc);
    if (codec == AV_CODEC_ID_NONE || !avcodec_find_decoder(codec)) continue;
    result.push_back(k);
  }
  std::stable_sort(result.begin(), result.end(), [this](std::size_t a, std::size_t b) {
    return streams_[a].avgBitrate > streams_[b].avgBitrate;
  });
  return result;
}
