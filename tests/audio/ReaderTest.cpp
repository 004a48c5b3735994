// The PCM reader on real files: formats, block hand-out, end of stream, seeking and its errors.
#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>

#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "audio/AudioFileRead.h"
#include "tests/support/MediaReader.h"
#include "tests/support/TestEnvironment.h"

extern "C" {
#include <libavutil/error.h>
}

namespace {

// Reads the whole stream with requests of the given size.
std::vector<uint8_t> ReadAll(TAudioFileReader& reader, uint32_t requestSize) {
  std::vector<uint8_t> all;
  std::vector<uint8_t> block(requestSize);
  for (;;) {
    const uint32_t got = reader.ReadBlock(block.data(), requestSize);
    EXPECT_LE(got, requestSize);
    if (got == 0) break;
    all.insert(all.end(), block.begin(), block.begin() + got);
  }
  return all;
}

std::vector<float> Channel16(const std::vector<uint8_t>& bytes, int channels, int channel) {
  std::vector<float> out;
  for (size_t i = size_t(channel) * 2; i + 1 < bytes.size(); i += size_t(channels) * 2) {
    int16_t v;
    std::memcpy(&v, &bytes[i], 2);
    out.push_back(v / 32768.0f);
  }
  return out;
}

void ExpectReadError(const std::string& file, const std::string& text, int32_t code) {
  try {
    TAudioFileReader reader(file);
    FAIL() << "opened " << file;
  } catch (const EAudioReadError& e) {
    EXPECT_EQ(e.what(), text);
    EXPECT_EQ(e.ErrorCode, code);
  }
}

}  // namespace

TEST(ReaderErrors, TableTextsFFmpegTextsAndUnknownCodes) {
  EXPECT_EQ(AudioReadErrorText(0x08000001), "Invalid buffer size.");
  EXPECT_EQ(AudioReadErrorText(MS_S_PENDING), "The asynchronous update is pending.");
  EXPECT_EQ(AudioReadErrorText(int32_t(0x8004040Au)),
            "The IMultiMediaStream object is not in running state.");
  EXPECT_EQ(AudioReadErrorText(int32_t(0x80070057u)), "One of the parameters is invalid.");
  EXPECT_EQ(AudioReadErrorText(AVERROR_INVALIDDATA), "Invalid data found when processing input");
  EXPECT_EQ(AudioReadErrorText(0x12345), "Unrecognized error value.");
  EXPECT_EQ(AudioReadErrorText(-987654321), "Unrecognized error value.");
  EXPECT_NO_THROW(CheckResult(0));
  // Success codes other than 0 raise as well.
  try {
    CheckResult(MS_S_NOUPDATE);
    FAIL();
  } catch (const Exception& e) {
    EXPECT_STREQ(e.what(), "Sample was not updated after forced completion.");
  }
}

TEST(ReaderOpen, FileWithoutAudioHasNoStream) {
  ExpectReadError(TestDataFile("video-only.rm"), "No stream can be found with the specified attributes.",
                  MS_E_NOSTREAM);
}

TEST(ReaderOpen, MissingAndNonMediaFilesGiveFFmpegTexts) {
  ExpectReadError("/nonexistent/folder/file.rm", "No such file or directory", AVERROR(ENOENT));
  ExpectReadError(TestDataFile("README.md"), "Invalid data found when processing input", AVERROR_INVALIDDATA);
}

TEST(ReaderOpen, NamesAreLocalFilesNeverProtocols) {
  QTemporaryDir dir;
  const std::string folder = dir.path().toStdString();
  // "concat:" would join the two test files if the name were taken as a protocol.
  ExpectReadError("concat:" + TestDataFile("ac3-stereo.rm") + "|" + TestDataFile("aac.rm"),
                  "No such file or directory", AVERROR(ENOENT));
  // A file whose relative name looks like a protocol is opened as the file it is.
  WriteWholeFile(folder + "/http:odd name.rm", ReadWholeFile(TestDataFile("ac3-stereo.rm")));
  const QString previous = QDir::currentPath();
  ASSERT_TRUE(QDir::setCurrent(QString::fromStdString(folder)));
  std::unique_ptr<TAudioFileReader> reader;
  EXPECT_NO_THROW(reader = std::make_unique<TAudioFileReader>("http:odd name.rm"));
  QDir::setCurrent(previous);
  ASSERT_TRUE(reader);
  EXPECT_EQ(reader->StreamFormat().nSamplesPerSec, 44100u);
}

