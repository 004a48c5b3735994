// Hundreds of damaged files, made from the test files with a fixed seed, through the probe and every
// tag parser: none may crash, hang, read out of bounds (the sanitizer builds watch) or hand out a
// text that is not UTF-8.
#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <iostream>
#include <random>
#include <string>
#include <vector>

extern "C" {
#include <libavutil/log.h>
}

#include "MediaEditing.h"
#include "core/Settings.h"
#include "core/TaskList.h"
#include "probe/ProbeMedia.h"
#include "probe/ReadTags.h"
#include "probe/TextDecoding.h"
#include "tests/probe/ProbeRun.h"
#include "tests/support/TestEnvironment.h"

namespace {

struct DamagedFile {
  std::string name;  // the extension chooses the tag parser
  std::string bytes;
};

class Corpus {
 public:
  explicit Corpus(uint32_t seed) : random_(seed) {}

  void Add(const std::string& name, std::string bytes) { files_.push_back({name, std::move(bytes)}); }
  const std::vector<DamagedFile>& Files() const { return files_; }
  std::size_t Below(std::size_t bound) { return bound == 0 ? 0 : random_() % bound; }

  // The file cut at chunk edges and at random places.
  void AddCuts(const std::string& stem, const std::string& ext, const std::string& bytes,
               const std::vector<std::size_t>& edges, int randomCuts) {
    std::vector<std::size_t> offsets = {1, 4, 8, 17, 18, 30, bytes.size() / 2, bytes.size() - 1};
    for (const std::size_t edge : edges) {
      for (const std::size_t near : {edge - 1, edge, edge + 1, edge + 9, edge + 12}) offsets.push_back(near);
    }
    for (int k = 0; k < randomCuts; ++k) offsets.push_back(Below(bytes.size()));
    std::sort(offsets.begin(), offsets.end());
    offsets.erase(std::unique(offsets.begin(), offsets.end()), offsets.end());
    for (const std::size_t at : offsets) {
      if (at < bytes.size()) Add(stem + "-cut" + std::to_string(at) + ext, bytes.substr(0, at));
    }
  }

  // Random bytes of the file replaced: mostly in the header, where the parsers look.
  void AddFlips(const std::string& stem, const std::string& ext, const std::string& bytes, int variants) {
    for (int v = 0; v < variants; ++v) {
      std::string damaged = bytes;
      const std::size_t region = v % 2 == 0 ? std::min<std::size_t>(bytes.size(), 1024) : bytes.size();
      const std::size_t flips = 1 + Below(24);
      for (std::size_t k = 0; k < flips; ++k) damaged[Below(region)] = static_cast<char>(random_() & 0xFF);
      Add(stem + "-flip" + std::to_string(v) + ext, std::move(damaged));
    }
  }

