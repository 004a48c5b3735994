#include "RealMediaLayout.h"

#include <algorithm>
#include <cmath>
#include <string_view>

#include "ByteReader.h"
#include "RealMediaFormat.h"
#include "StreamCursor.h"

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
// How many packet headers, and bytes searched for one, are walked between two questions whether to stop.
constexpr uint64_t kHeadersPerStopCheck = 1 << 16;
constexpr uint64_t kScanPerStopCheck = 1 << 16;
// A jump of the timestamps is believed once this many packets after it agree with it.
constexpr std::size_t kJumpConfirmations = 8;
// A stream ends "with the others" when it reaches within this of the furthest (2 s or 2 %).
constexpr uint32_t kWholeSlackMs = 2000;
constexpr uint32_t kWholeSlackPercent = 2;
// Packets of a number no header declares before that number is taken for a damaged header's.
constexpr uint64_t kOrphanPackets = 16;
constexpr std::size_t kMaxOrphanNumbers = 8;  // more than this many is noise, not a renumbered header

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
  const uint32_t codedFrame = ra.size() >= 28 ? RealMediaBE(ra, 24, 4) : 0;
  const uint32_t frame = ra.size() >= 44 ? RealMediaBE(ra, 42, 2) : 0;
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
  // The block interleavers take every packet whole into a block of a fixed shape.
  if (stream.interleaver == "genr" || stream.interleaver == "sipr") {
    stream.packetPayload = frame;
  } else if (stream.interleaver == "Int4") {
    stream.packetPayload = std::min<uint32_t>(codedFrame, 0xFFFF) * (stream.blockPackets / 2);
  }
  if (stream.packetPayload > 0xFFFF) stream.packetPayload = 0;
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
  StreamCursor cursor;
  uint64_t taken = 0;          // timestamps taken into the span
  uint32_t recent = 0;         // the last one taken
  std::vector<uint32_t> jump;  // timestamps far from the span, near each other: a jump not yet believed
};

bool Near(uint32_t a, uint32_t b) { return (a > b ? a - b : b - a) <= kFarTimestampMs; }

void Take(StreamTrack& track, RealMediaStream& stream, uint32_t timestamp) {
  stream.firstTimestamp = track.taken ? std::min(stream.firstTimestamp, timestamp) : timestamp;
  stream.lastTimestamp = track.taken ? std::max(stream.lastTimestamp, timestamp) : timestamp;
  track.recent = timestamp;
  ++track.taken;
}

// Takes a timestamp into the stream's span when it lies near the last one taken; one far from it is
// believed only when enough packets after it agree, and then it is what came before that was damage
// if that was only a few packets.
void JudgeTimestamp(StreamTrack& track, RealMediaStream& stream, uint32_t timestamp) {
  if (track.taken == 0 || Near(timestamp, track.recent)) {
    track.jump.clear();
    Take(track, stream, timestamp);
    return;
  }
  if (track.jump.empty() || !Near(timestamp, track.jump.back())) {
    track.jump.assign(1, timestamp);
    return;
  }
  track.jump.push_back(timestamp);
  if (track.jump.size() < kJumpConfirmations) return;
  if (track.taken < kJumpConfirmations) track.taken = 0;
  for (const uint32_t confirmed : track.jump) Take(track, stream, confirmed);
  track.jump.clear();
}

}  // namespace

uint32_t RealMediaPacket::HeaderSize() const {
  return version == 0 ? kPacketHeaderSize0 : kPacketHeaderSize1;
}

RealMediaPacketWalker::RealMediaPacketWalker(const BoundedFile& file, const RealMediaLayout& layout)
    : layout_(layout), file_(file), window_(file) {}

std::string_view RealMediaPacketWalker::Bytes(uint64_t at, std::size_t count) {
  if (at >= aheadAt_ && at - aheadAt_ < ahead_.size()) {
    const std::size_t from = static_cast<std::size_t>(at - aheadAt_);
    return std::string_view(ahead_).substr(from, std::min(count, ahead_.size() - from));
  }
  return window_.At(at, count);
}

bool RealMediaPacketWalker::Stopped() {
  if (!stopped_ && stop_ && (*stop_)()) stopped_ = true;
  return stopped_;
}

