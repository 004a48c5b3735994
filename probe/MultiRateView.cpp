#include "MultiRateView.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "RealMediaFormat.h"

using namespace realmedia;

namespace {

constexpr uint8_t kKeyframe = 2;
// A checkpoint every so many packets of the stream keeps a backward seek short.
constexpr uint64_t kPacketsPerCheckpoint = 256;
// A read that has walked this much of the file returns what it has, so one read never walks far.
constexpr uint64_t kWalkPerRead = 1 << 20;

void Put(std::string& out, uint64_t value, int width) {
  for (int k = width - 1; k >= 0; --k) out += static_cast<char>((value >> (8 * k)) & 0xFF);
}

uint32_t Clamp32(uint64_t value) { return static_cast<uint32_t>(std::min<uint64_t>(value, 0xFFFFFFFF)); }

void PutText8(std::string& out, const std::string& text) {
  const std::size_t length = std::min<std::size_t>(text.size(), 255);
  Put(out, length, 1);
  out.append(text, 0, length);
}

void PutChunkHeader(std::string& out, uint32_t id, uint64_t size) {
  Put(out, id, 4);
  Put(out, Clamp32(size), 4);
  Put(out, 0, 2);  // chunk version
}

// A CONT chunk whose text lengths agree with its size, whatever the file's own held.
std::string ContentChunk(const RealMediaContent& content) {
  std::string body;
  for (const std::string& text : content.texts) {
    Put(body, text.size(), 2);
    body += text;
  }
  std::string chunk;
  PutChunkHeader(chunk, 0x434F4E54, kChunkHeaderSize + body.size());  // "CONT"
  return chunk + body;
}

}  // namespace

int64_t MultiRateView::Packet::End() const { return start + kPacketHeaderSize0 + payloadSize; }

MultiRateView::MultiRateView(const BoundedFile& file, const RealMediaLayout& layout, std::size_t stream)
    : layout_(layout),
      index_(stream),
      stream_(layout.Streams()[stream]),
      walker_(file, layout),
      cursor_(stream_),
      timestamp_(stream_.firstTimestamp) {
  const RealMediaStream& chosen = stream_;
  // The playing time the file states, unless the packets belie it.
  const uint32_t duration = layout.PlayingTime(stream);
  const uint64_t packets = chosen.packets + chosen.fillPackets;
  const uint64_t payload =
      chosen.payloadBytes + chosen.fillPackets * chosen.packetPayload + packets * kPacketHeaderSize0;
  // A start after the stream's last packet is damage.
  const uint32_t startTime = chosen.startTime <= chosen.lastTimestamp ? chosen.startTime : 0;

  std::string mdpr;
  Put(mdpr, 0, 2);  // stream number
  for (const uint32_t field : {chosen.maxBitrate, chosen.avgBitrate, chosen.maxPacket, chosen.avgPacket,
                               startTime, chosen.preroll, duration}) {
    Put(mdpr, field, 4);
  }
  PutText8(mdpr, chosen.description);
  PutText8(mdpr, kRealAudioMime);
  Put(mdpr, chosen.specific.size(), 4);
  mdpr += chosen.specific;

  const std::string content = layout.HasContent() ? ContentChunk(layout.Content()) : std::string();
  const uint64_t dataAt = kFileHeaderSize + kPropSize + content.size() + kChunkHeaderSize + mdpr.size();

  PutChunkHeader(header_, 0x2E524D46, kFileHeaderSize);  // ".RMF"
  Put(header_, 0, 4);                                    // file version
  Put(header_, content.empty() ? 3 : 4, 4);              // header chunks: PROP, CONT, MDPR, DATA

  PutChunkHeader(header_, 0x50524F50, kPropSize);  // "PROP"
  for (const uint32_t field :
       {chosen.maxBitrate, chosen.avgBitrate, chosen.maxPacket, chosen.avgPacket, Clamp32(packets), duration,
        layout.PropPreroll(), 0u /* no index */, Clamp32(dataAt)}) {
    Put(header_, field, 4);
  }
  Put(header_, 1, 2);  // one stream
  Put(header_, layout.PropFlags(), 2);

  header_ += content;

  PutChunkHeader(header_, 0x4D445052, kChunkHeaderSize + mdpr.size());  // "MDPR"
  header_ += mdpr;

  PutChunkHeader(header_, 0x44415441, kDataHeaderSize + payload);  // "DATA"
  Put(header_, Clamp32(packets), 4);
  Put(header_, 0, 4);  // no next DATA chunk

  size_ = static_cast<int64_t>(header_.size() + payload);
  nextStart_ = static_cast<int64_t>(header_.size());
  checkpoints_.push_back({nextStart_, walker_.Save(), cursor_, timestamp_});
}

void MultiRateView::JumpIfFar() {
  const std::vector<RealMediaJump>& jumps = stream_.jumps;
  const RealMediaPacketWalker::State here = walker_.Save();
  const auto it =
      std::lower_bound(jumps.begin(), jumps.end(), here, [](const RealMediaJump& jump, const auto& at) {
        return jump.from.chunk < at.chunk || (jump.from.chunk == at.chunk && jump.from.at < at.at);
      });
  if (it != jumps.end() && it->from == here) walker_.Restore(it->to);
}

