#pragma once
// One physical stream of a multi-rate RealMedia file, presented as an ordinary single-rate RealMedia
// file: the file's header with that stream's header alone (renumbered 0, plain RealAudio MIME type)
// and a CONT chunk made afresh from its texts, then that stream's packets with a payload, in header
// version 0, the keyframe flag set where the ASM rule number marks the start of an interleaving block
// (an even rule). Built while it is read: nothing but a few checkpoints for seeking is kept, whatever
// the file's length, and a long run of other streams' data is jumped over where the walk of the
// layout found it. A packet that repeats the one before is left out and a block that damage has left
// short is filled out with silent packets, as the walk counted them; a timestamp outside the span the
// walk believed is replaced by the one before it, and a stated playing time the packets belie by
// their span.
#include <string>
#include <vector>

#include "MediaBytes.h"
#include "RealMediaLayout.h"
#include "StreamCursor.h"

class MultiRateView : public MediaBytes {
 public:
  // layout must hold the file's walked layout and outlive the view; stream is an index into its streams.
  MultiRateView(const BoundedFile& file, const RealMediaLayout& layout, std::size_t stream);
  int Read(uint8_t* buffer, int size) override;
  int64_t Seek(int64_t position) override;
  int64_t Size() const override { return size_; }
  int64_t Position() const override { return position_; }

 private:
  struct Packet {
    bool valid = false;
    bool filler = false;  // silence: its payload is zero bytes
    int64_t start = 0;    // in the view
    char header[12] = {};
    uint64_t payloadAt = 0;  // in the file
    uint32_t payloadSize = 0;
    int64_t End() const;
  };
  struct Checkpoint {
    int64_t start;  // where the next packet of the stream begins in the view
    RealMediaPacketWalker::State walker;
    StreamCursor cursor;
    uint32_t timestamp;
  };
  bool NextPacket();
  void JumpIfFar();
  void Rewind(const Checkpoint& checkpoint);
  void Present(uint64_t payloadAt, uint32_t payload, uint32_t timestamp, uint8_t flags, bool filler);

  const RealMediaLayout& layout_;
  const std::size_t index_;
  const RealMediaStream& stream_;
  std::string header_;  // the single-rate header chunks and the DATA chunk's header
  RealMediaPacketWalker walker_;
  int64_t size_ = 0;
  int64_t position_ = 0;
  int64_t nextStart_ = 0;  // where the walker's next packet of the stream begins in the view
  uint64_t packetsSeen_ = 0;
  Packet packet_;
  StreamCursor cursor_;
  uint32_t fillPending_ = 0;  // filler packets to present before the held packet
  bool holding_ = false;      // a packet of the file waits behind its fillers
  RealMediaPacket held_;
  bool ended_ = false;      // the walker has given the stream's last packet
  uint32_t timestamp_ = 0;  // the last timestamp presented
  std::vector<Checkpoint> checkpoints_;
};