RealMediaPacketWalker::Header RealMediaPacketWalker::Parse(const RealMediaDataChunk& chunk, uint64_t at,
                                                           RealMediaPacket& packet) {
  if (at >= chunk.end) return Header::End;
  const std::string_view bytes =
      Bytes(at, static_cast<std::size_t>(std::min<uint64_t>(kPacketHeaderSize1, chunk.end - at)));
  packet = RealMediaPacket();
  packet.at = at;
  packet.version = kMaxPacketVersion + 1;  // until the whole header has been read
  if (bytes.size() < 4) return Header::Unsound;
  packet.version = static_cast<uint16_t>(RealMediaBE(bytes, 0, 2));
  packet.length = static_cast<uint16_t>(RealMediaBE(bytes, 2, 2));
  if (packet.version > kMaxPacketVersion) return Header::Unsound;
  const uint32_t size = packet.HeaderSize();
  if (bytes.size() < size) {
    packet.version = kMaxPacketVersion + 1;
    return Header::Unsound;
  }
  packet.stream = static_cast<uint16_t>(RealMediaBE(bytes, 4, 2));
  packet.timestamp = RealMediaBE(bytes, 6, 4);
  if (packet.version == 0) {
    packet.rule = 0;
    packet.flags = static_cast<uint8_t>(bytes[11]);
  } else {
    packet.rule = static_cast<uint16_t>(RealMediaBE(bytes, 10, 2));
    packet.flags = static_cast<uint8_t>(bytes[12]);
  }
  if (packet.length < size || packet.length > chunk.end - at) return Header::Unsound;
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

bool RealMediaPacketWalker::KeepsItsSize(const RealMediaDataChunk& chunk, RealMediaPacket& packet) {
  const int index = layout_.StreamIndex(packet.stream);
  if (index < 0 || packet.version > kMaxPacketVersion) return false;
  const uint32_t payload = layout_.Streams()[static_cast<std::size_t>(index)].packetPayload;
  const uint64_t length = packet.HeaderSize() + uint64_t{payload};
  if (payload == 0 || packet.length == length || length > chunk.end - packet.at) return false;
  const uint64_t next = packet.at + length;
  if (next != chunk.end && !Plausible(chunk, next)) return false;
  packet.length = static_cast<uint16_t>(length);
  return true;
}

bool RealMediaPacketWalker::Resynchronise(const RealMediaDataChunk& chunk, uint64_t from, uint64_t limit) {
  limit = std::min(limit, chunk.end);
  if (from >= limit) return false;
  // Everything the search can look at (a header in [from, limit) and the one its length leads to),
  // read once rather than through the window, which a look far ahead and back would refill each time.
  const uint64_t reach = std::min(chunk.end, limit + 0xFFFF + kPacketHeaderSize1);
  ahead_.resize(static_cast<std::size_t>(reach - from));
  ahead_.resize(file_.ReadInto(from, &ahead_[0], ahead_.size()));
  aheadAt_ = from;
  bool found = false;
  for (uint64_t at = from; at < limit && !found; ++at) {
    if (stop_ && ++scannedSinceStopCheck_ >= kScanPerStopCheck) {
      scannedSinceStopCheck_ = 0;
      if (Stopped()) break;
    }
    if (Plausible(chunk, at)) {
      walked_ += at - state_.at;
      state_.at = at;
      found = true;
    }
  }
  ahead_.clear();
  aheadAt_ = 0;
  return found;
}

bool RealMediaPacketWalker::SoundAt(const RealMediaDataChunk& chunk, uint64_t at) {
  RealMediaPacket packet;
  const Header header = Parse(chunk, at, packet);
  return header == Header::End || header == Header::Sound || header == Header::Empty;
}

bool RealMediaPacketWalker::Next(RealMediaPacket& packet) {
  const std::vector<RealMediaDataChunk>& chunks = layout_.Data();
  while (state_.chunk < chunks.size() && !stopped_) {
    if (stop_ && ++sinceStopCheck_ >= kHeadersPerStopCheck) {
      sinceStopCheck_ = 0;
      if (Stopped()) return false;
    }
    const RealMediaDataChunk& chunk = chunks[state_.chunk];
    state_.at = std::max(state_.at, chunk.begin);
    Header header = Parse(chunk, state_.at, packet);
    uint64_t end = state_.at + packet.length;
    if (header != Header::End && (header == Header::Unsound || !SoundAt(chunk, end)) &&
        KeepsItsSize(chunk, packet)) {
      header = Header::Sound;  // only its length was damaged
    } else if (header == Header::End ||
               (header == Header::Unsound && !Resynchronise(chunk, state_.at + 1, state_.at + kResyncSpan))) {
      if (stopped_) return false;
      // Nothing more of this chunk can be stepped through: go on with the next one.
      walked_ += chunk.end > state_.at ? chunk.end - state_.at : 0;
      ++state_.chunk;
      state_.at = 0;
      continue;
    } else if (header == Header::Unsound) {
      continue;  // resynchronised: the header there is read next
    } else if (!SoundAt(chunk, end) && Resynchronise(chunk, state_.at + 1, end)) {
      // No sound header where this packet ends, but a plausible one inside it: its length is the damage.
      continue;
    }
    if (stopped_) return false;
    end = state_.at + packet.length;
    state_.at = end;
    walked_ += packet.length;
    if (header == Header::Sound) return true;
  }
  return false;
}

bool PayloadFits(const RealMediaStream& stream, RealMediaPacketWalker& walker,
                 const RealMediaPacket& packet) {
  const uint32_t payload = packet.PayloadSize();
  if (stream.packetPayload > 0) return payload == stream.packetPayload;
  if (stream.interleaver != "vbrf" && stream.interleaver != "vbrs") return true;
  constexpr std::size_t kMaxUnits = 15;
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
  if (!IsMultiRate()) return true;
  const std::vector<RealMediaStream> unwalked = streams_;
  const std::vector<uint16_t> orphans = WalkPackets(file, stop);
  if (Renumber(orphans)) {
    // Walked again with the repaired number, so that its packets are that stream's.
    const std::vector<uint16_t> numbers = Numbers();
    streams_ = unwalked;
    for (std::size_t k = 0; k < streams_.size(); ++k) streams_[k].number = numbers[k];
    IndexNumbers();
    WalkPackets(file, stop);
  }
  return true;
}

std::vector<uint16_t> RealMediaLayout::Numbers() const {
  std::vector<uint16_t> numbers;
  for (const RealMediaStream& stream : streams_) numbers.push_back(stream.number);
  return numbers;
}

bool RealMediaLayout::Renumber(const std::vector<uint16_t>& orphans) {
  if (orphans.size() != 1) return false;
  // The physical streams are numbered in the order of their headers: of the headers whose number
  // another header also declares, or whose number no packet carries, the one that the orphaned
  // number puts in that order is the damaged one; none or several, and nothing is changed.
  const auto lost = [this](std::size_t k) {
    return streams_[k].packets == 0 || StreamIndex(streams_[k].number) != static_cast<int>(k) ||
           nextOfNumber_[k] >= 0;
  };
  const auto ordered = [this](const std::vector<uint16_t>& numbers) {
    int last = -1;
    for (std::size_t k = 0; k < streams_.size(); ++k) {
      if (streams_[k].mime != kMultiRateMime) continue;
      if (int{numbers[k]} <= last) return false;
      last = numbers[k];
    }
    return true;
  };
  int found = -1;
  for (std::size_t k = 0; k < streams_.size(); ++k) {
    if (streams_[k].mime != kMultiRateMime || !lost(k)) continue;
    std::vector<uint16_t> numbers = Numbers();
    numbers[k] = orphans.front();
    if (!ordered(numbers)) continue;
    if (found >= 0) return false;
    found = static_cast<int>(k);
  }
  if (found < 0) return false;
  streams_[static_cast<std::size_t>(found)].number = orphans.front();
  return true;
}

bool RealMediaLayout::ReadHeaderChunks(const BoundedFile& file, uint64_t& firstData) {
  RealMediaHeaderWalker walker(file);
  RealMediaChunk chunk;
  while (walker.Next(chunk)) {
    if (!chunk.whole) return false;
    if (chunk.repaired) {
      std::string size(4, '\0');
      for (int k = 0; k < 4; ++k)
        size[static_cast<std::size_t>(k)] = static_cast<char>(chunk.size >> (24 - 8 * k));
      patches_.push_back({chunk.offset + 4, size});
    }
    if (chunk.id == "PROP" && chunk.size >= kPropSize) {
      const RealMediaProperties properties = ReadProperties(walker.Bytes(chunk, kPropSize));
      propDuration_ = properties.duration;
      propPreroll_ = properties.preroll;
      propFlags_ = properties.flags;
    } else if (chunk.id == "CONT" && chunk.size <= kMaxContSize && !hasContent_) {
      content_ = ReadContent(walker.Bytes(chunk, kMaxContSize));
      hasContent_ = true;
      const std::string body = content_.repaired ? ContentBody(content_, chunk.size - kChunkHeaderSize) : "";
      if (!body.empty()) patches_.push_back({chunk.offset + kChunkHeaderSize, body});
    } else if (chunk.id == "MDPR" && streams_.size() < kMaxStreams) {
      RealMediaStream stream;
      if (ReadStreamHeader(walker.Bytes(chunk, kMaxStreamHeaderSize), stream)) {
        streams_.push_back(std::move(stream));
      }
    }
  }
  if (!walker.ReachedData()) return false;
  firstData = walker.DataOffset();
  IndexNumbers();
  return true;
}

void RealMediaLayout::IndexNumbers() {
  // Which header comes first for each number, and the next of the same number after each.
  indexOf_.clear();
  nextOfNumber_.assign(streams_.size(), -1);
  for (std::size_t k = streams_.size(); k-- > 0;) {
    const uint16_t number = streams_[k].number;
    const auto it = std::lower_bound(indexOf_.begin(), indexOf_.end(), std::make_pair(number, int16_t{-1}));
    if (it != indexOf_.end() && it->first == number) {
      nextOfNumber_[k] = it->second;
      it->second = static_cast<int16_t>(k);
    } else {
      indexOf_.insert(it, {number, static_cast<int16_t>(k)});
    }
  }
}

void RealMediaLayout::ReadDataChain(const BoundedFile& file, uint64_t at) {
  const auto isData = [&file](uint64_t offset) { return file.ReadAt(offset, 4) == "DATA"; };
  for (int chunks = 0; chunks < kMaxDataChunks; ++chunks) {
    const std::string header = file.ReadAt(at, kDataHeaderSize);
    if (header.size() < kDataHeaderSize || header.compare(0, 4, "DATA") != 0) return;
    const uint32_t size = RealMediaBE(header, 4, 4);
    uint64_t next = RealMediaBE(header, 14, 4);
    RealMediaDataChunk chunk{at + kDataHeaderSize, file.Size()};
    const bool sized = size >= kDataHeaderSize;
    if (sized) {
      chunk.end = std::min<uint64_t>(chunk.end, at + size);
      declaredDataBytes_ += size;
      truncated_ = truncated_ || at + size > file.Size();
    }
    // Only a DATA header beyond this one is followed, so the chain can neither loop nor point
    // backwards; a pointer to anything else is damage, and a DATA chunk right where this one ends
    // is taken to follow.
    if (next <= at || next >= file.Size() || !isData(next)) next = sized && isData(at + size) ? at + size : 0;
    if (next > 0) chunk.end = std::min(chunk.end, next);
    data_.push_back(chunk);
    if (next == 0) return;
    at = next;
  }
}

std::vector<uint16_t> RealMediaLayout::WalkPackets(const BoundedFile& file,
                                                   const std::function<bool()>& stop) {
  RealMediaPacketWalker walker(file, *this);
  if (stop) walker.StopWhen(&stop);
  const uint64_t jumpGap = std::max(kMinJumpGap, file.Size() / kJumpsPerStream);
  std::vector<StreamTrack> tracks(streams_.size());
  for (std::size_t k = 0; k < streams_.size(); ++k) {
    tracks[k].after = walker.Save();
    tracks[k].cursor = StreamCursor(streams_[k]);
  }
  // The numbers no header declares, with their packet counts (a few of them).
  std::vector<std::pair<uint16_t, uint64_t>> undeclared;
  RealMediaPacket packet;
  while (walker.Next(packet)) {
    const int index = Owner(walker, packet);
    if (index < 0 && !Declares(packet.stream)) {
      auto it = std::find_if(undeclared.begin(), undeclared.end(),
                             [&packet](const auto& seen) { return seen.first == packet.stream; });
      if (it != undeclared.end()) {
        ++it->second;
      } else if (undeclared.size() < kMaxOrphanNumbers) {
        undeclared.push_back({packet.stream, 1});
      }
    }
    if (index < 0) continue;  // a stream no header declares, or a packet of a shape none takes
    RealMediaStream& stream = streams_[static_cast<std::size_t>(index)];
    StreamTrack& track = tracks[static_cast<std::size_t>(index)];
    uint32_t fill = 0;
    if (!track.cursor.Take(walker, packet, fill)) continue;
    const uint64_t gap = walker.Walked() - packet.length - track.walkedAfter;
    if (gap > jumpGap) stream.jumps.push_back({track.after, {walker.Save().chunk, packet.at}});
    track.after = walker.Save();
    track.walkedAfter = walker.Walked();
    ++stream.packets;
    stream.fillPackets += fill;
    if (packet.version == 0 ? (packet.flags & kKeyframe) != 0 : (packet.rule & 1) == 0) ++stream.blockStarts;
    stream.payloadBytes += packet.PayloadSize();
    JudgeTimestamp(track, stream, packet.timestamp);
  }
  for (std::size_t k = 0; k < streams_.size(); ++k) streams_[k].fillPackets += tracks[k].cursor.FillAtEnd();
  // A number that many packets carry is a stream whose header's number was damaged; a few are damage
  // of the packets' own.
  uint64_t most = 0;
  for (const RealMediaStream& stream : streams_) most = std::max(most, stream.packets);
  std::vector<uint16_t> orphans;
  for (const auto& seen : undeclared)
    if (seen.second >= kOrphanPackets && seen.second * 16 >= most) orphans.push_back(seen.first);
  return orphans;
}

int RealMediaLayout::StreamIndex(uint16_t number) const {
  const auto it = std::lower_bound(indexOf_.begin(), indexOf_.end(), std::make_pair(number, int16_t{-1}));
  return it != indexOf_.end() && it->first == number ? it->second : -1;
}

int RealMediaLayout::Owner(RealMediaPacketWalker& walker, const RealMediaPacket& packet) const {
  for (int index = StreamIndex(packet.stream); index >= 0;
       index = nextOfNumber_[static_cast<std::size_t>(index)]) {
    if (PayloadFits(streams_[static_cast<std::size_t>(index)], walker, packet)) return index;
  }
  return -1;
}

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

namespace {

// A physical stream whose header this FFmpeg could decode, whatever its packets.
bool DecodableHeader(const RealMediaStream& stream) {
  if (stream.mime != kMultiRateMime || !RealSampleRate(stream.sampleRate) || stream.channels == 0 ||
      stream.channels > kMaxChannels) {
    return false;
  }
  const AVCodecID codec = CodecOf(stream.fourcc);
  return codec != AV_CODEC_ID_NONE && avcodec_find_decoder(codec) != nullptr;
}

}  // namespace

std::vector<std::size_t> RealMediaLayout::Decodable() const {
  std::vector<std::size_t> result;
  for (std::size_t k = 0; k < streams_.size(); ++k) {
    const RealMediaStream& stream = streams_[k];
    if (stream.packets == 0 || !DecodableHeader(stream)) continue;
    // The packets mark where the interleaving blocks start: a header whose block height disagrees
    // with them is damaged, and its stream would be put together into noise. The first and last
    // blocks may be short (a cut, a damaged packet), so a sixteenth either way is allowed.
    const uint64_t height = std::max<uint64_t>(stream.blockPackets, 1);
    const uint64_t packets = stream.packets + stream.fillPackets, starts = stream.blockStarts;
    if (starts > 0 &&
        (packets * 16 > (starts + 1) * height * 17 || packets * 16 + 16 * height < starts * height * 15)) {
      continue;
    }
    result.push_back(k);
  }
  // A lower bitrate has fewer packets, but never sixteen times fewer than the stream with the most.
  uint64_t most = 0;
  for (const std::size_t k : result) most = std::max(most, streams_[k].packets);
  result.erase(std::remove_if(result.begin(), result.end(),
                              [&](std::size_t k) { return streams_[k].packets * 16 < most; }),
               result.end());
  return result;
}

uint32_t RealMediaLayout::Reach() const {
  uint32_t reach = 0;
  for (const std::size_t k : Decodable()) reach = std::max(reach, streams_[k].lastTimestamp);
  return reach;
}

bool RealMediaLayout::Whole(std::size_t stream) const { return Whole(stream, Reach()); }

bool RealMediaLayout::Whole(std::size_t stream, uint32_t reach) const {
  const uint32_t last = streams_[stream].lastTimestamp;
  // A stream that stamps every packet 0 says nothing of how far it reaches.
  const uint64_t slack = std::max<uint64_t>(kWholeSlackMs, uint64_t{reach} * kWholeSlackPercent / 100);
  return last == 0 || uint64_t{last} + slack >= reach;
}

bool RealMediaLayout::BetterRateIsCut(std::size_t stream) const {
  const uint32_t reach = Reach();
  const std::vector<std::size_t> decodable = Decodable();
  const auto better = [&](std::size_t k) { return streams_[k].avgBitrate > streams_[stream].avgBitrate; };
  for (const std::size_t k : decodable) {
    if (better(k) && !Whole(k, reach)) return true;
  }
  // Some files hold one stream's packets after the other's: a download cut before a better stream's
  // packets leaves it too few to decode, and it is cut all the same.
  if (!truncated_) return false;
  for (std::size_t k = 0; k < streams_.size(); ++k) {
    if (better(k) && DecodableHeader(streams_[k]) &&
        std::find(decodable.begin(), decodable.end(), k) == decodable.end()) {
      return true;
    }
  }
  return false;
}

std::vector<std::size_t> RealMediaLayout::Candidates() const {
  std::vector<std::size_t> result = Decodable();
  uint32_t reach = 0;
  for (const std::size_t k : result) reach = std::max(reach, streams_[k].lastTimestamp);
  std::vector<bool> whole(streams_.size());
  for (const std::size_t k : result) whole[k] = Whole(k, reach);
  std::stable_sort(result.begin(), result.end(), [&](std::size_t a, std::size_t b) {
    if (whole[a] != whole[b]) return bool(whole[a]);
    if (whole[a]) return streams_[a].avgBitrate > streams_[b].avgBitrate;
    return streams_[a].lastTimestamp > streams_[b].lastTimestamp;
  });
  return result;
}

uint32_t RealMediaLayout::Span(std::size_t stream) const {
  return streams_[stream].lastTimestamp - streams_[stream].firstTimestamp;
}

bool RealMediaLayout::Cut(std::size_t stream) const {
  const uint64_t span = Span(stream);
  return span + std::max<uint64_t>(kWholeSlackMs, span * kWholeSlackPercent / 100) < PlayingTime(stream);
}

uint32_t RealMediaLayout::PlayingTime(std::size_t index) const {
  const RealMediaStream& stream = streams_[index];
  const uint32_t span = Span(index);
  uint32_t stated = propDuration_ > 0 ? propDuration_ : stream.duration;
  if (stated == 0) return span;
  // What the DATA chunks hold, as their headers state it, at the stream's bitrate: a playing time
  // far above that is damage (0xFFFFFFFF: 49 days).
  const uint64_t rate = std::max<uint32_t>(stream.avgBitrate, 1000);
  const uint64_t holdsMs = declaredDataBytes_ * 8 * 1000 / rate;
  const uint64_t slack = std::max<uint64_t>(kWholeSlackMs, uint64_t{span} * kWholeSlackPercent / 100);
  if (stated < span || stated > std::max<uint64_t>(holdsMs, span) + slack) stated = span;
  return stated;
}

std::size_t RealMediaLayout::Footprint() const {
  std::size_t bytes = sizeof(*this) + indexOf_.size() * 4 + nextOfNumber_.size() * 2 + data_.size() * 16;
  for (const RealMediaStream& stream : streams_) {
    bytes += sizeof(stream) + stream.specific.size() + stream.description.size() + stream.mime.size() +
             stream.jumps.size() * sizeof(RealMediaJump);
  }
  for (const Patch& patch : patches_) bytes += sizeof(patch) + patch.bytes.size();
  for (const std::string& text : content_.texts) bytes += text.size();
  return bytes;
}
