#include "StreamCursor.h"

#include <algorithm>
#include <string>

namespace {
constexpr uint8_t kKeyframe = 2;
}

StreamCursor::StreamCursor(const RealMediaStream& stream)
    : height_(stream.packetPayload > 0 && stream.blockPackets > 1 ? stream.blockPackets : 0) {}

bool StreamCursor::Repeats(RealMediaPacketWalker& walker, const RealMediaPacket& packet) const {
  if (!hasLast_ || packet.timestamp != lastTimestamp_ || packet.length != lastLength_) return false;
  const uint32_t size = packet.PayloadSize();
  const std::string last(walker.Window().At(lastPayloadAt_, size));
  return last.size() == size && walker.Window().At(packet.at + packet.HeaderSize(), size) == last;
}

bool StreamCursor::Take(RealMediaPacketWalker& walker, const RealMediaPacket& packet, uint32_t& fill) {
  fill = 0;
  if (Repeats(walker, packet)) return false;
  const uint32_t timestamp = packet.timestamp;
  if (height_ > 0) {
    const bool start = packet.version == 0 ? (packet.flags & kKeyframe) != 0 : (packet.rule & 1) == 0;
    if (start || inBlock_ == 0 || inBlock_ >= height_) {
      fill = inBlock_ > 0 && inBlock_ < height_ ? height_ - inBlock_ : 0;
      // A whole block tells the time between its packets.
      if (inBlock_ + fill == height_ && timestamp > blockStart_) step_ = (timestamp - blockStart_) / height_;
      inBlock_ = 1;
      blockStart_ = timestamp;
    } else {
      // Packets missing inside the block, by the time since the last one; a time that would put this
      // packet past the block's end is damage and says nothing.
      uint32_t missing = 0;
      if (step_ > 0 && timestamp > lastTimestamp_) {
        const uint64_t steps = (uint64_t{timestamp} - lastTimestamp_ + step_ / 2) / step_;
        if (steps >= 2 && steps - 1 < height_ - inBlock_) missing = static_cast<uint32_t>(steps - 1);
      }
      fill = missing;
      inBlock_ += missing + 1;
    }
  }
  fillerTimestamp_ = hasLast_ ? lastTimestamp_ : timestamp;
  hasLast_ = true;
  lastTimestamp_ = timestamp;
  lastLength_ = packet.length;
  lastPayloadAt_ = packet.at + packet.HeaderSize();
  return true;
}

uint32_t StreamCursor::FillAtEnd() {
  fillerTimestamp_ = lastTimestamp_;
  return height_ > 0 && inBlock_ > 0 && inBlock_ < height_ ? height_ - inBlock_ : 0;
}
