#include "RealMediaLayout.h"

#include <algorithm>
#include <cmath>
#include <string_view>

#include "ByteReader.h"
#include "RealMediaFormat.h"

extern "C" {
#include <libavcodec/avcodec.h>
}

using namespace realmedia;

namespace {

// How far past a damaged packet header the next plausible one is looked for: further than the
// longest packet, so one damaged header never ends the search before the next packet.
constexpr uint64_t kResyncSpan = 2 * 65536;
// A run of other data longer than this before a stream's next packet is remembered as a jump, so
// that reading the stream never walks it; larger files may have a few more of them, never more than
// about a thousand a stream.
constexpr uint64_t kMinJumpGap = 1 << 20;
constexpr uint64_t kJumpsPerStream = 1024;
// A packet timestamp further than this beyond both its neighbours is damage, not the playing time.
constexpr uint64_t kFarTimestampMs = 60 * 1000;
constexpr uint8_t kKeyframe = 2;  // header version 0: the packet starts an interleaving block
// How many packet headers are walked between two questions whether to stop.
constexpr uint64_t kHeadersPerStopCheck = 1 << 16;

// RealAudio is encoded at one of the usual rates and with at most 5.1 channels; a header that says
// otherwise is damaged, and its stream would decode to noise.
constexpr uint16_t kMaxChannels = 6;
bool RealSampleRate(uint32_t rate) {
  static const uint32_t kRates[] = {8000,  11025, 12000, 16000, 22050, 24000,
                                    32000, 44100, 48000, 88200, 96000};
  return std::find(std::begin(kRates), std::end(kRates), rate) != std::end(kRates);
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
  const uint32_t version = RealMediaBE(ra, 4, 2);
  if (version == 3) {
    stream.fourcc = "lpcJ";
    stream.sampleRate = 8000;
    stream.channels = 1;
    return;
  }
  if (ra.size() >= 42) stream.blockPackets = static_cast<uint16_t>(RealMediaBE(ra, 40, 2));
  if (version == 5 && ra.size() >= 70) {
    stream.sampleRate = RealMediaBE(ra, 54, 2);
    stream.channels = static_cast<uint16_t>(RealMediaBE(ra, 60, 2));
    stream.interleaver.assign(ra.substr(62, 4));
    stream.fourcc.assign(ra.substr(66, 4));
  } else if (version == 4 && ra.size() >= 57) {
    stream.sampleRate = RealMediaBE(ra, 48, 2);
    stream.channels = static_cast<uint16_t>(RealMediaBE(ra, 54, 2));
    ByteReader reader(ra);
    if (reader.Skip(56) && ReadText8(reader, stream.interleaver)) ReadText8(reader, stream.fourcc);
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
  // Only a physical stream is ever presented, and only its header is needed again.
  if (stream.mime == kMultiRateMime) {
    stream.specific.assign(specific);
    ReadRealAudioHeader(stream);
  }
  return true;
}

// What the walk keeps of each stream until its next packet comes.
struct StreamTrack {
  RealMediaPacketWalker::State after;  // where the walker stood after the stream's last packet
  uint64_t walkedAfter = 0;
  bool holding = false;  // a timestamp waits for its next neighbour to be judged
  uint32_t held = 0;
  bool timed = false;  // a timestamp has been taken
};

// Takes the held timestamp into the stream's span unless it lies far beyond the last one taken (0
// before any) and beyond the next one, when there is a next.
void JudgeHeldTimestamp(StreamTrack& track, RealMediaStream& stream, const uint32_t* next) {
  if (!track.holding) return;
  track.holding = false;
  const uint64_t held = track.held;
  const uint64_t previous = track.timed ? stream.lastTimestamp : 0;
  const bool far = held > previous + kFarTimestampMs && (!next || held > uint64_t{*next} + kFarTimestampMs);
  if (far) return;
  stream.firstTimestamp = track.timed ? std::min(stream.firstTimestamp, track.held) : track.held;
  stream.lastTimestamp = track.timed ? std::max(stream.lastTimestamp, track.held) : track.held;
  track.timed = true;
}

}  // namespace

uint32_t RealMediaPacket::HeaderSize() const {
  return version == 0 ? kPacketHeaderSize0 : kPacketHeaderSize1;
}

RealMediaPacketWalker::RealMediaPacketWalker(const BoundedFile& file, const RealMediaLayout& layout)
    : layout_(layout), window_(file) {}

RealMediaPacketWalker::Header RealMediaPacketWalker::Parse(const RealMediaDataChunk& chunk, uint64_t at,
                                                           RealMediaPacket& packet) {
  if (at >= chunk.end) return Header::End;
  const std::string_view bytes =
      window_.At(at, static_cast<std::size_t>(std::min<uint64_t>(kPacketHeaderSize1, chunk.end - at)));
  if (bytes.size() < 4) return Header::Unsound;
  packet.at = at;
  packet.version = static_cast<uint16_t>(RealMediaBE(bytes, 0, 2));
  packet.length = static_cast<uint16_t>(RealMediaBE(bytes, 2, 2));
  if (packet.version > kMaxPacketVersion) return Header::Unsound;
  const uint32_t size = packet.HeaderSize();
  if (bytes.size() < size || packet.length < size || packet.length > chunk.end - at) return Header::Unsound;
  packet.stream = static_cast<uint16_t>(RealMediaBE(bytes, 4, 2));
  packet.timestamp = RealMediaBE(bytes, 6, 4);
  if (packet.version == 0) {
    packet.rule = 0;
    packet.flags = static_cast<uint8_t>(bytes[11]);
  } else {
    packet.rule = static_cast<uint16_t>(RealMediaBE(bytes, 10, 2));
    packet.flags = static_cast<uint8_t>(bytes[12]);
  }
  return packet.length == size ? Header::Empty : Header::Sound;
}

bool RealMediaPacketWalker::Plausible(const RealMediaDataChunk& chunk, uint64_t at) {
  RealMediaPacket packet;
  const Header header = Parse(chunk, at, packet);
  if (header != Header::Sound && header != Header::Empty) return false;
  if (!layout_.Declares(packet.stream)) return false;
  // The header after it must be plausible too, or the chunk must end there: a chance match inside a
  // payload almost never passes both.
  const uint64_t next = at + packet.length;
  if (next == chunk.end) return true;
  RealMediaPacket following;
  const Header after = Parse(chunk, next, following);
  return (after == Header::Sound || after == Header::Empty) && layout_.Declares(following.stream);
}

bool RealMediaPacketWalker::Resynchronise(const RealMediaDataChunk& chunk, uint64_t from, uint64_t limit) {
  limit = std::min(limit, chunk.end);
  for (uint64_t at = from; at < limit; ++at) {
    if (Plausible(chunk, at)) {
      walked_ += at - state_.at;
      state_.at = at;
      return true;
    }
  }
  return false;
}

bool RealMediaPacketWalker::SoundAt(const RealMediaDataChunk& chunk, uint64_t at) {
  RealMediaPacket packet;
  const Header header = Parse(chunk, at, packet);
  return header == Header::End || header == Header::Sound || header == Header::Empty;
}

bool RealMediaPacketWalker::Next(RealMediaPacket& packet) {
  const std::vector<RealMediaDataChunk>& chunks = layout_.Data();
  while (state_.chunk < chunks.size()) {
    if (stop_ && ++sinceStopCheck_ >= kHeadersPerStopCheck) {
      sinceStopCheck_ = 0;
      if ((*stop_)()) return false;
    }
    const RealMediaDataChunk& chunk = chunks[state_.chunk];
    state_.at = std::max(state_.at, chunk.begin);
    const Header header = Parse(chunk, state_.at, packet);
    if (header == Header::End ||
        (header == Header::Unsound && !Resynchronise(chunk, state_.at + 1, state_.at + kResyncSpan))) {
      // Nothing more of this chunk can be stepped through: go on with the next one.
      walked_ += chunk.end > state_.at ? chunk.end - state_.at : 0;
      ++state_.chunk;
      state_.at = 0;
      continue;
    }
    if (header == Header::Unsound) continue;  // resynchronised: the header there is read next
    const uint64_t end = state_.at + packet.length;
    // No sound header where this packet ends, but a plausible one inside it: its length is the damage.
    if (!SoundAt(chunk, end) && Resynchronise(chunk, state_.at + 1, end)) continue;
    state_.at = end;
    walked_ += packet.length;
    if (header == Header::Sound) return true;
  }
  return false;
}

bool PayloadFits(const RealMediaStream& stream, RealMediaPacketWalker& walker,
                 const RealMediaPacket& packet) {
  if (stream.interleaver != "vbrf" && stream.interleaver != "vbrs") return true;
  constexpr std::size_t kMaxUnits = 15;
  const uint32_t payload = packet.PayloadSize();
  const std::string_view table = walker.Window().At(packet.at + packet.HeaderSize(), 2 + 2 * kMaxUnits);
  if (table.size() < 2) return false;
  // The table's length in bits, 16 for each unit, then the units' lengths.
  const uint32_t bits = RealMediaBE(table, 0, 2);
  const std::size_t units = bits / 16;
  if (bits % 16 != 0 || units == 0 || units > kMaxUnits || table.size() < 2 + 2 * units) return false;
  uint64_t total = 2 + 2 * units;
  for (std::size_t k = 0; k < units; ++k) total += RealMediaBE(table, 2 + 2 * k, 2);
  return total == payload;
}

bool RealMediaLayout::Read(const BoundedFile& file, const std::function<bool()>& stop) {
  *this = RealMediaLayout();
  uint64_t firstData = 0;
  if (!ReadHeaderChunks(file, firstData)) return false;
  ReadDataChain(file, firstData);
  if (IsMultiRate()) WalkPackets(file, stop);
  return true;
}

bool RealMediaLayout::ReadHeaderChunks(const BoundedFile& file, uint64_t& firstData) {
  RealMediaHeaderWalker walker(file);
  RealMediaChunk chunk;
  while (walker.Next(chunk)) {
    if (!chunk.whole) return false;
    if (chunk.id == "PROP" && chunk.size >= kPropSize) {
      const RealMediaProperties properties = ReadProperties(walker.Bytes(chunk, kPropSize));
      propDuration_ = properties.duration;
      propPreroll_ = properties.preroll;
      propFlags_ = properties.flags;
    } else if (chunk.id == "CONT" && chunk.size <= kMaxContSize && !hasContent_) {
      content_ = ReadContent(walker.Bytes(chunk, kMaxContSize));
      hasContent_ = true;
    } else if (chunk.id == "MDPR" && streams_.size() < kMaxStreams) {
      RealMediaStream stream;
      if (ReadStreamHeader(walker.Bytes(chunk, kMaxStreamHeaderSize), stream)) {
        if (indexOf_[stream.number] < 0) indexOf_[stream.number] = static_cast<int16_t>(streams_.size());
        streams_.push_back(std::move(stream));
      }
    }
  }
  if (!walker.ReachedData()) return false;
  firstData = walker.DataOffset();
  return true;
}

void RealMediaLayout::ReadDataChain(const BoundedFile& file, uint64_t at) {
  for (int chunks = 0; chunks < kMaxDataChunks; ++chunks) {
    const std::string header = file.ReadAt(at, kDataHeaderSize);
    if (header.size() < kDataHeaderSize || header.compare(0, 4, "DATA") != 0) return;
    const uint32_t size = RealMediaBE(header, 4, 4);
    const uint64_t next = RealMediaBE(header, 14, 4);
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

void RealMediaLayout::WalkPackets(const BoundedFile& file, const std::function<bool()>& stop) {
  RealMediaPacketWalker walker(file, *this);
  if (stop) walker.StopWhen(&stop);
  const uint64_t jumpGap = std::max(kMinJumpGap, file.Size() / kJumpsPerStream);
  std::vector<StreamTrack> tracks(streams_.size());
  for (StreamTrack& track : tracks) track.after = walker.Save();
  RealMediaPacket packet;
  while (walker.Next(packet)) {
    const int index = StreamIndex(packet.stream);
    if (index < 0) continue;  // a stream no header declares: skipped
    RealMediaStream& stream = streams_[static_cast<std::size_t>(index)];
    if (!PayloadFits(stream, walker, packet)) continue;
    StreamTrack& track = tracks[static_cast<std::size_t>(index)];
    const uint64_t gap = walker.Walked() - packet.length - track.walkedAfter;
    if (gap > jumpGap) stream.jumps.push_back({track.after, {walker.Save().chunk, packet.at}});
    track.after = walker.Save();
    track.walkedAfter = walker.Walked();
    ++stream.packets;
    if (packet.version == 0 ? (packet.flags & kKeyframe) != 0 : (packet.rule & 1) == 0) ++stream.blockStarts;
    stream.payloadBytes += packet.PayloadSize();
    JudgeHeldTimestamp(track, stream, &packet.timestamp);
    track.holding = true;
    track.held = packet.timestamp;
  }
  for (std::size_t k = 0; k < streams_.size(); ++k) JudgeHeldTimestamp(tracks[k], streams_[k], nullptr);
}

int RealMediaLayout::StreamIndex(uint16_t number) const { return indexOf_[number]; }

bool RealMediaLayout::IsMultiRate() const {
  return std::any_of(streams_.begin(), streams_.end(),
                     [](const RealMediaStream& stream) { return stream.mime == kMultiRateMime; });
}

bool RealMediaLayout::NamesMultiRate(const BoundedFile& file) {
  // Stream headers come first in the file; this much holds them in any real file.
  constexpr std::size_t kHeaderSpan = 256 * 1024;
  if (file.ReadAt(0, 4) != ".RMF") return false;
  return file.ReadAt(0, kHeaderSpan).find(kMultiRateMime) != std::string::npos;
}

bool RealMediaLayout::Covers(const RealMediaStream& stream, const RealMediaStream& longest) const {
  // Its packets reach three quarters of the way (a stream that stamps every packet 0 says nothing of
  // that), and there are not far fewer of them than the longest stream has: a lower bitrate has
  // fewer packets, but never sixteen times fewer.
  const bool reaches =
      stream.lastTimestamp == 0 || uint64_t{stream.lastTimestamp} * 4 >= uint64_t{longest.lastTimestamp} * 3;
  return reaches && stream.packets * 16 >= longest.packets;
}

std::vector<std::size_t> RealMediaLayout::Candidates() const {
  std::vector<std::size_t> result;
  const RealMediaStream* longest = nullptr;
  for (std::size_t k = 0; k < streams_.size(); ++k) {
    const RealMediaStream& stream = streams_[k];
    if (stream.mime != kMultiRateMime || stream.packets == 0 || !RealSampleRate(stream.sampleRate) ||
        stream.channels == 0 || stream.channels > kMaxChannels) {
      continue;
    }
    // Two headers for one stream number make its packets ambiguous: neither says which codec they are.
    const auto same = [&stream](const RealMediaStream& other) { return other.number == stream.number; };
    if (std::count_if(streams_.begin(), streams_.end(), same) > 1) continue;
    // The packets mark where the interleaving blocks start: a header whose block height disagrees
    // with them is damaged, and its stream would be put together into noise.
    if (stream.blockStarts > 0 && std::llround(double(stream.packets) / double(stream.blockStarts)) !=
                                      std::max<int>(stream.blockPackets, 1)) {
      continue;
    }
    const AVCodecID codec = CodecOf(stream.fourcc);
    if (codec == AV_CODEC_ID_NONE || !avcodec_find_decoder(codec)) continue;
    result.push_back(k);
    if (!longest || stream.lastTimestamp > longest->lastTimestamp ||
        (stream.lastTimestamp == longest->lastTimestamp && stream.packets > longest->packets)) {
      longest = &stream;
    }
  }
  result.erase(std::remove_if(result.begin(), result.end(),
                              [&](std::size_t k) { return !Covers(streams_[k], *longest); }),
               result.end());
  std::stable_sort(result.begin(), result.end(), [this](std::size_t a, std::size_t b) {
    return streams_[a].avgBitrate > streams_[b].avgBitrate;
  });
  return result;
}
