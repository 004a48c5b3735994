// What the probe (and so the editor and tolvane-inspect) makes of multi-rate RealMedia files: the
// best decodable stream's format and playing time. And what the one opener lets through at all:
// no playlist that reads other files, and a slow disk that is given its time.
#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <atomic>
#include <chrono>
#include <thread>

#include "core/Settings.h"
#include "core/TaskList.h"
#include "probe/OpenedMedia.h"
#include "tests/probe/ProbeRun.h"
#include "tests/support/MultiRateMaker.h"
#include "tests/support/TestEnvironment.h"

namespace {

class MultiRateProbe : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir_.isValid());
    DefaultSettings = TDefaultSettings();
  }
  std::string Folder() const { return dir_.path().toStdString(); }
  std::string Source(ToneSource source) {
    const std::string path = MakeToneSource(Folder(), source, 3);
    EXPECT_FALSE(path.empty()) << "the ffmpeg tool could not make a source";
    return path;
  }
  std::string Merged(const std::vector<std::string>& sources, const std::string& name = "merged.rm") {
    const std::string bytes = MergeToMultiRate(sources);
    EXPECT_FALSE(bytes.empty());
    const std::string path = Folder() + "/" + name;
    WriteWholeFile(path, bytes);
    return path;
  }

  QTemporaryDir dir_;
};

TEST_F(MultiRateProbe, ShowsTheHighestBitrateStreamWithItsPlayingTime) {
  // Whatever the order in the file, the 192 kbps stream is the one shown.
  const std::string path =
      Merged({Source(ToneSource::Ra144), Source(ToneSource::Aac), Source(ToneSource::Ac3High)});
  ASSERT_EQ(RunProbe(path), 0);
  EXPECT_EQ(CurrentTask.SourceSampleRate, 48000);
  EXPECT_EQ(CurrentTask.SourceChannels, 2);
  // PROP says 0: the time comes from the stream headers.
  EXPECT_NEAR(CurrentTask.Duration / 1e7, 3.0, 0.1);
  EXPECT_EQ(CurrentTask.Title, "Multi Rate Tones");
  EXPECT_EQ(CurrentTask.Artist, "Tolvane Tests");
}

TEST_F(MultiRateProbe, AStreamThisFfmpegCannotDecodeIsPassedOver) {
  MultiRateMap map;
  std::string bytes = MergeToMultiRate({Source(ToneSource::Ac3High), Source(ToneSource::Aac)}, &map);
  ASSERT_EQ(map.raHeaders.size(), 2u);
  const std::size_t letters = bytes.find("dnet", map.raHeaders[0]);  // the best stream's codec
  ASSERT_NE(letters, std::string::npos);
  bytes.replace(letters, 4, "xyzw");
  const std::string path = Folder() + "/unknown-codec.rm";
  WriteWholeFile(path, bytes);
  ASSERT_EQ(RunProbe(path), 0);
  EXPECT_EQ(CurrentTask.SourceSampleRate, 32000);
}

TEST_F(MultiRateProbe, RealMultiRateFilesShowTheirBestStream) {
  TOLVANE_REQUIRE_SAMPLE(cook, "multirate-cook.ra");
  TOLVANE_REQUIRE_SAMPLE(aac, "multirate-aac.ra");
  ASSERT_EQ(RunProbe(cook), 0);
  EXPECT_EQ(CurrentTask.SourceSampleRate, 44100);
  EXPECT_EQ(CurrentTask.SourceChannels, 2);
  EXPECT_NEAR(CurrentTask.Duration / 1e7, 208.0, 2.0);  // about 3:28
  EXPECT_EQ(CurrentTask.Title, "multirate-cook");       // its CONT texts are empty
  ASSERT_EQ(RunProbe(aac), 0);
  EXPECT_EQ(CurrentTask.SourceSampleRate, 32000);
  EXPECT_EQ(CurrentTask.SourceChannels, 2);
  EXPECT_NEAR(CurrentTask.Duration / 1e7, 207.5, 2.0);
}

TEST_F(MultiRateProbe, APlaylistThatNamesAnotherFileIsUnreadable) {
  // An HLS playlist under a RealMedia name, listing a local ADTS file that FFmpeg could read.
  const std::string aac = Folder() + "/tone.aac";
  ASSERT_TRUE(
      RunFfmpeg({"-f", "lavfi", "-i", "sine=frequency=440:duration=2", "-c:a", "aac", "-f", "adts", aac}));
  const std::string playlist = Folder() + "/playlist.rm";
  WriteWholeFile(playlist, "#EXTM3U\n#EXT-X-TARGETDURATION:10\n#EXTINF:3,\ntone.aac\n#EXT-X-ENDLIST\n");
  EXPECT_EQ(RunProbe(playlist), 1);
  OpenedMedia media;
  EXPECT_LT(media.Open(playlist.c_str()), 0);
}

