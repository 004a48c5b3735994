// Multi-rate RealMedia files converted end to end through TDX9In and the MP3 sink: the best decodable
// stream, whole, checked with an independent decoder against that stream's own single-rate source.
#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <numeric>

#include "audio/AudioFileRead.h"
#include "tests/audio/DecodingConversion.h"
#include "tests/support/MediaReader.h"
#include "tests/support/MultiRateMaker.h"
#include "tests/support/TestEnvironment.h"

namespace {

// The strongest frequency with any constant offset taken out first.
double ToneOf(std::vector<float> samples, int rate) {
  if (samples.empty()) return 0;
  const double mean = std::accumulate(samples.begin(), samples.end(), 0.0) / samples.size();
  for (float& s : samples) s -= float(mean);
  return DominantFrequency(samples, rate);
}

class MultiRateConversion : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(dir_.isValid()); }
  std::string Folder() const { return dir_.path().toStdString(); }
  std::string Source(ToneSource source) {
    const std::string path = MakeToneSource(Folder(), source, 3);
    EXPECT_FALSE(path.empty()) << "the ffmpeg tool could not make a source";
    return path;
  }
  // Converts the file and expects the MP3 to hold the whole of source's tone.
  void ExpectConvertsLike(const std::string& file, const std::string& source, ToneSource tone) {
    const std::string mp3 = Folder() + "/out.mp3";
    const DecodingOutcome outcome = ConvertWithDX9(file, mp3, {});
    ASSERT_TRUE(outcome.done) << outcome.openError << outcome.threadError;
    const DecodedMedia in = DecodeMedia(source);
    const DecodedMedia out = DecodeMedia(mp3);
    ASSERT_TRUE(in.ok) << in.error;
    ASSERT_TRUE(out.ok) << out.error;
    EXPECT_NEAR(out.DecodedSeconds(), in.DecodedSeconds(), 0.1);
    if (in.containerSeconds > 0) {
      EXPECT_NEAR(outcome.streamDuration / 1e7, in.containerSeconds, 0.1);
    }
    for (int ch = 0; ch < 2; ++ch) {
      EXPECT_NEAR(ToneOf(out.samples[ch], out.sampleRate), ToneFrequency(tone), 10) << "channel " << ch;
    }
  }

  QTemporaryDir dir_;
};

TEST_F(MultiRateConversion, TheHighestBitrateStreamConvertsWhole) {
  const std::string best = Source(ToneSource::Ac3High);
  const std::string merged = Folder() + "/merged.rm";
  WriteWholeFile(merged, MergeToMultiRate({Source(ToneSource::Aac), best, Source(ToneSource::Ra144)}));
  ExpectConvertsLike(merged, best, ToneSource::Ac3High);
}

TEST_F(MultiRateConversion, AnotherMixChoosesByBitrateNotByOrder) {
  const std::string best = Source(ToneSource::Ac3Low);  // 96 kbps over AAC's 64
  const std::string merged = Folder() + "/merged.rm";
  WriteWholeFile(merged, MergeToMultiRate({Source(ToneSource::Ra144), Source(ToneSource::Aac), best}));
  ExpectConvertsLike(merged, best, ToneSource::Ac3Low);
}

TEST_F(MultiRateConversion, ABestStreamThatDecodesNothingGivesWayToTheNext) {
  MultiRateMap map;
  const std::string next = Source(ToneSource::Aac);
  std::string bytes = MergeToMultiRate({Source(ToneSource::Ac3High), next}, &map);
  // Every packet of stream 0 keeps its header but carries zeros: nothing an AC-3 decoder can use.
  for (const std::size_t at : map.packetStarts) {
    if (bytes[at + 4] != 0 || bytes[at + 5] != 0) continue;
    const std::size_t length = std::size_t(uint8_t(bytes[at + 2])) << 8 | uint8_t(bytes[at + 3]);
    std::fill(bytes.begin() + at + 13, bytes.begin() + at + length, '\0');
  }
  const std::string merged = Folder() + "/merged.rm";
  WriteWholeFile(merged, bytes);
  ExpectConvertsLike(merged, next, ToneSource::Aac);
}

TEST_F(MultiRateConversion, AStreamCoveringLittleOfTheFileIsPassedOver) {
  // A packet or two of the top bitrate beside a whole stream of a lower one.
  const std::string whole = Source(ToneSource::Ac3Low);
  const std::string merged = Folder() + "/merged.rm";
  WriteWholeFile(merged, MergeToMultiRate({MakeToneSource(Folder(), ToneSource::Ac3High, 0.03), whole}));
  ExpectConvertsLike(merged, whole, ToneSource::Ac3Low);
}

