// One file encoded in segments on several cores: the file decodes to exactly its source, with no
// decoder error, joins that cannot be measured, one right LAME/Xing tag, and the same bytes every time.
#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <cmath>

#include "Mp3FrameReader.h"
#include "SegmentedRun.h"
#include "audio/SegmentPlan.h"
#include "tests/support/MediaReader.h"
#include "tests/support/TestEnvironment.h"

namespace {

class MP3OutSegments : public ::testing::Test {
 protected:
  std::string Path(const std::string& name) const {
    return dir_.filePath(QString::fromStdString(name)).toStdString();
  }
  QTemporaryDir dir_;
};

// A tone with a slow sweep and a little noise, so that every frame differs.
std::vector<int16_t> Music(int rate, int channels, double seconds) {
  std::vector<int16_t> pcm;
  uint32_t noise = 1;
  for (int64_t i = 0; i < int64_t(seconds * rate); ++i) {
    const double t = double(i) / rate;
    noise = noise * 1664525u + 1013904223u;
    const double v = 0.4 * std::sin(2 * M_PI * (300 + 40 * t) * t) + 0.02 * (int32_t(noise) / 2147483648.0);
    for (int c = 0; c < channels; ++c) pcm.push_back(int16_t(std::lround(12000 * v * (c ? 0.8 : 1.0))));
  }
  return pcm;
}

TEST_F(MP3OutSegments, SettingsMatrixDecodesToTheSourceExactly) {
  struct Case {
    const char* name;
    int rate, channels;
    TMP3BitRate bitrate;
    bool vbr;
    TMP3SampleRate outRate;
    TMP3Mode mode;
  };
  const Case cases[] = {
      {"cbr128", 44100, 2, br128, false, sr41kHz, TMP3Mode::JOINT_STEREO},
      {"cbr32", 44100, 2, br32, false, sr41kHz, TMP3Mode::STEREO},
      {"cbr320", 48000, 2, br320, false, sr48kHz, TMP3Mode::STEREO},
      {"vbr", 44100, 2, br128, true, sr41kHz, TMP3Mode::JOINT_STEREO},
      {"mono32k", 32000, 1, br64, false, sr32kHz, TMP3Mode::MONO},
      {"mpeg2", 22050, 2, br64, false, srDefault, TMP3Mode::JOINT_STEREO},
      {"resampled", 22050, 2, br128, false, sr41kHz, TMP3Mode::JOINT_STEREO},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TPcmSource source(c.rate, c.channels, Music(c.rate, c.channels, 7.3));
    TMP3Out out;
    out.BitRate = c.bitrate;
    out.EnableVBR = out.WriteVBRHeader = c.vbr;
    out.VBRMinBitrate = 64;
    out.VBRMaxBitrate = 256;
    out.SampleRate = c.outRate;
    out.Mode = c.mode;
    out.Id3TagTitle = "Segments";
    out.SegmentSeconds = 2;
    const std::string one = Path("one.mp3"), split = Path("split.mp3"), again = Path("again.mp3");
    ASSERT_TRUE(EncodeWithCores(out, source, one, 0));
    ASSERT_TRUE(EncodeWithCores(out, source, split, 2));
    EXPECT_TRUE(out.Segmented());
    ASSERT_TRUE(EncodeWithCores(out, source, again, 2));
    EXPECT_EQ(ReadWholeFile(split), ReadWholeFile(again));
    EXPECT_EQ(FfmpegErrors(split), "");
    const DecodedMedia a = DecodeMedia(one), b = DecodeMedia(split);
    ASSERT_TRUE(b.ok) << b.error;
    // 32 kbit/s frames cannot hold the encoder's tag: both files then play their padding too. The
    // resampled file is as long as the encoder makes it.
    const int64_t frames = c.bitrate == br32 || (c.rate == 22050 && c.outRate != srDefault)
                               ? int64_t(a.samples[0].size())
                               : source.Frames() * b.sampleRate / c.rate;
    EXPECT_EQ(int64_t(a.samples[0].size()), frames);
    EXPECT_EQ(int64_t(b.samples[0].size()), frames);
    EXPECT_EQ(b.tags.at("title"), "Segments");
    if (c.bitrate == br32) continue;
    const TagCheck tag = CheckLameTag(ReadWholeFile(split)), tagOne = CheckLameTag(ReadWholeFile(one));
    EXPECT_EQ(tag.frames, tag.fileFrames);
    EXPECT_EQ(tag.bytes, tag.fileBytes);
    EXPECT_TRUE(tag.musicCrcRight && tag.tagCrcRight && tagOne.musicCrcRight && tagOne.tagCrcRight);
    EXPECT_EQ(tag.delay, 576);
    if (c.vbr)
      EXPECT_NEAR(double(tag.bytes), double(tagOne.bytes), 0.02 * double(tagOne.bytes));
    else
      EXPECT_EQ(tag.frames, tagOne.frames);
  }
}

TEST_F(MP3OutSegments, AFileOfOneSegmentIsTheOneEncodersFile) {
  TPcmSource source(44100, 2, Music(44100, 2, 3.0));
  TMP3Out out;
  out.Id3TagTitle = "Short";
  out.SegmentSeconds = 10;
  ASSERT_TRUE(EncodeWithCores(out, source, Path("none.mp3"), 0));
  ASSERT_TRUE(EncodeWithCores(out, source, Path("one.mp3"), 1));
  EXPECT_FALSE(out.Segmented());
  EXPECT_EQ(ReadWholeFile(Path("none.mp3")), ReadWholeFile(Path("one.mp3")));
  ASSERT_TRUE(EncodeWithCores(out, source, Path("split.mp3"), 2));
  EXPECT_TRUE(out.Segmented());
  EXPECT_EQ(ReadWholeFile(Path("one.mp3")), ReadWholeFile(Path("split.mp3")));
}

// Against the source, the windows within 4 frames of each join are as good as the one encoder's, and
// the high-passed residual shows no click there. A frame sounds 1105 samples before its place.
void ExpectJoinsUnmeasurable(const std::vector<int16_t>& pcm, const std::vector<int64_t>& joins,
                             const DecodedMedia& one, const DecodedMedia& split) {
  const int64_t frames = int64_t(pcm.size() / 2);
  ASSERT_EQ(int64_t(split.samples[0].size()), frames);
  ASSERT_GE(joins.size(), 2u);
  double nearClick = 0, elsewhereClick = 0;
  int64_t last = 0;
  for (const int64_t join : joins) {
    const int64_t from = (join - 4) * 1152 - 1105, to = (join + 4) * 1152 - 1105;
    for (int64_t start = from; start < to; start += 1152) {
      for (int ch = 0; ch < 2; ++ch) {
        const std::vector<int16_t> side(pcm.begin() + ch, pcm.end());
        const double a = WindowSnr(side, 2, one.samples[size_t(ch)], start, 1152);
        const double b = WindowSnr(side, 2, split.samples[size_t(ch)], start, 1152);
        EXPECT_GE(b, a - 1.0) << "join " << join << " window " << start << " channel " << ch;
      }
    }
    nearClick = std::max(nearClick, ClickPeak(pcm, 2, split.samples[0], from, to - from));
    elsewhereClick = std::max(elsewhereClick, ClickPeak(pcm, 2, split.samples[0], last, from - last));
    last = to;
  }
  EXPECT_LE(nearClick, elsewhereClick);
}

// A source whose neighbour task ends once it has delivered a given share of its audio.
class TNeighbourEndsSource : public TPcmSource {
 public:
  using TPcmSource::TPcmSource;
  int32_t ReadData(void* buffer, int32_t bufferSize) override {
    if (delivered_ == 0 && firstRead > 0) bufferSize = std::min(bufferSize, firstRead);
    const int32_t count = TPcmSource::ReadData(buffer, bufferSize);
    delivered_ += count;
    if (budget && !ended_ && delivered_ >= endAt) {
      ended_ = true;
      budget->TaskEnded();
    }
    return count;
  }
  void BeginRead() override {
    TPcmSource::BeginRead();
    delivered_ = 0;
    ended_ = false;
  }
  TCoreBudget* budget = nullptr;
  int64_t endAt = 0;      // bytes
  int32_t firstRead = 0;  // bytes the first read gives at most (0: a whole block)

