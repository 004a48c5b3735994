// Hundreds of damaged multi-rate files, made from a generated one at its known places (cuts at every
// chunk and inside headers, counts and sizes 0, 1 and the maximum, DATA chains that loop or point
// backwards, packet lengths below their header): through the probe and the PCM reader, none may
// crash (the sanitizer builds watch), hang (a watchdog ends the program), or be accepted and then
// deliver no audio without an error.
#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <thread>

extern "C" {
#include <libavutil/log.h>
}

#include "audio/AudioFileRead.h"
#include "core/Settings.h"
#include "core/TaskList.h"
#include "tests/probe/MediaEditing.h"
#include "tests/probe/ProbeRun.h"
#include "tests/support/MultiRateMaker.h"
#include "tests/support/TestEnvironment.h"

namespace {

struct Variant {
  std::string name;
  std::string bytes;
};

void PutBE(std::string& bytes, std::size_t at, uint32_t value, int width) {
  if (at + width > bytes.size()) return;
  for (int k = 0; k < width; ++k) bytes[at + k] = char((value >> (8 * (width - 1 - k))) & 0xFF);
}

class Variants {
 public:
  Variants(const std::string& base, const MultiRateMap& map) : base_(base), map_(map) {}

  std::vector<Variant> Make() {
    for (const std::size_t chunk : map_.chunkStarts) {
      for (const std::size_t into : {0, 1, 4, 8, 10, 12, 20, 40}) Cut(chunk + into);
      for (const uint32_t size : {0u, 1u, 10u, 0xFFFFFFFFu}) Field("chunk size", chunk + 4, size, 4);
    }
    for (const std::size_t header : map_.raHeaders) {
      for (const std::size_t into : {10, 40, 60}) Cut(header + into);
      // Sub-packet height, frame size, sub-packet size, sample rate, channels.
      for (const std::size_t field : {40, 42, 44, 48, 54}) {
        for (const uint32_t value : {0u, 1u, 0xFFFFu}) Field("audio header", header + field, value, 2);
      }
    }
    for (const std::size_t count : map_.streamCounts) {
      for (const uint32_t value : {0u, 1u, 0xFFFFu}) Field("stream count", count, value, 2);
    }
    for (const std::size_t size : map_.specificSizes) {
      for (const uint32_t value : {0u, 1u, 0xFFFFFFFFu}) Field("type-specific size", size, value, 4);
    }
    for (std::size_t k = 0; k < map_.dataStarts.size(); ++k) {
      const std::size_t data = map_.dataStarts[k];
      for (const uint32_t value : {0u, 1u, 0xFFFFFFFFu}) Field("packet count", data + 10, value, 4);
      // Next-header offsets that loop, point backwards, into the chunk itself or outside the file.
      const uint32_t first = uint32_t(map_.dataStarts.front());
      for (const uint32_t next : {uint32_t(data), uint32_t(data - 1), first, 1u, uint32_t(data + 18),
                                  uint32_t(base_.size()), uint32_t(base_.size() - 5), 0xFFFFFFFFu}) {
        Field("next DATA", data + 14, next, 4);
      }
    }
    for (std::size_t k = 0; k < map_.packetStarts.size(); ++k) {
      const std::size_t packet = map_.packetStarts[k];
      if (k % 8 == 0) {
        for (const std::size_t into : {0, 5, 13}) Cut(packet + into);
      }
      if (k % 4 != 1) continue;
      for (const uint32_t length : {0u, 11u, 12u, 13u, 0xFFFFu})
        Field("packet length", packet + 2, length, 2);
      Field("undeclared stream", packet + 4, 77, 2);
      Field("packet version", packet, 2, 2);
    }
    AllPackets("every rule odd", 1);
    AllPackets("every rule even", 0);
    ManyStreams();
    return std::move(variants_);
  }