TEST_F(MultiRateConversion, EmptyPacketsInARealFileChangeNothing) {
  TOLVANE_REQUIRE_SAMPLE(sample, "multirate-cook.ra");
  // An empty packet (its length that of its header) after every third packet.
  const std::string copy = Folder() + "/empty-packets.ra";
  WriteWholeFile(copy, EditPackets(ReadWholeFile(sample), [](const std::string& packet, std::size_t k) {
                   std::string empty = packet.substr(0, 13);
                   empty[2] = 0;
                   empty[3] = 13;
                   return k % 3 == 2 ? packet + empty : packet;
                 }));
  const std::string copyMp3 = Folder() + "/copy.mp3", ownMp3 = Folder() + "/own.mp3";
  ASSERT_TRUE(ConvertWithDX9(copy, copyMp3, {}).done);
  ASSERT_TRUE(ConvertWithDX9(sample, ownMp3, {}).done);
  const DecodedMedia fromCopy = DecodeMedia(copyMp3), own = DecodeMedia(ownMp3);
  EXPECT_NEAR(fromCopy.DecodedSeconds(), own.DecodedSeconds(), 0.2);
  EXPECT_GT(LoudnessCorrelation(fromCopy, own), 0.98);
}

// The bytes ReadBlock delivers from the reader's position to the end.
uint64_t BytesToEnd(TAudioFileReader& reader) {
  std::vector<char> block(32768);
  uint64_t total = 0;
  while (const uint32_t got = reader.ReadBlock(block.data(), uint32_t(block.size()))) total += got;
  return total;
}

TEST_F(MultiRateConversion, TheReaderSeeksInTheViewAsInTheSingleRateFile) {
  const std::string best = Source(ToneSource::Ac3High);
  const std::string merged = Folder() + "/merged.rm";
  WriteWholeFile(merged, MergeToMultiRate({best, Source(ToneSource::Aac)}));
  TAudioFileReader view(merged), single(best);
  const uint64_t whole = BytesToEnd(view);
  EXPECT_EQ(whole, BytesToEnd(single));
  view.SeekTime(15000000);
  single.SeekTime(15000000);
  EXPECT_EQ(BytesToEnd(view), BytesToEnd(single));
  view.SeekTime(0);
  EXPECT_EQ(BytesToEnd(view), whole);
}

TEST_F(MultiRateConversion, TheReaderSeeksInARealFile) {
  TOLVANE_REQUIRE_SAMPLE(sample, "multirate-cook.ra");
  TAudioFileReader reader(sample);
  const uint64_t whole = BytesToEnd(reader);
  reader.SeekTime(reader.StreamDuration() / 2);
  EXPECT_NEAR(double(BytesToEnd(reader)), whole / 2.0, whole * 0.02);
  reader.SeekTime(0);
  EXPECT_EQ(BytesToEnd(reader), whole);
}

struct RealFile {
  const char* label;
  const char* name;
  int sampleRate;
};

class RealMultiRateConversion : public ::testing::TestWithParam<RealFile> {};

TEST_P(RealMultiRateConversion, ConvertsTheBestStreamWhole) {
  TOLVANE_REQUIRE_SAMPLE(sample, GetParam().name);
  {
    const TAudioFileReader reader(sample);
    EXPECT_EQ(reader.StreamFormat().nSamplesPerSec, uint32_t(GetParam().sampleRate));
    EXPECT_FALSE(reader.MonoSource());
  }
  QTemporaryDir dir;
  const std::string mp3 = dir.path().toStdString() + "/out.mp3";
  const DecodingOutcome outcome = ConvertWithDX9(sample, mp3, {});
  ASSERT_TRUE(outcome.done) << outcome.openError << outcome.threadError;
  const double stated = outcome.streamDuration / 1e7;
  EXPECT_NEAR(stated, 208.0, 2.0);
  const DecodedMedia out = DecodeMedia(mp3);
  ASSERT_TRUE(out.ok) << out.error;
  EXPECT_NEAR(out.DecodedSeconds(), stated, stated * 0.01);
}

INSTANTIATE_TEST_SUITE_P(Samples, RealMultiRateConversion,
                         ::testing::Values(RealFile{"cook", "multirate-cook.ra", 44100},
                                           RealFile{"aac", "multirate-aac.ra", 32000}),
                         [](const ::testing::TestParamInfo<RealFile>& info) {
                           return std::string(info.param.label);
                         });

}  // namespace
