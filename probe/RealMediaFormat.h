#pragma once
// The sizes and limits of the RealMedia container, in one place for everything that reads or writes
// its chunks and packets.
#include <cstddef>
#include <cstdint>

namespace realmedia {

constexpr uint32_t kChunkHeaderSize = 10;    // id, size, version
constexpr uint32_t kFileHeaderSize = 18;     // .RMF: chunk header, file version, header count
constexpr uint32_t kPropSize = 50;           // PROP: chunk header, nine 32-bit fields, streams, flags
constexpr uint32_t kDataHeaderSize = 18;     // DATA: chunk header, packet count, next DATA offset
constexpr uint32_t kPacketHeaderSize0 = 12;  // packet header version 0
constexpr uint32_t kPacketHeaderSize1 = 13;  // version 1: an ASM rule number in place of the flags
constexpr uint16_t kMaxPacketVersion = 1;

// A header holds a handful of chunks and streams; more is a hostile file, read no further.
constexpr int kMaxHeaderChunks = 4096;
constexpr std::size_t kMaxStreams = 256;
constexpr int kMaxDataChunks = 4096;
// Four texts of at most 65535 bytes with their lengths, after the chunk header.
constexpr uint32_t kMaxContSize = kChunkHeaderSize + 4 * (2 + 65535);
// Stream headers are small; the part of a larger one that is read.
constexpr uint32_t kMaxStreamHeaderSize = 1 << 20;

// PROP's fields, from the start of the chunk.
constexpr std::size_t kPropDurationAt = kChunkHeaderSize + 5 * 4;
constexpr std::size_t kPropPrerollAt = kPropDurationAt + 4;
constexpr std::size_t kPropFlagsAt = kPropSize - 2;

constexpr char kMultiRateMime[] = "audio/x-pn-multirate-realaudio";
constexpr char kRealAudioMime[] = "audio/x-pn-realaudio";

}  // namespace realmedia
