#pragma once
// The header chunks and the data packets of a RealMedia file, read with a bound on every size and
// count: what is needed to present one stream of a multi-rate file as an ordinary single-rate file.
#include <cstdint>
#include <string>
#include <vector>

#include "BoundedFile.h"

// One stream header (MDPR), with what the walk over the packets found of that stream.
struct RealMediaStream {
  uint16_t number = 0;
  uint32_t maxBitrate = 0, avgBitrate = 0, maxPacket = 0, avgPacket = 0;
  uint32_t startTime = 0, preroll = 0, duration = 0;  // milliseconds
  std::string description, mime;
  std::string specific;  // the type-specific data, as the file holds it
  // From the RealAudio header in the type-specific data; empty and 0 when it holds none.
  std::string fourcc;
  uint32_t sampleRate = 0;
  uint16_t channels = 0;
  uint64_t packets = 0;
  uint64_t payloadBytes = 0;
  uint32_t lastTimestamp = 0;
};

// The packet bytes of one DATA chunk: [begin, end) in the file.
struct RealMediaDataChunk {
  uint64_t begin = 0;
  uint64_t end = 0;
};

struct RealMediaPacket {
  uint64_t at = 0;  // where its header starts in the file
  uint16_t version = 0, length = 0, stream = 0;
  uint32_t timestamp = 0;
  uint16_t rule = 0;  // header version 1: the ASM rule number
  uint8_t flags = 0;  // header version 0: the packet flags
  uint32_t HeaderSize() const { return version == 0 ? 12 : 13; }
};

// Steps through the packets of a chain of DATA chunks; a packet that is not sound (unknown header
// version, a length below its header or past its chunk) ends that chunk.
class RealMediaPacketWalker {
 public:
  struct State {
    std::size_t chunk = 0;
    uint64_t at = 0;
  };
  RealMediaPacketWalker(const BoundedFile& file, const std::vector<RealMediaDataChunk>& chunks)
      : file_(file), chunks_(chunks) {}
  bool Next(RealMediaPacket& packet);
  State Save() const { return state_; }
  void Restore(State state) { state_ = state; }

 private:
  const BoundedFile& file_;
  const std::vector<RealMediaDataChunk>& chunks_;
  State state_;
};

class RealMediaLayout {
 public:
  // Reads the header chunks and the DATA chain, and for a multi-rate file walks its packets.
  // False when the file is not a sound RealMedia file up to its first DATA chunk.
  bool Read(const BoundedFile& file);
  // Several encodings of one sound, each in a physical stream of its own.
  bool IsMultiRate() const;
  // The start of a RealMedia file names a multi-rate stream, whether or not its header is sound.
  static bool NamesMultiRate(const BoundedFile& file);
  // Indexes into Streams() of the physical streams this FFmpeg can decode, best average bitrate first.
  std::vector<std::size_t> Candidates() const;

  const std::vector<RealMediaStream>& Streams() const { return streams_; }
  const std::vector<RealMediaDataChunk>& Data() const { return data_; }
  // PROP's fields (0 when the file has no PROP): duration and preroll in ms, and its flags.
  uint32_t PropDuration() const { return propDuration_; }
  uint32_t PropPreroll() const { return propPreroll_; }
  uint16_t PropFlags() const { return propFlags_; }
  // The CONT chunk as the file holds it; empty when it has none or it is not sound.
  const std::string& Content() const { return content_; }
  // The stream header for a packet's stream number; -1 when no header declares it.
  int StreamIndex(uint16_t number) const;

 private:
  bool ReadHeaderChunks(const BoundedFile& file, uint64_t& firstData);
  void ReadDataChain(const BoundedFile& file, uint64_t firstData);
  void CountPackets(const BoundedFile& file);

  std::vector<RealMediaStream> streams_;
  std::vector<RealMediaDataChunk> data_;
  std::string content_;
  uint32_t propDuration_ = 0, propPreroll_ = 0;
  uint16_t propFlags_ = 0;
};