// 256 stream headers, far more empty packets of no declared stream than a real file holds, then one
// undecodable packet a stream: refused after reading little more than the file once, and a second
// open of the unchanged file walks none of its packets again.
TEST_F(MultiRateProbe, AHostileFileIsRefusedAfterReadingItAboutOnce) {
  for (const uint64_t empty : {uint64_t{10} << 20, uint64_t{100} << 20}) {
    const std::string path = Folder() + "/hostile.rm";
    const std::string bytes = ManyStreamsBehindEmptyPackets(256, empty);
    WriteWholeFile(path, bytes);
    const uint64_t size = bytes.size();
    // A layout is kept only for a file whose last change is a moment old.
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    OpenedMedia media;
    EXPECT_EQ(media.Open(path.c_str()), AVERROR_INVALIDDATA);
    EXPECT_GE(media.FileBytesRead(), size);
    EXPECT_LT(media.FileBytesRead(), size + (4u << 20)) << empty;
    EXPECT_EQ(media.Open(path.c_str()), AVERROR_INVALIDDATA);
    EXPECT_LT(media.FileBytesRead(), 1u << 20) << empty;
    EXPECT_EQ(RunProbe(path), 1);
  }
}

// A disk that takes its time, as a sleeping USB disk does: the first read waits 8 seconds, longer than
// a budget for the whole open would allow, but then the bytes come.
std::atomic<int> slowReads{0};
void SlowRead() {
  if (slowReads.fetch_add(1) == 0) std::this_thread::sleep_for(std::chrono::seconds(8));
}

TEST_F(MultiRateProbe, ASlowDiskStillOpens) {
  slowReads = 0;
  OpenedMedia::readHookForTests = &SlowRead;
  const int32_t result = RunProbe(TestDataFile("ac3-stereo.rm"));
  OpenedMedia::readHookForTests = nullptr;
  EXPECT_GE(slowReads.load(), 1);
  EXPECT_EQ(result, 0);
  EXPECT_EQ(CurrentTask.SourceSampleRate, 44100);
}

// A run of more multi-rate files than a handful: each is walked once, when it is added, and not again
// when it is converted.
TEST_F(MultiRateProbe, ARunOfManyFilesWalksEachOnce) {
  TOLVANE_REQUIRE_SAMPLE(cook, "multirate-cook.ra");
  const std::string bytes = ReadWholeFile(cook);
  std::vector<std::string> paths;
  for (int k = 0; k < 12; ++k) {
    paths.push_back(Folder() + "/run" + std::to_string(k) + ".ra");
    WriteWholeFile(paths.back(), bytes);
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(200));  // a layout is kept once the file settled
  for (const std::string& path : paths) {
    OpenedMedia media;
    ASSERT_EQ(media.Open(path.c_str()), 0);
  }
  for (const std::string& path : paths) {
    OpenedMedia media;
    ASSERT_EQ(media.Open(path.c_str()), 0);
    EXPECT_LT(media.FileBytesRead(), bytes.size() / 2) << path << " was walked again";
  }
}

// A walk of the packets that takes longer than the stall limit (a slow share, several tasks walking
// at once) is progress, not a stall.
void SlowWalk() {
  if (slowReads.fetch_add(1) == 0)
    std::this_thread::sleep_for(OpenedMedia::kStallLimit + std::chrono::seconds(1));
}

TEST_F(MultiRateProbe, AWalkSlowedPastTheStallLimitStillOpens) {
  TOLVANE_REQUIRE_SAMPLE(cook, "multirate-cook.ra");
  const std::string path = Folder() + "/slow.ra";
  WriteWholeFile(path, ReadWholeFile(cook));
  slowReads = 0;
  OpenedMedia::readHookForTests = &SlowWalk;
  OpenedMedia media;
  const int opened = media.Open(path.c_str());
  OpenedMedia::readHookForTests = nullptr;
  EXPECT_EQ(opened, 0);
}

// 8 MB of DATA where every resynchronisation must search 120 KB whose every fourth byte starts a
// declared stream's header with a length that leads 60 KB ahead into nothing: the search reads what it
// looks at once, so the open ends within its bound, reading the file a few times at most.
TEST_F(MultiRateProbe, ACraftedResynchronisationFileOpensWithinItsBound) {
  TOLVANE_REQUIRE_SAMPLE(cook, "multirate-cook.ra");
  const std::string sample = ReadWholeFile(cook);
  const std::size_t data = sample.find("DATA", 1500);
  ASSERT_NE(data, std::string::npos);
  const std::string packets = sample.substr(data + 18, 2 * 600 + 2 * 12);  // two packets of stream 0
  std::string pattern;
  for (int k = 0; k < 30000; ++k) pattern += std::string("\0\0\xF0\x02", 4);
  std::string body;
  while (body.size() < (8u << 20)) body += packets + pattern;
  std::string bytes = sample.substr(0, data + 18) + body;
  for (int k = 0; k < 4; ++k) bytes[data + 4 + k] = char(((body.size() + 18) >> (24 - 8 * k)) & 0xFF);
  for (int k = 0; k < 4; ++k) bytes[data + 14 + k] = 0;  // no next DATA chunk
  const std::string path = Folder() + "/resync.rm";
  WriteWholeFile(path, bytes);
  OpenedMedia media;
  const int opened = media.Open(path.c_str());
  EXPECT_TRUE(opened == 0 || opened == AVERROR_INVALIDDATA) << opened;
  EXPECT_LT(media.FileBytesRead(), 6 * bytes.size());
}

}  // namespace