 private:
  void Cut(std::size_t at) {
    if (at < base_.size()) variants_.push_back({"cut at " + std::to_string(at), base_.substr(0, at)});
  }
  void Field(const std::string& what, std::size_t at, uint32_t value, int width) {
    std::string bytes = base_;
    PutBE(bytes, at, value, width);
    variants_.push_back({what + " at " + std::to_string(at) + " = " + std::to_string(value), bytes});
  }
  void AllPackets(const std::string& what, uint32_t rule) {
    std::string bytes = base_;
    for (const std::size_t packet : map_.packetStarts) PutBE(bytes, packet + 10, rule, 2);
    variants_.push_back({what, bytes});
  }
  // 65,535 physical stream headers before the data.
  void ManyStreams() {
    const std::string mime = "audio/x-pn-multirate-realaudio";
    const uint32_t size = 10 + 30 + 1 + 1 + uint32_t(mime.size()) + 4;
    std::string chunk = "MDPR" + std::string(6, '\0') + std::string(32, '\0') + '\0' + char(mime.size()) +
                        mime + std::string(4, '\0');
    PutBE(chunk, 4, size, 4);
    std::string many;
    for (uint32_t k = 0; k < 65535; ++k) {
      PutBE(chunk, 10, k, 2);
      many += chunk;
    }
    std::string bytes = base_;
    bytes.insert(map_.dataStarts.front(), many);
    variants_.push_back({"65535 stream headers", bytes});
  }

  const std::string& base_;
  const MultiRateMap& map_;
  std::vector<Variant> variants_;
};

// Ends the program when one variant takes longer than any sound file could.
class Watchdog {
 public:
  explicit Watchdog(std::chrono::seconds limit) : limit_(limit), thread_([this] { Watch(); }) {}
  ~Watchdog() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      stop_ = true;
    }
    wake_.notify_all();
    thread_.join();
  }
  void Start(const std::string& name) {
    std::lock_guard<std::mutex> lock(mutex_);
    name_ = name;
    started_ = std::chrono::steady_clock::now();
  }

 private:
  void Watch() {
    std::unique_lock<std::mutex> lock(mutex_);
    while (!wake_.wait_for(lock, std::chrono::seconds(1), [this] { return stop_; })) {
      if (!name_.empty() && std::chrono::steady_clock::now() - started_ > limit_) {
        std::fprintf(stderr, "watchdog: \"%s\" is still running after %lld s\n", name_.c_str(),
                     static_cast<long long>(limit_.count()));
        std::abort();
      }
    }
  }

  const std::chrono::seconds limit_;
  std::mutex mutex_;
  std::condition_variable wake_;
  bool stop_ = false;
  std::string name_;
  std::chrono::steady_clock::time_point started_;
  std::thread thread_;
};

enum class Outcome { Refused, RefusedByReader, Audio, SilentSuccess };

Outcome Try(const std::string& path) {
  if (RunProbe(path) != 0) return Outcome::Refused;
  try {
    TAudioFileReader reader(path);
    std::vector<char> block(32768);
    uint64_t total = 0;
    // Enough to tell audio from none; how far a damaged file may run is the run's own guard.
    while (total < (64u << 20)) {
      const uint32_t got = reader.ReadBlock(block.data(), uint32_t(block.size()));
      if (got == 0) break;
      total += got;
    }
    return total > 0 ? Outcome::Audio : Outcome::SilentSuccess;
  } catch (const EAudioReadError&) {
    return Outcome::RefusedByReader;
  }
}

TEST(MultiRateDamaged, EveryVariantIsReadAsFarAsSoundOrRefused) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const std::string folder = dir.path().toStdString();
  const std::string best = MakeToneSource(folder, ToneSource::Ac3High, 1);
  const std::string next = MakeToneSource(folder, ToneSource::Aac, 1);
  ASSERT_FALSE(best.empty() || next.empty());
  MultiRateMap map;
  const std::string base = MergeToMultiRate({best, next}, &map);
  ASSERT_FALSE(base.empty());

  const std::vector<Variant> variants = Variants(base, map).Make();
  ASSERT_GE(variants.size(), 300u);
  av_log_set_level(AV_LOG_QUIET);  // thousands of complaints about the damage are expected
  DefaultSettings = TDefaultSettings();
  Watchdog watchdog(std::chrono::seconds(120));
  int counts[4] = {};
  const std::string path = folder + "/damaged.rm";
  for (const Variant& variant : variants) {
    watchdog.Start(variant.name);
    WriteWholeFile(path, variant.bytes);
    const Outcome outcome = Try(path);
    ++counts[int(outcome)];
    EXPECT_NE(outcome, Outcome::SilentSuccess) << variant.name << ": accepted, then no audio and no error";
  }
  av_log_set_level(AV_LOG_INFO);
  std::printf("%zu variants: %d refused by the probe, %d by the reader, %d with audio\n", variants.size(),
              counts[0], counts[1], counts[2]);
  // The damage leaves many variants sound enough to read: the reading is not simply refused.
  EXPECT_GT(counts[int(Outcome::Audio)], 100);
}