 private:
  int64_t delivered_ = 0;
  bool ended_ = false;
};

// Two cores, the other held by a neighbour task: one encoder writes today's bytes; when the neighbour
// ends, the rest of the file goes on in segments, and the file is still its source, whole and tagged.
TEST_F(MP3OutSegments, ARunGoesOnInSegmentsWhenItsNeighbourEnds) {
  struct Case {
    const char* name;
    TMP3BitRate bitrate;
    bool vbr;
  };
  for (const Case& c : {Case{"cbr128", br128, false}, Case{"vbr", br128, true}, Case{"cbr48", br48, false}}) {
    SCOPED_TRACE(c.name);
    const std::vector<int16_t> pcm = Music(44100, 2, 12.0);
    TNeighbourEndsSource source(44100, 2, pcm);
    TMP3Out out;
    out.BitRate = c.bitrate;
    out.EnableVBR = out.WriteVBRHeader = c.vbr;
    out.Mode = TMP3Mode::JOINT_STEREO;
    out.SegmentSeconds = 2;
    const auto encode = [&](const std::string& name, bool neighbourEnds) {
      TCoreBudget budget(2);
      budget.TaskStarted();  // the neighbour
      budget.TaskStarted();
      source.budget = neighbourEnds ? &budget : nullptr;
      source.endAt = int64_t(pcm.size()) * 2 / 4;  // a quarter in
      out.Cores = &budget;
      const bool done = EncodeToFile(out, source, Path(name));
      out.Cores = nullptr;
      return done;
    };
    ASSERT_TRUE(EncodeWithCores(out, source, Path("one.mp3"), 0));
    ASSERT_TRUE(encode("held.mp3", false));
    EXPECT_FALSE(out.Segmented());
    EXPECT_EQ(ReadWholeFile(Path("held.mp3")), ReadWholeFile(Path("one.mp3")));
    ASSERT_TRUE(encode("freed.mp3", true));
    EXPECT_TRUE(out.Segmented());
    ASSERT_TRUE(encode("again.mp3", true));
    const std::string one = ReadWholeFile(Path("one.mp3")), freed = ReadWholeFile(Path("freed.mp3"));
    EXPECT_EQ(freed, ReadWholeFile(Path("again.mp3")));
    EXPECT_EQ(FfmpegErrors(Path("freed.mp3")), "");
    // Up to where the neighbour ended, the file is the one encoder's, the tag frame apart.
    ASSERT_GT(freed.size(), one.size() / 5);
    EXPECT_EQ(freed.substr(2048, one.size() / 5), one.substr(2048, one.size() / 5));
    const DecodedMedia a = DecodeMedia(Path("one.mp3")), b = DecodeMedia(Path("freed.mp3"));
    ASSERT_TRUE(b.ok) << b.error;
    ASSERT_FALSE(out.Joins().empty());
    EXPECT_GT(out.Joins().front(), int64_t(3.0 * 44100 / 1152));
    if (c.bitrate == br48) {
      // Frames too small for the encoder's tag: both files play the encoder's delay and padding too.
      EXPECT_EQ(b.samples[0].size(), a.samples[0].size());
      continue;
    }
    const TagCheck tag = CheckLameTag(freed), tagOne = CheckLameTag(one);
    EXPECT_EQ(tag.frames, tag.fileFrames);
    EXPECT_EQ(tag.bytes, tag.fileBytes);
    EXPECT_TRUE(tag.musicCrcRight && tag.tagCrcRight);
    if (!c.vbr) {
      EXPECT_EQ(tag.frames, tagOne.frames);
    }
    ExpectJoinsUnmeasurable(pcm, out.Joins(), a, b);
  }
}

// The neighbour ends before the encoder has given a whole audio frame: the run may go on in segments
// only from a frame in the file on, so no frame plays twice and the tag counts what is there.
TEST_F(MP3OutSegments, ACoreFreedBeforeTheFirstWholeFrameWaitsForIt) {
  const std::vector<int16_t> pcm = Music(44100, 2, 8.0);
  for (const bool vbr : {false, true}) {
    TNeighbourEndsSource source(44100, 2, pcm);
    TMP3Out out;
    out.EnableVBR = out.WriteVBRHeader = vbr;
    out.SegmentSeconds = 2;
    // Before the encoder's first frame (its tag frame alone is out), within it, and just after it.
    for (const int32_t firstRead : {4 * 1300, 4 * 2000, 4 * 3000}) {
      SCOPED_TRACE(std::to_string(vbr) + " " + std::to_string(firstRead));
      TCoreBudget budget(2, 2);
      budget.TaskStarted();  // the neighbour
      budget.TaskStarted();
      source.budget = &budget;
      source.endAt = source.firstRead = firstRead;
      out.Cores = &budget;
      ASSERT_TRUE(EncodeToFile(out, source, Path("freed.mp3")));
      out.Cores = nullptr;
      EXPECT_TRUE(out.Segmented());
      const TagCheck tag = CheckLameTag(ReadWholeFile(Path("freed.mp3")));
      EXPECT_EQ(tag.frames, tag.fileFrames);
      EXPECT_TRUE(tag.musicCrcRight && tag.tagCrcRight);
      EXPECT_EQ(DecodeMedia(Path("freed.mp3")).samples[0].size(), pcm.size() / 2);
    }
  }
}

TEST_F(MP3OutSegments, JoinsOfRealRecordingsCannotBeMeasured) {
  for (const char* name : {"firstrun.rm", "multirate-cook.ra"}) {
    SCOPED_TRACE(name);
    TOLVANE_REQUIRE_SAMPLE(path, name);
    int rate = 0;
    TPcmSource source(0, 2, {});
    source.Pcm = DecodeRecording(path, 20.0, rate);
    source.Rate = rate;
    TMP3Out out;
    out.SegmentSeconds = 3;
    out.SampleRate = SampleRateToMP3(rate);
    out.Mode = TMP3Mode::JOINT_STEREO;
    ASSERT_TRUE(EncodeWithCores(out, source, Path("one.mp3"), 0));
    ASSERT_TRUE(EncodeWithCores(out, source, Path("split.mp3"), 3));
    EXPECT_EQ(FfmpegErrors(Path("split.mp3")), "");
    ExpectJoinsUnmeasurable(source.Pcm, out.Joins(), DecodeMedia(Path("one.mp3")),
                            DecodeMedia(Path("split.mp3")));
  }
}

TEST_F(MP3OutSegments, ATransientOnAJoinSurvives) {
  const int rate = 44100;
  std::vector<int16_t> pcm = Music(rate, 2, 8.0);
  // Where the first frame of the second segment begins to sound: 1105 samples of encoder and decoder
  // delay before its place in the stream.
  TSegmentPlan plan;
  ASSERT_TRUE(MakeSegmentPlan(rate, rate, 1152, 2, 4 * 1152, 16, 49, plan));
  const int64_t join = plan.InputAt(plan.Boundary(1)) - 1105;
  uint32_t noise = 7;
  for (int64_t i = join; i < join + 200; ++i) {  // a 5 ms burst at full scale
    noise = noise * 1664525u + 1013904223u;
    pcm[size_t(2 * i)] = pcm[size_t(2 * i + 1)] = int16_t(int32_t(noise) >> 17);
  }
  TPcmSource source(rate, 2, pcm);
  TMP3Out out;
  out.SegmentSeconds = 2;
  ASSERT_TRUE(EncodeWithCores(out, source, Path("one.mp3"), 0));
  ASSERT_TRUE(EncodeWithCores(out, source, Path("split.mp3"), 2));
  const DecodedMedia one = DecodeMedia(Path("one.mp3")), split = DecodeMedia(Path("split.mp3"));
  auto energy = [&](const DecodedMedia& media) {
    double e = 0;
    for (int64_t i = join; i < join + 200; ++i) e += std::pow(double(media.samples[0][size_t(i)]), 2);
    return 10 * std::log10(e);
  };
  EXPECT_NEAR(energy(split), energy(one), 0.5);
  for (int64_t start = join - 1152; start <= join + 1152; start += 1152)
    EXPECT_GE(WindowSnr(pcm, 2, split.samples[0], start, 1152),
              WindowSnr(pcm, 2, one.samples[0], start, 1152) - 1.0);
}

}  // namespace
