#pragma once
// Test media: multi-rate RealMedia files with the layout real encoders write, merged from single-rate
// files that the ffmpeg tool makes at test time (one audio stream each). The merged file has a
// logical-fileinfo stream, a logical multi-rate stream, one physical stream per source (its RealAudio
// header unchanged, MIME type audio/x-pn-multirate-realaudio), PROP duration 0, and one DATA chunk per
// physical stream, chained by their next-header offsets, with packets in header version 1: flags 3
// on every packet and the ASM rule number marking block starts (even rule).
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// Where things are in a merged file, for tests that damage it at known places.
struct MultiRateMap {
  std::vector<std::size_t> chunkStarts;    // every header chunk and every DATA chunk
  std::vector<std::size_t> dataStarts;     // the DATA chunks
  std::vector<std::size_t> packetStarts;   // every packet header
  std::vector<std::size_t> streamCounts;   // 16-bit counts: PROP's streams, the logical stream's counts
  std::vector<std::size_t> specificSizes;  // 32-bit type-specific data sizes of the stream headers
  std::vector<std::size_t> raHeaders;      // the ".ra\xFD" headers of the physical streams
};

// The merged bytes of the sources, each a single-rate RealMedia file's path, the first becoming stream
// 0; empty when a source is not such a file. map, when given, receives the layout.
std::string MergeToMultiRate(const std::vector<std::string>& sources, MultiRateMap* map = nullptr);

// The single-rate sources the tests merge, each carrying its own tone.
enum class ToneSource {
  Ac3High,  // AC-3 192 kbps, 48000 Hz stereo, 1000 Hz
  Ac3Low,   // AC-3 96 kbps, 44100 Hz mono, 700 Hz
  Aac,      // AAC 64 kbps, 32000 Hz stereo, 500 Hz
  Ra144,    // RealAudio 14.4, 8000 Hz mono, 300 Hz
};
int ToneFrequency(ToneSource source);
// Runs the ffmpeg tool (quiet, never asking) with these arguments; false when it failed.
bool RunFfmpeg(const std::vector<std::string>& arguments);
// Makes the source with the ffmpeg tool in folder; its path, or empty when the tool failed.
std::string MakeToneSource(const std::string& folder, ToneSource source, double seconds);

// A RealMedia file's bytes with every packet of its DATA chain replaced by what edit makes of it (the
// packet's bytes and its index in the chain): nothing, itself, changed bytes or more packets. The DATA
// chunks' sizes, packet counts and next offsets follow; what follows the last DATA chunk is dropped.
// Empty when the bytes hold no DATA chunk after a sound header.
using PacketEdit = std::function<std::string(const std::string& packet, std::size_t index)>;
std::string EditPackets(const std::string& bytes, const PacketEdit& edit);

// A hostile multi-rate file: streams RealAudio 14.4 stream headers with sound version-3 headers, then
// emptyBytes of 12-byte empty packets of a stream no header declares, then one 5-byte packet (too short
// to decode) of each stream.
std::string ManyStreamsBehindEmptyPackets(std::size_t streams, uint64_t emptyBytes);