uint32_t BE(const std::string& bytes, std::size_t at, int width) {
  uint32_t value = 0;
  for (int k = 0; k < width; ++k) value = value << 8 | uint8_t(bytes.at(at + k));
  return value;
}

// Where the k-th packet of a stream starts, in a chain of DATA chunks.
std::size_t StreamPacket(const std::string& bytes, int stream, int k) {
  for (std::size_t data = RmChunks(bytes).back().offset; data > 0; data = BE(bytes, data + 14, 4)) {
    for (std::size_t at = data + 18; at < data + BE(bytes, data + 4, 4); at += BE(bytes, at + 2, 2)) {
      if (int(BE(bytes, at + 4, 2)) == stream && k-- == 0) return at;
    }
  }
  return 0;
}

// The offset of the stream header of this number (its chunk's start).
std::size_t StreamHeader(const std::string& bytes, int number) {
  for (const RmChunk& chunk : RmChunks(bytes)) {
    if (chunk.id == "MDPR" && int(BE(bytes, chunk.offset + 10, 2)) == number) return chunk.offset;
  }
  return 0;
}

std::size_t ChunkAt(const std::string& bytes, const char* id) {
  for (const RmChunk& chunk : RmChunks(bytes)) {
    if (chunk.id == id) return chunk.offset;
  }
  return 0;
}

std::string Put(std::string bytes, std::size_t at, uint32_t value, int width) {
  PutBE(bytes, at, value, width);
  return bytes;
}

// Every packet of a stream twice, or one packet of it again cut to a size its codec never has.
std::string Doubled(const std::string& bytes, int stream) {
  return EditPackets(bytes, [stream](const std::string& packet, std::size_t) {
    return int(BE(packet, 4, 2)) == stream ? packet + packet : packet;
  });
}
std::string WithAShortPacket(const std::string& bytes, int stream, std::size_t after) {
  return EditPackets(bytes, [=](const std::string& packet, std::size_t index) {
    if (index != after || int(BE(packet, 4, 2)) != stream) return packet;
    std::string cut = packet.substr(0, 313);
    PutBE(cut, 2, 313, 2);
    return packet + cut;
  });
}

struct Conversion {
  int probe = -1;
  double shown = 0, decoded = 0, stated = 0;  // seconds: the probe's, the reader's audio, its word
  int rate = 0;
  bool lowerForCut = false;
};

Conversion Convert(const std::string& path) {
  Conversion result;
  result.probe = RunProbe(path);
  if (result.probe != 0) return result;
  result.shown = CurrentTask.Duration / 1e7;
  result.rate = CurrentTask.SourceSampleRate;
  TAudioFileReader reader(path);
  result.lowerForCut = reader.TookLowerRateForCut();
  std::vector<char> block(32768);
  uint64_t total = 0;
  while (const uint32_t got = reader.ReadBlock(block.data(), uint32_t(block.size()))) total += got;
  const int frameBytes = (reader.MonoSource() ? 1 : 2) * (reader.ByteSource() ? 1 : 2);
  result.decoded = double(total) / frameBytes / reader.StreamFormat().nSamplesPerSec;
  result.stated = reader.StreamDuration() / 1e7;
  return result;
}

