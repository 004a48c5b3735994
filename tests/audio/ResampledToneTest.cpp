// A 440 Hz tone at every source rate the old formats have, converted through the decoding input and
// the MP3 sink at 44.1 kHz (the input resamples, the encoder does not): the MP3 keeps the pitch and
// holds exactly round(source samples x 44100 / rate) samples, with one encoder and in segments.
#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "audio/Snd_DX9.h"
#include "tests/audio/SegmentedRun.h"
#include "tests/support/MediaReader.h"
#include "tests/support/MultiRateMaker.h"
#include "tests/support/TestEnvironment.h"

namespace {

// The first channel of the whole file as the reader gives it at 44.1 kHz with channels channels.
std::vector<float> ReadAt44100(const std::string& source, int channels) {
  TAudioFileReader reader(source);
  reader.SetOutputFormat(44100, channels);
  const int step = reader.MonoSource() ? 1 : reader.StreamFormat().nChannels;
  std::vector<int16_t> pcm(60000);
  std::vector<float> first;
  while (const uint32_t got = reader.ReadBlock(pcm.data(), uint32_t(pcm.size() * 2))) {
    for (uint32_t i = 0; i < got / 2; i += step) first.push_back(pcm[i] / 32768.0f);
  }
  return first;
}

struct ToneCase {
  int rate, channels;
  const char* codec;  // of the WAV source
  TMP3Mode mode;
};

class ResampledTone : public ::testing::TestWithParam<ToneCase> {};

TEST_P(ResampledTone, KeepsItsPitchAndExactLength) {
  const ToneCase c = GetParam();
  QTemporaryDir dir;
  const std::string folder = dir.path().toStdString(), source = folder + "/tone.wav";
  ASSERT_TRUE(RunFfmpeg({"-f", "lavfi", "-i",
                         "sine=frequency=440:duration=1.7071:sample_rate=" + std::to_string(c.rate), "-ac",
                         std::to_string(c.channels), "-c:a", c.codec, source}));
  const DecodedMedia in = DecodeMedia(source);
  ASSERT_TRUE(in.ok) << in.error;
  const int64_t expected = std::llround(double(in.samples[0].size()) * 44100 / c.rate);
  const int outChannels = c.mode == TMP3Mode::MONO ? 1 : 2;
  EXPECT_EQ(int64_t(ReadAt44100(source, outChannels).size()), expected);
  for (const int cores : {0, 2}) {
    TDX9In input;
    input.FileName = source;
    TMP3Out out;
    out.SampleRate = sr41kHz;
    out.BitRate = br192;
    out.Mode = c.mode;
    out.SegmentSeconds = 0.5;
    const std::string mp3 = folder + "/out" + std::to_string(cores) + ".mp3";
    ASSERT_TRUE(EncodeWithCores(out, input, mp3, cores));
    EXPECT_EQ(out.Segmented(), cores > 1);
    EXPECT_EQ(input.SampleRate, 44100);  // the encoder got the MP3's rate: it did not resample
    EXPECT_EQ(input.Channels, outChannels);
    const DecodedMedia m = DecodeMedia(mp3);
    ASSERT_TRUE(m.ok) << m.error;
    EXPECT_EQ(m.sampleRate, 44100);
    EXPECT_EQ(m.channels, outChannels);
    EXPECT_EQ(int64_t(m.samples[0].size()), expected) << "cores " << cores;
    for (const auto& channel : m.samples) EXPECT_NEAR(DominantFrequency(channel, 44100), 440, 3);
    const TagCheck tag = CheckLameTag(ReadWholeFile(mp3));
    EXPECT_EQ(tag.frames, tag.fileFrames);
    EXPECT_TRUE(tag.musicCrcRight && tag.tagCrcRight);
    // The band ends at the source's own half rate (what an upsampled source holds), else the
    // encoder's own choice for the bitrate.
    EXPECT_LE(tag.lowpassHz, c.rate / 2 + 50);
    EXPECT_GE(tag.lowpassHz, std::min(c.rate / 2, 17000) - 50);
  }
}

// 400 Hz up to 44.1 kHz: one decoded frame makes more than the resampler hands out in one call.
TEST(ResampledReader, AFarLowerRateComesOutInPiecesWithTheExactLength) {
  QTemporaryDir dir;
  const std::string source = dir.path().toStdString() + "/low.wav";
  ASSERT_TRUE(RunFfmpeg(
      {"-f", "lavfi", "-i", "sine=frequency=50:duration=3.1:sample_rate=400", "-c:a", "pcm_s16le", source}));
  const std::vector<float> mono = ReadAt44100(source, 2);
  EXPECT_EQ(int64_t(mono.size()), std::llround(1240 * 44100 / 400.0));
  EXPECT_NEAR(DominantFrequency(mono, 44100), 50, 2);
}

INSTANTIATE_TEST_SUITE_P(EverySourceRate, ResampledTone,
                         ::testing::Values(ToneCase{8000, 1, "pcm_s16le", TMP3Mode::JOINT_STEREO},
                                           ToneCase{11025, 1, "pcm_u8", TMP3Mode::JOINT_STEREO},
                                           ToneCase{16000, 2, "pcm_s16le", TMP3Mode::MONO},
                                           ToneCase{22050, 2, "pcm_s16le", TMP3Mode::JOINT_STEREO},
                                           ToneCase{32000, 1, "pcm_s16le", TMP3Mode::MONO},
                                           ToneCase{44100, 2, "pcm_s16le", TMP3Mode::STEREO},
                                           ToneCase{48000, 2, "pcm_s16le", TMP3Mode::JOINT_STEREO}),
                         [](const auto& info) { return std::to_string(info.param.rate); });

}  // namespace