void MultiRateView::Present(uint64_t payloadAt, uint32_t payload, uint32_t timestamp, uint8_t flags,
                            bool filler) {
  // A timestamp the walk did not believe would show as days of progress, and make every seek a rewind.
  if (timestamp < stream_.firstTimestamp || timestamp > stream_.lastTimestamp) timestamp = timestamp_;
  timestamp_ = timestamp;
  packet_.valid = true;
  packet_.filler = filler;
  packet_.start = nextStart_;
  packet_.payloadAt = payloadAt;
  packet_.payloadSize = payload;
  const uint32_t length = kPacketHeaderSize0 + payload;
  const unsigned char header[kPacketHeaderSize0] = {0,
                                                    0,
                                                    static_cast<unsigned char>(length >> 8),
                                                    static_cast<unsigned char>(length & 0xFF),
                                                    0,
                                                    0,
                                                    static_cast<unsigned char>(timestamp >> 24),
                                                    static_cast<unsigned char>((timestamp >> 16) & 0xFF),
                                                    static_cast<unsigned char>((timestamp >> 8) & 0xFF),
                                                    static_cast<unsigned char>(timestamp & 0xFF),
                                                    0,
                                                    flags};
  std::memcpy(packet_.header, header, sizeof header);
  nextStart_ = packet_.End();
}

bool MultiRateView::NextPacket() {
  if (fillPending_ > 0) {
    --fillPending_;
    Present(0, stream_.packetPayload, cursor_.FillerTimestamp(), 0, true);
    return true;
  }
  RealMediaPacket packet;
  if (holding_) {
    holding_ = false;
    packet = held_;
  } else {
    for (;;) {
      if (ended_) {
        packet_.valid = false;
        return false;
      }
      JumpIfFar();
      if (!walker_.Next(packet)) {
        ended_ = true;
        fillPending_ = cursor_.FillAtEnd();
        if (fillPending_ > 0) return NextPacket();
        continue;
      }
      // Another stream's packet, one that damage has given this stream's number, or a repeat: skipped.
      if (packet.stream != stream_.number || layout_.Owner(walker_, packet) != static_cast<int>(index_))
        continue;
      if (packetsSeen_ % kPacketsPerCheckpoint == 0 && nextStart_ > checkpoints_.back().start) {
        // The walker stands after this packet now; the checkpoint names the state before it.
        RealMediaPacketWalker::State before = walker_.Save();
        before.at = packet.at;
        checkpoints_.push_back({nextStart_, before, cursor_, timestamp_});
      }
      uint32_t fill = 0;
      if (!cursor_.Take(walker_, packet, fill)) continue;
      ++packetsSeen_;
      if (fill > 0) {
        held_ = packet;
        holding_ = true;
        fillPending_ = fill;
        return NextPacket();
      }
      break;
    }
  }
  // In header version 1 the rule number marks a block's start; version 0 says it in its flags.
  const uint8_t flags = packet.version == 0 ? packet.flags : ((packet.rule & 1) == 0 ? kKeyframe : 0);
  Present(packet.at + packet.HeaderSize(), packet.PayloadSize(), packet.timestamp, flags, false);
  return true;
}

int MultiRateView::Read(uint8_t* buffer, int size) {
  int done = 0;
  const uint64_t walkedBefore = walker_.Walked();
  while (done < size && position_ < size_) {
    const int64_t want = size - done;
    if (position_ < static_cast<int64_t>(header_.size())) {
      const int64_t count = std::min<int64_t>(want, static_cast<int64_t>(header_.size()) - position_);
      std::memcpy(buffer + done, header_.data() + position_, static_cast<std::size_t>(count));
      done += static_cast<int>(count);
      position_ += count;
      continue;
    }
    if (!packet_.valid || position_ >= packet_.End()) {
      if (done > 0 && walker_.Walked() - walkedBefore > kWalkPerRead) break;
      if (!NextPacket()) break;
      continue;
    }
    const int64_t inPacket = position_ - packet_.start;
    int64_t count = 0;
    if (inPacket < kPacketHeaderSize0) {
      count = std::min<int64_t>(want, kPacketHeaderSize0 - inPacket);
      std::memcpy(buffer + done, packet_.header + inPacket, static_cast<std::size_t>(count));
    } else if (packet_.filler) {
      count = std::min<int64_t>(want, packet_.End() - position_);
      std::memset(buffer + done, 0, static_cast<std::size_t>(count));
    } else {
      const int64_t offset = inPacket - kPacketHeaderSize0;
      count = std::min<int64_t>(want, packet_.payloadSize - offset);
      const std::string_view bytes = walker_.Window().At(packet_.payloadAt + static_cast<uint64_t>(offset),
                                                         static_cast<std::size_t>(count));
      if (bytes.empty()) break;  // the file became shorter than when it was walked
      count = static_cast<int64_t>(bytes.size());
      std::memcpy(buffer + done, bytes.data(), bytes.size());
    }
    done += static_cast<int>(count);
    position_ += count;
  }
  return done;
}

void MultiRateView::Rewind(const Checkpoint& checkpoint) {
  walker_.Restore(checkpoint.walker);
  nextStart_ = checkpoint.start;
  cursor_ = checkpoint.cursor;
  timestamp_ = checkpoint.timestamp;
  packet_.valid = false;
  fillPending_ = 0;
  holding_ = false;
  ended_ = false;
}

int64_t MultiRateView::Seek(int64_t position) {
  if (position < 0) return -1;
  const bool behind = packet_.valid ? position < packet_.start : position < nextStart_;
  if (behind) {
    // Back to the last checkpoint at or before the position; reading walks forward from there.
    auto it = std::upper_bound(checkpoints_.begin(), checkpoints_.end(), position,
                               [](int64_t value, const Checkpoint& c) { return value < c.start; });
    Rewind(it == checkpoints_.begin() ? checkpoints_.front() : *(it - 1));
    packetsSeen_ = 1;  // no checkpoint is taken again for the packets walked before
  }
  position_ = position;
  return position_;
}
