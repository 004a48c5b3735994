// The decoding input driven by hand, as a sink drives it: widening, mono duplication, block halves,
// the counted open and close, sizes, start and end frames, and looping.
#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "audio/Snd_DX9.h"
#include "tests/support/MediaReader.h"
#include "tests/support/TestEnvironment.h"

namespace {

constexpr int32_t kStep = 16384;  // what the MP3 sink asks for

std::vector<uint8_t> ReadAll(TDX9In& in, int32_t step = kStep, size_t limit = SIZE_MAX) {
  std::vector<uint8_t> all;
  std::vector<uint8_t> buffer(step);
  while (all.size() < limit) {
    const int32_t got = in.ReadData(buffer.data(), step);
    if (got == 0) break;
    all.insert(all.end(), buffer.begin(), buffer.begin() + got);
  }
  return all;
}

std::vector<uint8_t> ReaderBytes(const std::string& file) {
  TAudioFileReader reader(file);
  std::vector<uint8_t> all, block(65536);
  uint32_t got;
  while ((got = reader.ReadBlock(block.data(), 65536)) != 0)
    all.insert(all.end(), block.begin(), block.begin() + got);
  return all;
}

int16_t Sample(const std::vector<uint8_t>& bytes, size_t index) {
  int16_t v;
  std::memcpy(&v, &bytes[index * 2], 2);
  return v;
}

std::vector<float> Left(const std::vector<uint8_t>& stereo) {
  std::vector<float> out;
  for (size_t i = 0; i + 3 < stereo.size(); i += 4) out.push_back(Sample(stereo, i / 2) / 32768.0f);
  return out;
}

// A 16-bit mono PCM WAV of the given length (samples ramp so every value is distinct enough).
std::string WriteShortWav(const std::string& folder, int samples) {
  std::string data;
  for (int i = 0; i < samples; ++i) {
    const int16_t v = int16_t((i % 200) * 100 - 10000);
    data.append(reinterpret_cast<const char*>(&v), 2);
  }
  auto u32 = [](uint32_t v) { return std::string(reinterpret_cast<const char*>(&v), 4); };
  auto u16 = [](uint16_t v) { return std::string(reinterpret_cast<const char*>(&v), 2); };
  const std::string wav = "RIFF" + u32(uint32_t(36 + data.size())) + "WAVEfmt " + u32(16) + u16(1) + u16(1) +
                          u32(8000) + u32(16000) + u16(2) + u16(16) + "data" + u32(uint32_t(data.size())) +
                          data;
  const std::string path = folder + "/short.wav";
  WriteWholeFile(path, wav);
  return path;
}

}  // namespace

TEST(DX9Input, ReadingOutsideARunRaisesStreamNotOpened) {
  TDX9In in;
  in.FileName = TestDataFile("ac3-stereo.rm");
  uint8_t buffer[64];
  try {
    in.ReadData(buffer, 64);
    FAIL();
  } catch (const ESndException&) {
    FAIL() << "a plain Exception is expected";
  } catch (const Exception& e) {
    EXPECT_STREQ(e.what(), "The Stream is not opened");
  }
  in.BeginRead();
  EXPECT_GT(in.ReadData(buffer, 64), 0);
  in.EndRead();
  EXPECT_THROW(in.ReadData(buffer, 64), Exception);
}

TEST(DX9Input, StereoBlocksComeOutAsTwoHalves) {
  const std::vector<uint8_t> source = ReaderBytes(TestDataFile("ac3-stereo.rm"));
  ASSERT_GT(source.size(), 65536u);
  TDX9In in;
  in.FileName = TestDataFile("ac3-stereo.rm");
  in.BeginRead();
  EXPECT_EQ(in.SampleBits(), 16);
  EXPECT_EQ(in.ChannelCount(), 2);
  EXPECT_EQ(in.SamplesPerSecond(), 44100);
  std::vector<uint8_t> half(kStep);
  for (int block = 0; block < 2; ++block) {
    for (int part = 0; part < 2; ++part) {
      ASSERT_EQ(in.ReadData(half.data(), kStep), kStep);
      const size_t at = size_t(block) * 32768 + size_t(part) * kStep;
      EXPECT_EQ(0, std::memcmp(half.data(), source.data() + at, kStep)) << block << "/" << part;
      EXPECT_EQ(in.BlockEnd, 32768);
      EXPECT_EQ(in.BlockPos, 1 + (part + 1) * kStep);
    }
  }
  EXPECT_EQ(in.Position.load(), 65536);
  const std::vector<uint8_t> rest = ReadAll(in);
  EXPECT_EQ(rest.size() + 65536, source.size());
  EXPECT_EQ(in.ReadData(half.data(), kStep), 0);
  in.EndRead();
}

