#pragma once
// The header chunks and the data packets of a RealMedia file, read with a bound on every size and
// count: what is needed to present one stream of a multi-rate file as an ordinary single-rate file.
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "BoundedFile.h"
#include "FileWindow.h"
#include "RealMediaHeader.h"

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
  uint32_t HeaderSize() const;
  uint32_t PayloadSize() const { return length - HeaderSize(); }
};

class RealMediaLayout;

// Steps through the packets of a chain of DATA chunks, empty packets (no payload) stepped over.
// A packet of a stream whose packets all have one size keeps that size where its length alone is
// damaged (a plausible header follows at that size). After a packet header that cannot be stepped
// through (unknown header version, a length below its header or past its chunk), or one whose length
// leads to no header while a plausible one lies inside it, it goes on at the next plausible header of
// a declared stream, so damage costs about one packet; without one near enough, the rest of that
// chunk is given up. That search reads what it looks at once, and asks stop as it goes.
class RealMediaPacketWalker {
 public:
  struct State {
    std::size_t chunk = 0;
    uint64_t at = 0;
    bool operator==(const State& other) const { return chunk == other.chunk && at == other.at; }
  };
  RealMediaPacketWalker(const BoundedFile& file, const RealMediaLayout& layout);
  bool Next(RealMediaPacket& packet);
  State Save() const { return state_; }
  void Restore(State state) { state_ = state; }
  // The bytes of the file the walker has stepped through so far (headers, other streams, damage).
  uint64_t Walked() const { return walked_; }
  // The buffer the walker reads the file through, for reading the bodies of its packets.
  FileWindow& Window() { return window_; }
  // stop is asked every so many headers and bytes; a true answer ends the walk as if the data ended.
  void StopWhen(const std::function<bool()>* stop) { stop_ = stop; }

 private:
  enum class Header { Sound, Empty, Unsound, End };
  Header Parse(const RealMediaDataChunk& chunk, uint64_t at, RealMediaPacket& packet);
  bool Plausible(const RealMediaDataChunk& chunk, uint64_t at);
  bool SoundAt(const RealMediaDataChunk& chunk, uint64_t at);
  // A damaged length of a packet whose stream has one packet size: true when that size leads to a
  // plausible header (or the chunk's end), packet then holding it.
  bool KeepsItsSize(const RealMediaDataChunk& chunk, RealMediaPacket& packet);
  // Goes on at the first plausible header in [from, limit); false when there is none.
  bool Resynchronise(const RealMediaDataChunk& chunk, uint64_t from, uint64_t limit);
  std::string_view Bytes(uint64_t at, std::size_t count);
  bool Stopped();

  const RealMediaLayout& layout_;
  const BoundedFile& file_;
  FileWindow window_;
  State state_;
  uint64_t walked_ = 0;
  const std::function<bool()>* stop_ = nullptr;
  bool stopped_ = false;
  uint64_t sinceStopCheck_ = 0, scannedSinceStopCheck_ = 0;
  // What a resynchronisation looks at, read once: [aheadAt_, aheadAt_ + ahead_.size()).
  std::string ahead_;
  uint64_t aheadAt_ = 0;
};

// Where the walk found a long run of other data before a stream's next packet: a walker that stands
// at from goes on at to, which finds that packet at once.
struct RealMediaJump {
  RealMediaPacketWalker::State from, to;
};

// One stream header (MDPR), with what the walk over the packets found of that stream.
struct RealMediaStream {
  uint16_t number = 0;
  uint32_t maxBitrate = 0, avgBitrate = 0, maxPacket = 0, avgPacket = 0;
  uint32_t startTime = 0, preroll = 0, duration = 0;  // milliseconds
  std::string description, mime;
  std::string specific;  // the type-specific data, as the file holds it (kept for physical streams)
  // From the RealAudio header in the type-specific data; empty and 0 when it holds none.
  std::string fourcc, interleaver;
  uint32_t sampleRate = 0;
  uint16_t channels = 0;
  uint16_t blockPackets = 0;  // packets in one interleaving block (versions 4 and 5)
  // The payload size the interleaver gives every packet (cook and ATRAC, 28.8, Sipro); 0: any size.
  uint32_t packetPayload = 0;
  // Packets with a payload, their payload bytes, and the span of their timestamps (milliseconds)
  // leaving out a timestamp far beyond its neighbours.
  uint64_t packets = 0;
  uint64_t blockStarts = 0;  // the packets marked as the start of an interleaving block
  uint64_t payloadBytes = 0;
  uint64_t fillPackets = 0;  // silent packets that fill out blocks damage has left short
  uint32_t firstTimestamp = 0, lastTimestamp = 0;
  std::vector<RealMediaJump> jumps;  // in file order
};

