// One file encoded in segments on several cores: the file decodes to exactly its source, with no
// decoder error, joins that cannot be measured, one right LAME/Xing tag, and the same bytes every time.
#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <cmath>

#include "Mp3FrameReader.h"
#include "SegmentedRun.h"
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
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TPcmSource source(c.rate, c.channels, Music(c.rate, c.channels, 7.3));
    TMP3Out out;
    out.BitRate = c.bitrate;
    out.EnableVBR = out.WriteVBRHeader = c.vbr;
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
    // 32 kbit/s frames cannot hold the encoder's tag: both files then play their padding too.
    const int64_t frames = c.bitrate == br32 ? int64_t(a.samples[0].size()) : source.Frames();
    EXPECT_EQ(int64_t(a.samples[0].size()), frames);
    EXPECT_EQ(int64_t(b.samples[0].size()), frames);
    EXPECT_EQ(b.tags.at("title"), "Segments");
    if (c.bitrate == br32) continue;
    const TagCheck tag = CheckLameTag(ReadWholeFile(split)), tagOne = CheckLameTag(ReadWholeFile(one));
    EXPECT_EQ(tag.frames, tag.fileFrames);
    EXPECT_EQ(tag.bytes, tag.fileBytes);
    EXPECT_TRUE(tag.musicCrcRight);
    EXPECT_TRUE(tag.tagCrcRight);
    EXPECT_TRUE(tagOne.musicCrcRight && tagOne.tagCrcRight);
    EXPECT_EQ(tag.delay, 576);
    if (!c.vbr) EXPECT_EQ(tag.frames, tagOne.frames);
    std::printf("%s: frames %lld/%lld bytes %lld/%lld zero-backsteps %zu/%zu pad %d/%d\n", c.name,
                (long long)tag.frames, (long long)tagOne.frames, (long long)tag.bytes,
                (long long)tagOne.bytes, tag.zeroBackstep.size(), tagOne.zeroBackstep.size(), tag.padding,
                tagOne.padding);
  }
}

TEST_F(MP3OutSegments, AFileOfOneSegmentIsTheOneEncodersFile) {
  TPcmSource source(44100, 2, Music(44100, 2, 3.0));
  TMP3Out out;
  out.Id3TagTitle = "Short";
  out.SegmentSeconds = 10;
  ASSERT_TRUE(EncodeWithCores(out, source, Path("one.mp3"), 1));
  EXPECT_FALSE(out.Segmented());
  ASSERT_TRUE(EncodeWithCores(out, source, Path("split.mp3"), 2));
  EXPECT_TRUE(out.Segmented());
  EXPECT_EQ(ReadWholeFile(Path("one.mp3")), ReadWholeFile(Path("split.mp3")));
}

}  // namespace