TEST(ReaderFormat, StereoAc3IsSixteenBitStereoWithItsDuration) {
  TAudioFileReader reader(TestDataFile("ac3-stereo.rm"));
  const TWaveFormatEx& f = reader.StreamFormat();
  EXPECT_EQ(f.nChannels, 2);
  EXPECT_EQ(f.wBitsPerSample, 16);
  EXPECT_EQ(f.nSamplesPerSec, 44100u);
  EXPECT_EQ(f.nBlockAlign, 4);
  EXPECT_FALSE(reader.MonoSource());
  EXPECT_FALSE(reader.ByteSource());
  EXPECT_NEAR(reader.StreamDuration(), 20200000, 200000);
  EXPECT_EQ(reader.StreamPosition(), 0);
  EXPECT_EQ(reader.FileName(), TestDataFile("ac3-stereo.rm"));
}

TEST(ReaderFormat, EightBitMonoIsReportedWidenedButReadAsBytes) {
  TAudioFileReader reader(TestDataFile("u8-mono.wav"));
  EXPECT_EQ(reader.StreamFormat().nChannels, 2);
  EXPECT_EQ(reader.StreamFormat().wBitsPerSample, 16);
  EXPECT_TRUE(reader.MonoSource());
  EXPECT_TRUE(reader.ByteSource());
  // Block alignment and byte rate stay those of the 1-channel 8-bit stream.
  EXPECT_EQ(reader.StreamFormat().nBlockAlign, 1);
  EXPECT_EQ(reader.StreamFormat().nAvgBytesPerSec, 8000u);

  const std::vector<uint8_t> bytes = ReadAll(reader, 4096);
  ASSERT_EQ(bytes.size(), 16000u);  // 2 s at 8000 one-byte samples
  // A tone of amplitude 1/8 around the 8-bit silence value 128.
  int lo = 255, hi = 0;
  for (uint8_t b : bytes) lo = std::min<int>(lo, b), hi = std::max<int>(hi, b);
  EXPECT_NEAR(lo, 112, 2);
  EXPECT_NEAR(hi, 144, 2);
  EXPECT_NEAR(reader.StreamPosition(), 20000000, 1);
}

TEST(ReaderFormat, SurroundIsMixedDownToStereoWithItsTone) {
  TAudioFileReader reader(TestDataFile("surround51.rm"));
  EXPECT_EQ(reader.StreamFormat().nChannels, 2);
  EXPECT_EQ(reader.StreamFormat().nBlockAlign, 4);
  EXPECT_FALSE(reader.MonoSource());
  const std::vector<uint8_t> bytes = ReadAll(reader, 32768);
  const DecodedMedia source = DecodeMedia(TestDataFile("surround51.rm"));
  ASSERT_TRUE(source.ok) << source.error;
  EXPECT_NEAR(double(bytes.size()) / 4 / 44100, source.DecodedSeconds(), 0.01);
  for (int ch = 0; ch < 2; ++ch) {
    const std::vector<float> samples = Channel16(bytes, 2, ch);
    EXPECT_NEAR(DominantFrequency(samples, 44100), 770, 10);
    float peak = 0;
    for (float s : samples) peak = std::max(peak, std::abs(s));
    EXPECT_GT(peak, 0.05f);  // the mix carries the tone, not silence
  }
}

TEST(ReaderFormat, RealAudioOfUnknownDurationIsMonoSixteenBit) {
  TAudioFileReader reader(TestDataFile("ra144.ra"));
  EXPECT_EQ(reader.StreamDuration(), 0);
  EXPECT_TRUE(reader.MonoSource());
  EXPECT_FALSE(reader.ByteSource());
  EXPECT_EQ(reader.StreamFormat().nSamplesPerSec, 8000u);
  const std::vector<uint8_t> bytes = ReadAll(reader, 32768);
  EXPECT_NEAR(double(bytes.size()) / 2 / 8000, 2.02, 0.03);
  EXPECT_NEAR(DominantFrequency(Channel16(bytes, 1, 0), 8000), 440, 10);
  // Position follows the samples even though the container gives no duration.
  EXPECT_NEAR(reader.StreamPosition(), int64_t(bytes.size() / 2) * 10000000 / 8000, 1);
}

TEST(ReaderBlocks, ZeroSizeRaisesInvalidBufferSize) {
  TAudioFileReader reader(TestDataFile("ac3-stereo.rm"));
  uint8_t buffer[16];
  try {
    reader.ReadBlock(buffer, 0);
    FAIL();
  } catch (const EAudioReadError& e) {
    EXPECT_STREQ(e.what(), "Invalid buffer size.");
    EXPECT_EQ(e.ErrorCode, 0x08000001);
  }
}

