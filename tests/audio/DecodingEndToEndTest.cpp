// Every audio test file converted end to end through TDX9In and the MP3 sink, checked with an
// independent decoder: length, tone and tags.
#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <cmath>
#include <numeric>

#include "tests/audio/DecodingConversion.h"
#include "tests/support/MediaReader.h"
#include "tests/support/TestEnvironment.h"

namespace {

struct Case {
  const char* file;
  double tone;
  const char* title;
  const char* author;
  const char* comment;
};

const Case kCases[] = {
    {"ra144.ra", 440, "Tone 440", "Tolvane Tests", "RealAudio 14.4 in .ra"},
    {"ra144.rm", 550, "Tone 550", "Tolvane Tests", "RealAudio 14.4 in .rm"},
    {"ac3-stereo.rm", 1000, "Café Ünïcødé — Привет 音楽", "Åsa Ørsted / Дмитрий / 山田太郎",
     "Grüße, мир, 你好"},
    {"aac.rm", 660, "Tone 660", "Tolvane Tests", "AAC in .rm"},
    {"video-ac3-mono.rmvb", 880, "Tone 880", "Tolvane Tests", "RealVideo with AC-3 mono"},
    {"u8-mono.wav", 330, "Tone 330", "Tolvane Tests", "8-bit unsigned mono"},
    {"surround51.rm", 770, "Tone 770", "Tolvane Tests", "AC-3 5.1 surround"},
};

// The strongest frequency with any constant offset taken out first.
double ToneOf(std::vector<float> samples, int rate) {
  if (samples.empty()) return 0;
  const double mean = std::accumulate(samples.begin(), samples.end(), 0.0) / samples.size();
  for (float& s : samples) s -= float(mean);
  return DominantFrequency(samples, rate);
}

void PrintTo(const Case& c, std::ostream* os) { *os << c.file; }

class DecodingEndToEnd : public ::testing::TestWithParam<Case> {};

}  // namespace

TEST_P(DecodingEndToEnd, ConvertsWholeWithToneAndTags) {
  const Case& c = GetParam();
  QTemporaryDir dir;
  const std::string mp3 = dir.path().toStdString() + "/out.mp3";
  const std::string source = TestDataFile(c.file);
  const DecodingTags tags{c.title, c.author, "Decoding Tests", "2024", "Speech", c.comment};

  const DecodingOutcome outcome = ConvertWithDX9(source, mp3, tags);
  ASSERT_TRUE(outcome.done) << outcome.openError << outcome.threadError;

  const DecodedMedia in = DecodeMedia(source);
  const DecodedMedia out = DecodeMedia(mp3);
  ASSERT_TRUE(in.ok) << in.error;
  ASSERT_TRUE(out.ok) << out.error;
  EXPECT_EQ(out.formatName, "mp3");
  EXPECT_EQ(out.sampleRate, 44100);
  EXPECT_EQ(out.channels, 2);
  EXPECT_NEAR(out.bitRate, 192000, 1000);
  EXPECT_NEAR(out.DecodedSeconds(), in.DecodedSeconds(), 0.1);
  EXPECT_NEAR(outcome.streamDuration / 1e7, in.containerSeconds, 0.05);
  for (int ch = 0; ch < 2; ++ch) EXPECT_NEAR(ToneOf(out.samples[ch], 44100), c.tone, 10) << "channel " << ch;

  EXPECT_EQ(out.tags.at("title"), c.title);
  EXPECT_EQ(out.tags.at("artist"), c.author);
  EXPECT_EQ(out.tags.at("album"), "Decoding Tests");
  EXPECT_EQ(out.tags.at("comment"), c.comment);
  EXPECT_EQ(out.tags.at("genre"), "Speech");
  // The container texts the run takes its title from are there in the source.
  EXPECT_EQ(in.tags.at("title"), c.title);
}

INSTANTIATE_TEST_SUITE_P(AudioFiles, DecodingEndToEnd, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<Case>& info) {
                           std::string name = info.param.file;
                           for (char& ch : name) {
                             if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
                           }
                           return name;
                         });

TEST(DecodingEndToEndFailures, FileWithoutAudioFailsAtOpen) {
  QTemporaryDir dir;
  const DecodingOutcome outcome =
      ConvertWithDX9(TestDataFile("video-only.rm"), dir.path().toStdString() + "/out.mp3", {});
  EXPECT_FALSE(outcome.done);
  EXPECT_EQ(outcome.openError, "No stream can be found with the specified attributes.");
}