TEST(DX9Input, MonoIsDuplicatedIntoEqualChannels) {
  const std::vector<uint8_t> mono = ReaderBytes(TestDataFile("video-ac3-mono.rmvb"));
  TDX9In in;
  in.FileName = TestDataFile("video-ac3-mono.rmvb");
  in.OpenSource();
  EXPECT_EQ(in.ChannelCount(), 2);
  EXPECT_EQ(in.SampleBits(), 16);
  // Whole seconds of stereo 16-bit: 2.02 s counts as 2.
  EXPECT_EQ(in.Size.load(), 2 * 44100 * 4);
  EXPECT_EQ(in.TotalSeconds(), 2);
  in.BeginRead();
  const std::vector<uint8_t> stereo = ReadAll(in);
  in.EndRead();
  in.CloseSource();
  ASSERT_EQ(stereo.size(), mono.size() * 2);
  for (size_t frame = 0; frame < mono.size() / 2; ++frame) {
    ASSERT_EQ(Sample(stereo, 2 * frame), Sample(mono, frame)) << frame;
    ASSERT_EQ(Sample(stereo, 2 * frame + 1), Sample(mono, frame)) << frame;
  }
  EXPECT_GT(in.Position.load(), in.Size.load());  // the last partial second is not in Size
  EXPECT_NEAR(DominantFrequency(Left(stereo), 44100), 880, 10);
}

TEST(DX9Input, EightBitMonoIsWidenedAndDuplicated) {
  const std::vector<uint8_t> bytes = ReaderBytes(TestDataFile("u8-mono.wav"));
  ASSERT_EQ(bytes.size(), 16000u);
  TDX9In in;
  in.FileName = TestDataFile("u8-mono.wav");
  EXPECT_EQ(in.SampleBits(), 16);
  EXPECT_EQ(in.ChannelCount(), 2);
  EXPECT_EQ(in.OpenCount.load(), 0);  // the queries opened and closed again
  in.BeginRead();
  const std::vector<uint8_t> out = ReadAll(in);
  in.EndRead();
  ASSERT_EQ(out.size(), bytes.size() * 4);
  int silences = 0;
  for (size_t k = 0; k < bytes.size(); ++k) {
    const int16_t expected = int16_t((int(bytes[k]) - 128) * 256);
    ASSERT_EQ(Sample(out, 2 * k), expected) << k;
    ASSERT_EQ(Sample(out, 2 * k + 1), expected) << k;
    if (bytes[k] == 128) {
      ++silences;
      EXPECT_EQ(Sample(out, 2 * k), 0);
    }
  }
  EXPECT_GT(silences, 0);  // the tone crosses the 8-bit silence value
  EXPECT_NEAR(DominantFrequency(Left(out), 8000), 330, 10);
}

TEST(DX9Input, SurroundArrivesAsStereo) {
  TDX9In in;
  in.FileName = TestDataFile("surround51.rm");
  EXPECT_EQ(in.ChannelCount(), 2);
  in.BeginRead();
  const std::vector<uint8_t> out = ReadAll(in);
  in.EndRead();
  EXPECT_NEAR(out.size() / 4.0 / 44100, 2.02, 0.02);
  EXPECT_NEAR(DominantFrequency(Left(out), 44100), 770, 10);
}

TEST(DX9Input, OpeningTwiceAndClosingOnceKeepsTheReader) {
  TDX9In in;
  in.FileName = TestDataFile("ra144.rm");
  EXPECT_EQ(in.Reader(), nullptr);
  in.OpenSource();
  TAudioFileReader* reader = in.Reader();
  ASSERT_NE(reader, nullptr);
  in.OpenSource();
  EXPECT_EQ(in.OpenCount.load(), 2);
  in.CloseSource();
  EXPECT_EQ(in.Reader(), reader);
  EXPECT_EQ(in.OpenCount.load(), 1);
  in.CloseSource();
  EXPECT_EQ(in.Reader(), nullptr);
  EXPECT_EQ(in.OpenCount.load(), 0);
  in.CloseSource();  // an extra close does nothing
  EXPECT_EQ(in.OpenCount.load(), 0);
}

TEST(DX9Input, ForceIdleClosesTheSourceCompletely) {
  TDX9In in;
  in.FileName = TestDataFile("ra144.rm");
  in.OpenSource();
  in.BeginRead();
  EXPECT_EQ(in.OpenCount.load(), 2);
  in.ForceIdle();
  EXPECT_FALSE(in.Busy.load());
  EXPECT_EQ(in.OpenCount.load(), 0);
  EXPECT_EQ(in.Reader(), nullptr);
  in.BeginRead();  // and it can run again
  EXPECT_GT(ReadAll(in).size(), 0u);
  in.EndRead();
}