TEST(ReaderBlocks, EndOfStreamReturnsZeroAndZeroAgain) {
  TAudioFileReader reader(TestDataFile("ra144.rm"));
  ReadAll(reader, 32768);
  std::vector<uint8_t> block(32768);
  EXPECT_EQ(reader.ReadBlock(block.data(), 32768), 0u);
  EXPECT_EQ(reader.ReadBlock(block.data(), 32768), 0u);
  EXPECT_EQ(reader.ReadBlock(block.data(), 7), 0u);
}

TEST(ReaderBlocks, FillsEveryRequestAndKeepsWhatDidNotFit) {
  // Odd request sizes split decoded frames and samples; the byte stream must stay the same.
  std::vector<uint8_t> whole, pieces;
  {
    TAudioFileReader reader(TestDataFile("aac.rm"));
    whole = ReadAll(reader, 1 << 20);
  }
  {
    TAudioFileReader reader(TestDataFile("aac.rm"));
    std::vector<uint8_t> block(1001);
    uint32_t got;
    while ((got = reader.ReadBlock(block.data(), 1001)) != 0) {
      pieces.insert(pieces.end(), block.begin(), block.begin() + got);
      if (pieces.size() < whole.size()) {
        EXPECT_EQ(got, 1001u);  // full until the last block
      }
    }
  }
  EXPECT_EQ(pieces, whole);
  const DecodedMedia source = DecodeMedia(TestDataFile("aac.rm"));
  ASSERT_TRUE(source.ok) << source.error;
  EXPECT_NEAR(double(whole.size()) / 4 / 22050, source.DecodedSeconds(), 0.001);
  EXPECT_NEAR(DominantFrequency(Channel16(whole, 2, 1), 22050), 660, 10);
}

TEST(ReaderBlocks, PositionIsTheEndOfTheLastBlock) {
  TAudioFileReader reader(TestDataFile("ac3-stereo.rm"));
  std::vector<uint8_t> block(17640);  // 0.1 s of 44.1 kHz stereo
  ASSERT_EQ(reader.ReadBlock(block.data(), 17640), 17640u);
  EXPECT_EQ(reader.StreamPosition(), 1000000);
  ASSERT_EQ(reader.ReadBlock(block.data(), 17640), 17640u);
  EXPECT_EQ(reader.StreamPosition(), 2000000);
}

TEST(ReaderBlocks, BlocksEndingBeforeTimeZeroAreReadOver) {
  // lead-in.mkv: 1 s of 8 kHz mono whose first half is stamped before zero.
  TAudioFileReader reader(TestDataFile("lead-in.mkv"));
  std::vector<uint8_t> block(800);  // 0.05 s
  ASSERT_EQ(reader.ReadBlock(block.data(), 800), 800u);
  EXPECT_EQ(reader.StreamPosition(), 500000);  // the first block that ends after zero
  size_t total = 800;
  uint32_t got;
  while ((got = reader.ReadBlock(block.data(), 800)) != 0) total += got;
  EXPECT_EQ(total, 8000u);  // the half after zero
  EXPECT_EQ(reader.StreamPosition(), 5000000);

  // A block that reaches past zero is delivered whole, its lead-in included.
  TAudioFileReader whole(TestDataFile("lead-in.mkv"));
  std::vector<uint8_t> big(1 << 16);
  EXPECT_EQ(whole.ReadBlock(big.data(), 1 << 16), 16000u);
  EXPECT_EQ(whole.StreamPosition(), 5000000);
}

TEST(ReaderSeek, SeekingMovesThePositionAndTheData) {
  TAudioFileReader reader(TestDataFile("ac3-stereo.rm"));
  const size_t total = ReadAll(reader, 32768).size();
  reader.SeekTime(10000000);
  EXPECT_EQ(reader.StreamPosition(), 10000000);
  const size_t rest = ReadAll(reader, 32768).size();
  // Seeking lands on the packet at or before the target; RealMedia packs a few AC-3 frames in one.
  EXPECT_NEAR(double(rest), double(total) / 2, 0.2 * 44100 * 4);
  // Back to the start: the whole stream again, and beyond the end is clamped to the duration.
  reader.SeekTime(0);
  EXPECT_EQ(ReadAll(reader, 32768).size(), total);
  reader.SeekTime(reader.StreamDuration() * 10);
  EXPECT_LE(reader.StreamPosition(), reader.StreamDuration());
  EXPECT_LT(ReadAll(reader, 32768).size(), 0.2 * 44100 * 4);
}
