#pragma once
// One physical stream of a multi-rate RealMedia file, presented as an ordinary single-rate RealMedia
// file: the file's header with that stream's header alone (renumbered 0, plain RealAudio MIME type)
// and a CONT chunk made afresh from its texts, then that stream's packets with a payload, in header
// version 0, the keyframe flag set where the ASM rule number marks the start of an interleaving block
// (an even rule). Built while it is read: nothing but a few checkpoints for seeking is kept, whatever
// the file's length, and a long run of other streams' data is jumped over where the walk of the
// layout found it.
#include <string>
#include <vector>

#include "MediaBytes.h"
#include "RealMediaLayout.h"

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
    int64_t start = 0;  // in the view
    char header[12] = {};
    uint64_t payloadAt = 0;  // in the file
    uint32_t payloadSize = 0;
    int64_t End() const;
  };
  struct Checkpoint {
    int64_t start;  // where the next packet of the stream begins in the view
    RealMediaPacketWalker::State walker;
  };
  bool NextPacket();
  void JumpIfFar();
  void Rewind(const Checkpoint& checkpoint);

  const RealMediaStream& stream_;
  const uint16_t number_;  // the stream's number in the file
  std::string header_;     // the single-rate header chunks and the DATA chunk's header
  RealMediaPacketWalker walker_;
  int64_t size_ = 0;
  int64_t position_ = 0;
  int64_t nextStart_ = 0;  // where the walker's next packet of the stream begins in the view
  uint64_t packetsSeen_ = 0;
  Packet packet_;
  std::vector<Checkpoint> checkpoints_;
};