 private:
  std::mt19937 random_;
  std::vector<DamagedFile> files_;
};

constexpr uint32_t kHostileSizes[] = {0, 1, 9, 0x7FFFFFFF, 0x80000000, 0xFFFFFFFF, 0xFFFFFFF6};

void AddRealMediaDamage(Corpus& corpus, const std::string& file) {
  const std::string bytes = ReadWholeFile(TestDataFile(file));
  const std::string ext = file.substr(file.rfind('.'));
  const std::string stem = file.substr(0, file.rfind('.'));
  const std::vector<RmChunk> chunks = RmChunks(bytes);
  std::vector<std::size_t> edges;
  for (const RmChunk& chunk : chunks) edges.push_back(chunk.offset);
  corpus.AddCuts(stem, ext, bytes, edges, 6);
  corpus.AddFlips(stem, ext, bytes, 8);

  for (std::size_t c = 0; c < chunks.size(); ++c) {
    for (const uint32_t size : kHostileSizes) {
      std::string damaged = bytes;
      PutBE32(damaged, chunks[c].offset + 4, size);
      corpus.Add(
          stem + "-" + chunks[c].id.substr(1) + std::to_string(c) + "size" + std::to_string(size) + ext,
          std::move(damaged));
    }
  }
  // A header that claims a billion headers and the most streams a 16-bit count can say.
  std::string claims = bytes;
  PutBE32(claims, 14, 1000000000);
  for (const RmChunk& chunk : chunks) {
    if (chunk.id == "PROP") claims[chunk.offset + 46] = claims[chunk.offset + 47] = '\xFF';
    if (chunk.id == "MDPR") claims[chunk.offset + 10] = claims[chunk.offset + 11] = '\xFF';
    // Text lengths that run far past the chunk.
    if (chunk.id == "CONT") claims[chunk.offset + 10] = claims[chunk.offset + 11] = '\xFF';
  }
  corpus.Add(stem + "-claims" + ext, claims);
  // The same bytes under the other parsers' names.
  corpus.Add(stem + "-as.wmv", bytes.substr(0, bytes.size() / 3));
  corpus.Add(stem + "-as.mov", bytes.substr(0, bytes.size() / 3));
}

void AddAsfDamage(Corpus& corpus, const std::string& bytes) {
  // Object edges: the header preamble, then each object by its 64-bit size.
  std::vector<std::size_t> edges = {30};
  for (std::size_t pos = 30; pos + 24 <= bytes.size();) {
    uint64_t size = 0;
    for (int k = 7; k >= 0; --k) size = (size << 8) | static_cast<unsigned char>(bytes[pos + 16 + k]);
    if (size < 24) break;
    pos += size;
    edges.push_back(pos);
  }
  corpus.AddCuts("asf", ".wmv", bytes, edges, 8);
  corpus.AddFlips("asf", ".wmv", bytes, 10);
  for (std::size_t e = 0; e + 1 < edges.size(); ++e) {
    for (const uint32_t size : kHostileSizes) {
      std::string damaged = bytes;
      PutLE32(damaged, edges[e] + 16, size);
      PutLE32(damaged, edges[e] + 20, size);
      corpus.Add("asf-object" + std::to_string(e) + "size" + std::to_string(size) + ".wmv",
                 std::move(damaged));
    }
  }
  std::string claims = bytes;
  PutLE32(claims, 24, 1000000000);   // a billion header objects
  claims[54] = claims[55] = '\xFF';  // 65535 extended descriptors
  corpus.Add("asf-claims.asf", claims);
  corpus.Add("asf-as.rm", bytes);
}

void AddQuickTimeDamage(Corpus& corpus, const std::string& bytes) {
  std::vector<std::size_t> edges;
  for (std::size_t pos = 0; pos + 8 <= bytes.size();) {
    uint32_t size = 0;
    for (int k = 0; k < 4; ++k) size = (size << 8) | static_cast<unsigned char>(bytes[pos + k]);
    edges.push_back(pos);
    if (size < 8) break;
    pos += size;
  }
  corpus.AddCuts("qt", ".mov", bytes, edges, 8);
  corpus.AddFlips("qt", ".mov", bytes, 10);
  for (std::size_t e = 0; e < edges.size(); ++e) {
    for (const uint32_t size : kHostileSizes) {
      std::string damaged = bytes;
      PutBE32(damaged, edges[e], size);
      corpus.Add("qt-atom" + std::to_string(e) + "size" + std::to_string(size) + ".mp4", std::move(damaged));
    }
  }
  corpus.Add("qt-as.rmvb", bytes);
}

void ExpectUtf8(const char* text, const std::string& what) {
  if (text) {
    EXPECT_TRUE(IsValidUtf8(text)) << what;
    EXPECT_EQ(WithoutControlCharacters(text), text) << what << ": a control character in a tag text";
  }
}

void ExpectUtf8Tags(const TTagInfo& tags, const std::string& what) {
  for (const char* text : {tags.TagTitle, tags.TagArtist, tags.TagAlbum, tags.TagYear, tags.TagComment,
                           tags.TagGenre, tags.TagComment2, tags.TagArtist2}) {
    ExpectUtf8(text, what);
  }
  EXPECT_GE(tags.TagDuration, 0) << what;
}

// Probes and parses every file of the corpus; none may crash, hang or give a text that is not UTF-8.
void ExpectEveryFileHandled(const Corpus& corpus) {
  QTemporaryDir dir;
  const std::string folder = dir.path().toStdString() + "/";
  FillBitrateTable();
  FreeAllTasks();
  SetProbeLibrary(RealProbeLibrary());
  double slowestSeconds = 0;
  std::string slowest;
  int accepted = 0;
  for (const DamagedFile& file : corpus.Files()) {
    SCOPED_TRACE(file.name);
    const std::string path = folder + file.name;
    WriteWholeFile(path, file.bytes);
    const auto start = std::chrono::steady_clock::now();

    DefaultSettings = TDefaultSettings{};
    const int32_t result = RunProbe(path);
    ASSERT_NE(result, -2) << "the probe did not finish";
    EXPECT_TRUE(result == 0 || result == 1 || result == 2);
    if (result == 0) {
      ++accepted;
      EXPECT_GE(CurrentTask.Duration, 0);
      for (const ShortText* text : {&CurrentTask.Title, &CurrentTask.Artist, &CurrentTask.Album,
                                    &CurrentTask.Comment, &CurrentTask.Genre, &CurrentTask.Year}) {
        EXPECT_TRUE(IsValidUtf8(text->str())) << file.name;
      }
    }

    TTagInfo tags;
    ReadTags(path, tags);
    ExpectUtf8Tags(tags, file.name);
    // Every parser on every file, whatever its name says.
    for (auto parser : {&parse_rm, &parse_wmv, &parse_mov, &getid3_id3v1}) {
      TTagInfo direct;
      parser(path.c_str(), &direct);
      ExpectUtf8Tags(direct, file.name);
    }
    ReleaseTagTexts();

    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (seconds > slowestSeconds) {
      slowestSeconds = seconds;
      slowest = file.name;
    }
    std::remove(path.c_str());
  }
  // Reported, not asserted: timing belongs to the benchmarks.
  std::cout << corpus.Files().size() << " damaged files, " << accepted << " accepted; slowest " << slowest
            << " in " << slowestSeconds << " s\n";
  CurrentTask = TTaskRecord{};
  DefaultSettings = TDefaultSettings{};
}

TEST(DamagedFilesTest, NoDamagedRealMediaFileBreaksTheProbeOrTheTagParsers) {
  av_log_set_level(AV_LOG_QUIET);
  Corpus corpus(20241208);
  for (const char* file : {"ra144.rm", "ac3-stereo.rm", "aac.rm", "video-ac3-mono.rmvb", "video-only.rm",
                           "surround51.rm", "ra144.ra"}) {
    AddRealMediaDamage(corpus, file);
  }
  corpus.Add("empty.rm", "");
  corpus.Add("empty.wmv", "");
  corpus.Add("notes.rm", "These are my notes about the concert.\nNothing here is RealMedia.\n");
  corpus.Add("rmf-only.rm", ".RMF");
  ASSERT_GE(corpus.Files().size(), 150u);
  ExpectEveryFileHandled(corpus);
}

TEST(DamagedFilesTest, NoDamagedWindowsMediaOrQuickTimeFileBreaksTheProbeOrTheTagParsers) {
  TOLVANE_REQUIRE_SAMPLE(asf, "ASF.wmv");
  TOLVANE_REQUIRE_SAMPLE(quickTime, "QuickTime.mov");
  av_log_set_level(AV_LOG_QUIET);
  Corpus corpus(20241208);
  AddAsfDamage(corpus, ReadWholeFile(asf));
  AddQuickTimeDamage(corpus, ReadWholeFile(quickTime));
  ASSERT_GE(corpus.Files().size(), 50u);
  ExpectEveryFileHandled(corpus);
}

}  // namespace