// Single damages of the real files, as a user's damaged archive presents them: each keeps the audio
// the file still holds (rate 0: any stream), states a playing time that agrees with it or is warned
// (the audio far short of the stated time), and says when a cut took the better rate away.
TEST(MultiRateDamaged, ARealFileKeepsWhatItHolds) {
  TOLVANE_REQUIRE_SAMPLE(cookFile, "multirate-cook.ra");
  TOLVANE_REQUIRE_SAMPLE(aacFile, "multirate-aac.ra");
  TOLVANE_REQUIRE_SAMPLE(singleFile, "firstrun.rm");
  const std::string cook = ReadWholeFile(cookFile), aac = ReadWholeFile(aacFile);
  const std::string single = ReadWholeFile(singleFile);
  const std::size_t data = ChunkAt(cook, "DATA"), cont = ChunkAt(cook, "CONT");
  const std::size_t logical = cook.find("logical-audio");
  const std::size_t second = cook.find(".ra\xFD", cook.find(".ra\xFD") + 1);
  const struct {
    const char* name;
    std::string bytes;
    int rate;
    double seconds;  // of audio, within a second (a damaged packet costs at most itself)
    bool warned, lowerForCut;
  } damages[] = {
      {"a packet header's version", Put(cook, StreamPacket(cook, 1, 1), 0xFFFF, 2), 44100, 208, false, false},
      {"a packet header's length", Put(cook, StreamPacket(cook, 1, 500) + 2, 0xFFFF, 2), 44100, 208, false,
       false},
      {"a packet length below its header", Put(cook, StreamPacket(cook, 1, 700) + 2, 5, 2), 44100, 208, false,
       false},
      {"a packet timestamp far ahead", Put(cook, StreamPacket(cook, 1, 900) + 6, 4294867000u, 4), 44100, 208,
       false, false},
      {"two adjacent timestamps far ahead",
       Put(Put(cook, StreamPacket(cook, 0, 300) + 6, 0xF00000, 4), StreamPacket(cook, 0, 301) + 6, 0xF00100,
           4),
       44100, 208, false, false},
      {"a packet of a size cook never has", WithAShortPacket(cook, 1, 1500), 44100, 208, false, false},
      {"the block height", Put(cook, second + 40, 1, 2), 22050, 208, false, false},
      {"a packet of another stream", Put(aac, StreamPacket(aac, 0, 1) + 4, 1, 2), 32000, 207, false, false},
      {"every packet doubled", Doubled(aac, 1), 32000, 207, false, false},
      {"the next DATA pointer inside its chunk", Put(cook, data + 14, uint32_t(data + 100), 4), 44100, 208,
       false, false},
      {"the next DATA pointer 0xFFFFFFFF", Put(cook, data + 14, 0xFFFFFFFF, 4), 44100, 208, false, false},
      {"a lowered playing time", Put(cook, StreamHeader(cook, 1) + 36, 30000, 4), 44100, 208, false, false},
      {"a playing time of 49 days", Put(cook, StreamHeader(cook, 1) + 36, 0xFFFFFFFF, 4), 44100, 208, false,
       false},
      {"a header number made the other's", Put(cook, StreamHeader(cook, 1) + 10, 0, 2), 44100, 208, false,
       false},
      {"the first header number made the other's", Put(aac, StreamHeader(aac, 0) + 10, 1, 2), 32000, 207,
       false, false},
      {"the logical MIME type", Put(cook, logical, 0x78, 1), 44100, 208, false, false},
      {"the title length", Put(cook, cont + 10, 0xFFFF, 2), 44100, 208, false, false},
      {"the title length, single-rate", Put(single, ChunkAt(single, "CONT") + 10, 0xFFFF, 2), 0, 18, false,
       false},
      {"the CONT size one byte off", Put(cook, cont + 4, 65, 4), 44100, 208, false, false},
      {"the CONT size 0xFFFFFFFF", Put(cook, cont + 4, 0xFFFFFFFF, 4), 44100, 208, false, false},
      {"a stream header's size", Put(cook, StreamHeader(cook, 0) + 4, 0x10000, 4), 44100, 208, false, false},
      {"cut at 80 %", cook.substr(0, cook.size() * 8 / 10), 22050, 208, false, true},
      {"cut at 1 %", cook.substr(0, cook.size() / 100), 22050, 6.2, true, true},
  };
  QTemporaryDir dir;
  const std::string path = dir.path().toStdString() + "/damaged.ra";
  DefaultSettings = TDefaultSettings();
  for (const auto& damage : damages) {
    WriteWholeFile(path, damage.bytes);
    const Conversion got = Convert(path);
    if (got.probe != 0) {
      ADD_FAILURE() << damage.name << ": refused";
      continue;
    }
    if (damage.rate != 0) {
      EXPECT_EQ(got.rate, damage.rate) << damage.name;
    }
    EXPECT_NEAR(got.decoded, damage.seconds, 1.0) << damage.name;
    // Where no stream is whole the probe shows what the file holds; the run then warns against the
    // stated time.
    EXPECT_NEAR(got.shown, got.decoded, 1.5) << damage.name;
    EXPECT_EQ(got.stated > got.decoded * 1.1 + 2, damage.warned) << damage.name << ": " << got.stated;
    EXPECT_EQ(got.lowerForCut, damage.lowerForCut) << damage.name;
  }
}

}  // namespace