TEST(DX9Input, UnknownDurationGivesSizeZeroAndStillReadsEverything) {
  TDX9In in;
  in.FileName = TestDataFile("ra144.ra");
  in.OpenSource();
  EXPECT_EQ(in.Size.load(), 0);
  EXPECT_EQ(in.TotalSeconds(), 0);
  EXPECT_EQ(in.TotalSamples, 0);
  in.BeginRead();
  const std::vector<uint8_t> out = ReadAll(in);
  in.EndRead();
  EXPECT_NEAR(out.size() / 4.0 / 8000, 2.02, 0.03);
  EXPECT_EQ(in.Reader()->StreamDuration(), 0);
  EXPECT_GT(in.Reader()->StreamPosition(), 20000000);
  in.CloseSource();
}

TEST(DX9Input, SourceShorterThanOneSecondHasSizeZero) {
  QTemporaryDir dir;
  const std::string path = WriteShortWav(dir.path().toStdString(), 4000);  // 0.5 s
  TDX9In in;
  in.FileName = path;
  in.OpenSource();
  EXPECT_EQ(in.Size.load(), 0);
  EXPECT_EQ(in.TotalSeconds(), 0);
  EXPECT_EQ(in.TotalSamples, 4000);
  in.BeginRead();
  EXPECT_EQ(ReadAll(in).size(), 4000u * 4);
  in.EndRead();
  in.CloseSource();
}

TEST(DX9Input, StartAndEndSampleCutTheRun) {
  TDX9In in;
  in.FileName = TestDataFile("u8-mono.wav");
  in.StartSample = 8000;  // 1 s
  in.EndSample = 12000;   // 1.5 s, exclusive
  in.BeginRead();
  EXPECT_EQ(in.Size.load(), 4000 * 4);
  const std::vector<uint8_t> out = ReadAll(in);
  in.EndRead();
  ASSERT_EQ(out.size(), 4000u * 4);
  const std::vector<uint8_t> bytes = ReaderBytes(TestDataFile("u8-mono.wav"));
  for (size_t k = 0; k < 4000; ++k)
    ASSERT_EQ(Sample(out, 2 * k), int16_t((int(bytes[8000 + k]) - 128) * 256)) << k;
}

TEST(DX9Input, LoopStartsAgainWhenTheDataEnds) {
  TDX9In in;
  in.FileName = TestDataFile("u8-mono.wav");
  in.EndSample = 800;  // 0.1 s, looped
  in.Loop = true;
  in.BeginRead();
  const std::vector<uint8_t> out = ReadAll(in, kStep, 10 * 3200);
  in.EndRead();
  ASSERT_GE(out.size(), 10u * 3200);
  for (size_t i = 3200; i < out.size(); ++i) ASSERT_EQ(out[i], out[i % 3200]) << i;

  TDX9In whole;  // without an end frame the loop goes past the end of the file
  whole.FileName = TestDataFile("ra144.rm");
  whole.Loop = true;
  whole.BeginRead();
  EXPECT_GE(ReadAll(whole, kStep, 2 * 32320 * 2 + 1).size(), 2u * 32320 * 2);
  whole.EndRead();
}

TEST(DX9Input, ASecondRunOnTheKeptReaderStartsOver) {
  TDX9In in;
  in.FileName = TestDataFile("aac.rm");
  in.OpenSource();  // the run's own open keeps the reader between runs
  in.BeginRead();
  const std::vector<uint8_t> first = ReadAll(in);
  in.EndRead();
  ASSERT_NE(in.Reader(), nullptr);
  in.BeginRead();
  const std::vector<uint8_t> second = ReadAll(in);
  in.EndRead();
  EXPECT_EQ(first.size(), second.size());
  EXPECT_EQ(first, second);
}

TEST(DX9Input, OpenFailuresComeFromTheReader) {
  TDX9In in;
  in.FileName = TestDataFile("video-only.rm");
  try {
    in.OpenSource();
    FAIL();
  } catch (const EAudioReadError& e) {
    EXPECT_STREQ(e.what(), "No stream can be found with the specified attributes.");
    EXPECT_EQ(e.ErrorCode, int32_t(0x80040403u));
  }
  EXPECT_EQ(in.OpenCount.load(), 0);
  EXPECT_EQ(in.Reader(), nullptr);
  TDX9In unnamed;
  EXPECT_THROW(unnamed.BeginRead(), ESndException);
}

TEST(DecoderCheck, FFmpegHasTheRealMediaDemuxerAndDecoders) {
  EXPECT_TRUE(DirectShowPresent());
  EXPECT_STREQ(DirectShowMissingMessage,
               "Cannot start Snd_DX9 without FFmpeg present, Please install FFmpeg");
}