// Whether a packet's payload has the shape its stream's interleaver gives every packet (vbrf and vbrs:
// a table of access unit lengths that add up to the payload; the block interleavers: one fixed size),
// so that a packet of another stream that damage has renumbered, or one cut or grown by damage, is not
// handed to the decoder, which it would put out of step for many seconds.
bool PayloadFits(const RealMediaStream& stream, RealMediaPacketWalker& walker, const RealMediaPacket& packet);

class RealMediaLayout {
 public:
  // Reads the header chunks and the DATA chain, and for a multi-rate file walks its packets, once;
  // stop is asked now and then during the walk, and a true answer ends it (the layout is then
  // incomplete). False when the file is not a sound RealMedia file up to its first DATA chunk.
  bool Read(const BoundedFile& file, const std::function<bool()>& stop = {});
  // Several encodings of one sound, each in a physical stream of its own.
  bool IsMultiRate() const;
  // The start of a RealMedia file names a multi-rate stream, whether or not its header is sound.
  static bool NamesMultiRate(const BoundedFile& file);
  // Indexes into Streams() of the physical streams this FFmpeg can decode: those whose packets reach
  // within a little of the stream that reaches furthest, best average bitrate first, then the others,
  // furthest first.
  std::vector<std::size_t> Candidates() const;
  // The stream's packets reach within a little of the furthest reaching stream's.
  bool Whole(std::size_t stream) const;
  // A decodable stream of a better bitrate than this one ends well before the furthest reaching one,
  // or the file ends before its DATA does and such a stream was left too few packets to decode.
  bool BetterRateIsCut(std::size_t stream) const;
  // The stream header that owns a packet: the first one of its number whose shape it fits; -1: none.
  int Owner(RealMediaPacketWalker& walker, const RealMediaPacket& packet) const;
  // The playing time to state for a stream (ms): the one the file states, unless it is below what the
  // stream's packets span, or far above what its DATA could hold; then that span.
  uint32_t PlayingTime(std::size_t stream) const;
  // The stream's packets span (ms).
  uint32_t Span(std::size_t stream) const;
  // The stream's packets end well before its stated playing time.
  bool Cut(std::size_t stream) const;
  // Changes that make a single-rate file's header readable (chunk sizes that lead nowhere, CONT text
  // lengths): bytes to put in place of the file's own at an offset, the file's length unchanged.
  struct Patch {
    uint64_t at;
    std::string bytes;
  };
  const std::vector<Patch>& HeaderPatches() const { return patches_; }
  // About how many bytes of memory the layout holds.
  std::size_t Footprint() const;

  const std::vector<RealMediaStream>& Streams() const { return streams_; }
  const std::vector<RealMediaDataChunk>& Data() const { return data_; }
  // PROP's fields (0 when the file has no PROP): duration and preroll in ms, and its flags.
  uint32_t PropDuration() const { return propDuration_; }
  uint32_t PropPreroll() const { return propPreroll_; }
  uint16_t PropFlags() const { return propFlags_; }
  // The texts of the CONT chunk, the complete ones; HasContent() false when the file has none.
  bool HasContent() const { return hasContent_; }
  const RealMediaContent& Content() const { return content_; }
  // The stream header for a packet's stream number; -1 when no header declares it.
  int StreamIndex(uint16_t number) const;
  bool Declares(uint16_t number) const { return StreamIndex(number) >= 0; }

 private:
  bool ReadHeaderChunks(const BoundedFile& file, uint64_t& firstData);
  void ReadDataChain(const BoundedFile& file, uint64_t firstData);
  void IndexNumbers();
  // Walks the packets into the streams' counts; returns the numbers that many packets carry but no
  // header declares.
  std::vector<uint16_t> WalkPackets(const BoundedFile& file, const std::function<bool()>& stop);
  // Gives a damaged stream header the number its packets carry; true when one was changed.
  bool Renumber(const std::vector<uint16_t>& orphans);
  std::vector<uint16_t> Numbers() const;
  std::vector<std::size_t> Decodable() const;
  uint32_t Reach() const;  // the furthest any decodable stream's packets reach
  bool Whole(std::size_t stream, uint32_t reach) const;

  std::vector<RealMediaStream> streams_;
  // (number, first header of that number), sorted by number; and each header's next of its number.
  std::vector<std::pair<uint16_t, int16_t>> indexOf_;
  std::vector<int16_t> nextOfNumber_;
  std::vector<Patch> patches_;
  uint64_t declaredDataBytes_ = 0;  // the DATA chunks' sizes as stated
  bool truncated_ = false;          // the file ends before a DATA chunk does (a partial download)
  std::vector<RealMediaDataChunk> data_;
  RealMediaContent content_;
  bool hasContent_ = false;
  uint32_t propDuration_ = 0, propPreroll_ = 0;
  uint16_t propFlags_ = 0;
};
