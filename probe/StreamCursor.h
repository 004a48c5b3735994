#pragma once
// What reading one stream of a multi-rate file makes of its packets, the same for the walk that sizes
// the stream and for the view that presents it: a packet that repeats the one before (same time, same
// bytes) is left out, and an interleaving block that damage has left short is filled out with silent
// packets, since the demuxer drops a whole block (seconds of sound) for one missing packet.
#include <cstdint>

#include "RealMediaLayout.h"

class StreamCursor {
 public:
  StreamCursor() = default;
  explicit StreamCursor(const RealMediaStream& stream);
  // For the next packet of the stream: false to leave it out; else fill receives how many filler
  // packets go before it.
  bool Take(RealMediaPacketWalker& walker, const RealMediaPacket& packet, uint32_t& fill);
  // The filler packets that complete the last block when the stream ends.
  uint32_t FillAtEnd();
  // The timestamp filler packets carry: the one of the packet before them (only a block's first
  // packet, never a filler, gives the block its time).
  uint32_t FillerTimestamp() const { return fillerTimestamp_; }

 private:
  bool Repeats(RealMediaPacketWalker& walker, const RealMediaPacket& packet) const;

  uint32_t height_ = 0;  // packets in a block; 0 when the stream is not read in blocks
  uint32_t inBlock_ = 0;
  uint32_t blockStart_ = 0, lastTimestamp_ = 0, fillerTimestamp_ = 0;
  uint32_t step_ = 0;  // time between two packets of a block, from the last whole block
  bool hasLast_ = false;
  uint64_t lastPayloadAt_ = 0;
  uint16_t lastLength_ = 0;
};
