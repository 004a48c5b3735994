// Files that once converted wrongly and reported success: 8-bit sources at the wrong level, sources
// far below the output rate, RealMedia files cut or damaged so that little or nothing decodes, and a
// damaged cook header that makes the decoder run away. Each either converts right or fails clearly.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <QFileInfo>
#include <QTemporaryDir>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "audio/DecodeBound.h"
#include "tests/audio/DecodingConversion.h"
#include "tests/probe/MediaEditing.h"
#include "tests/support/DamagedMedia.h"
#include "tests/support/MediaReader.h"
#include "tests/support/TestEnvironment.h"

extern "C" {
#include <libavutil/log.h>
}

namespace {

void PutLE16(std::string& bytes, uint16_t value) {
  bytes.push_back(char(value & 0xFF));
  bytes.push_back(char(value >> 8));
}
void PutLE32Append(std::string& bytes, uint32_t value) {
  for (int shift = 0; shift < 32; shift += 8) bytes.push_back(char((value >> shift) & 0xFF));
}

// A mono PCM WAV file of the given samples (8-bit unsigned or 16-bit signed little-endian bytes).
std::string MonoWav(int rate, int bits, const std::string& samples) {
  std::string wav = "RIFF";
  PutLE32Append(wav, uint32_t(36 + samples.size()));
  wav += "WAVEfmt ";
  PutLE32Append(wav, 16);
  PutLE16(wav, 1);  // PCM
  PutLE16(wav, 1);
  PutLE32Append(wav, uint32_t(rate));
  PutLE32Append(wav, uint32_t(rate * bits / 8));
  PutLE16(wav, uint16_t(bits / 8));
  PutLE16(wav, uint16_t(bits));
  wav += "data";
  PutLE32Append(wav, uint32_t(samples.size()));
  return wav + samples;
}

bool Exists(const std::string& path) {
  struct stat info {};
  return stat(path.c_str(), &info) == 0;
}

// Mean and level (root mean square around the mean) of the first channel, without its first and
// last tenth of a second (the encoder's start-up and end).
struct Level {
  double mean = 0, acRms = 0;
};
Level LevelOf(const DecodedMedia& media) {
  const std::vector<float>& s = media.samples.at(0);
  const size_t skip = size_t(media.sampleRate / 10);
  Level level;
  if (s.size() <= 2 * skip) return level;
  double sum = 0, squares = 0;
  const size_t n = s.size() - 2 * skip;
  for (size_t i = skip; i < s.size() - skip; ++i) sum += s[i];
  level.mean = sum / double(n);
  for (size_t i = skip; i < s.size() - skip; ++i) squares += (s[i] - level.mean) * (s[i] - level.mean);
  level.acRms = std::sqrt(squares / double(n));
  return level;
}

class DecodingHardening : public ::testing::Test {
 protected:
  void SetUp() override { av_log_set_level(AV_LOG_QUIET); }  // damaged files make FFmpeg talk a lot
  void TearDown() override { av_log_set_level(AV_LOG_ERROR); }
  std::string Path(const std::string& name) const {
    return dir_.filePath(QString::fromStdString(name)).toStdString();
  }
  std::string Write(const std::string& name, const std::string& bytes) const {
    const std::string path = Path(name);
    WriteWholeFile(path, bytes);
    return path;
  }
  // A copy of a committed file must fail without leaving an MP3 behind.
  void ExpectNoAudio(const std::string& source) {
    const std::string mp3 = Path("out.mp3");
    const DecodingOutcome outcome = ConvertWithDX9(source, mp3, {"Nothing", "", "", "", "", ""});
    EXPECT_FALSE(outcome.done);
    EXPECT_FALSE(Exists(mp3));
    if (outcome.openError.empty()) {
      EXPECT_EQ(outcome.threadErrors, 1);
      EXPECT_EQ(outcome.failure, TSndFailure::NoAudio) << outcome.threadError;
      EXPECT_NE(outcome.threadError.find("no audio could be decoded"), std::string::npos)
          << outcome.threadError;
      EXPECT_NE(outcome.threadError.find(source), std::string::npos) << outcome.threadError;
    }
  }
  QTemporaryDir dir_;
};

TEST_F(DecodingHardening, EightBitSilenceStaysSilentAndFullScaleKeepsItsLevel) {
  const int rate = 8000;
  const std::string silence = Write("silence.wav", MonoWav(rate, 8, std::string(2 * rate, char(128))));
  std::string square;
  for (int i = 0; i < 2 * rate; ++i) square.push_back(char((i / 20) % 2 ? 255 : 0));  // 200 Hz
  const std::string squareWav = Write("square.wav", MonoWav(rate, 8, square));

  const std::string quietMp3 = Path("silence.mp3");
  ASSERT_TRUE(ConvertWithDX9(silence, quietMp3, {}).done);
  const DecodedMedia quiet = DecodeMedia(quietMp3);
  ASSERT_TRUE(quiet.ok) << quiet.error;
  EXPECT_NEAR(quiet.DecodedSeconds(), 2.0, 0.1);
  const Level quietLevel = LevelOf(quiet);
  EXPECT_NEAR(quietLevel.mean, 0.0, 0.01);  // not the half-scale offset of a shifted widening
  EXPECT_LT(quietLevel.acRms, 0.01);

  const std::string loudMp3 = Path("square.mp3");
  ASSERT_TRUE(ConvertWithDX9(squareWav, loudMp3, {}).done);
  const DecodedMedia loud = DecodeMedia(loudMp3);
  ASSERT_TRUE(loud.ok) << loud.error;
  const Level loudLevel = LevelOf(loud);
  // The source swings from -32768 to +32512: a level of 0.996 of full scale.
  const double gainDb = 20.0 * std::log10(loudLevel.acRms / 0.996);
  EXPECT_NEAR(gainDb, 0.0, 1.0) << "level " << loudLevel.acRms;
  EXPECT_NEAR(loudLevel.mean, 0.0, 0.02);
}

TEST_F(DecodingHardening, SourcesAtOneAndFiveKilohertzConvertWhole) {
  for (const int rate : {1000, 5000}) {
    SCOPED_TRACE(rate);
    std::string samples;
    for (int i = 0; i < 3 * rate; ++i) {
      const auto s = int16_t(std::lround(12000.0 * std::sin(2.0 * M_PI * (rate / 10.0) * i / rate)));
      PutLE16(samples, uint16_t(s));
    }
    const std::string wav = Write("slow.wav", MonoWav(rate, 16, samples));
    const std::string mp3 = Path("slow.mp3");
    const DecodingOutcome outcome = ConvertWithDX9(wav, mp3, {});
    ASSERT_TRUE(outcome.done) << outcome.openError << outcome.threadError;
    const DecodedMedia media = DecodeMedia(mp3);
    ASSERT_TRUE(media.ok) << media.error;
    EXPECT_EQ(media.sampleRate, 44100);
    EXPECT_NEAR(media.DecodedSeconds(), 3.0, 0.1);
    EXPECT_NEAR(DominantFrequency(media.samples[0], media.sampleRate), rate / 10.0, 10.0);
  }
}

TEST_F(DecodingHardening, RealMediaCutInsideItsFirstPacketsGivesNoMp3) {
  const std::string bytes = ReadWholeFile(TestDataFile("ac3-stereo.rm"));
  size_t data = 0;
  for (const RmChunk& chunk : RmChunks(bytes)) {
    if (chunk.id == "DATA") data = chunk.offset;
  }
  ASSERT_GT(data, 0u);
  // The DATA header is 18 bytes and each packet header 12: cut inside the first packet's payload.
  for (const size_t keep : {data + 18 + 12 + 40, data + 18 + 5, data + 10}) {
    SCOPED_TRACE(keep);
    ExpectNoAudio(Write("cut.rm", bytes.substr(0, keep)));
  }
}

TEST_F(DecodingHardening, RealMediaWhoseStreamNumberMatchesNoPacketGivesNoMp3) {
  std::string bytes = ReadWholeFile(TestDataFile("ac3-stereo.rm"));
  bool patched = false;
  for (const RmChunk& chunk : RmChunks(bytes)) {
    if (chunk.id != "MDPR") continue;
    // MDPR: id, size, version (16 bits), then the stream number the packets refer to.
    bytes[chunk.offset + 10] = 0;
    bytes[chunk.offset + 11] = 7;
    patched = true;
  }
  ASSERT_TRUE(patched);
  ExpectNoAudio(Write("orphan.rm", bytes));
}

TEST_F(DecodingHardening, RealMediaCutAtHalfConvertsItsFirstHalf) {
  const std::string bytes = ReadWholeFile(TestDataFile("ac3-stereo.rm"));
  const std::string source = Write("half.rm", bytes.substr(0, bytes.size() / 2));
  const std::string mp3 = Path("half.mp3");
  const DecodingOutcome outcome = ConvertWithDX9(source, mp3, {});
  ASSERT_TRUE(outcome.done) << outcome.threadError << outcome.openError;
  EXPECT_EQ(outcome.threadErrors, 0);
  const DecodedMedia media = DecodeMedia(mp3);
  ASSERT_TRUE(media.ok) << media.error;
  EXPECT_NEAR(media.DecodedSeconds(), 1.0, 0.3);
  EXPECT_NEAR(DominantFrequency(media.samples[0], media.sampleRate), 1000, 10);
}

TEST_F(DecodingHardening, ACookHeaderThatMakesTheDecoderRunAwayIsReportedAsDamaged) {
  TOLVANE_REQUIRE_SAMPLE(sample, "firstrun.rm");
  const std::string bytes = WithRunAwayCookHeader(ReadWholeFile(sample));
  ASSERT_FALSE(bytes.empty());
  const std::string source = Write("runaway.rm", bytes);
  const std::string mp3 = Path("runaway.mp3");
  const DecodingOutcome outcome = ConvertWithDX9(source, mp3, {"Runaway", "", "", "", "", ""});
  ASSERT_TRUE(outcome.openError.empty()) << outcome.openError;
  EXPECT_FALSE(outcome.done);
  ASSERT_EQ(outcome.threadErrors, 1);
  EXPECT_EQ(outcome.failure, TSndFailure::Damaged);
  EXPECT_NE(outcome.threadError.find("\"" + source + "\" is damaged"), std::string::npos)
      << outcome.threadError;
  // What the decoder made of the damage is noise: no MP3 of it is left.
  EXPECT_FALSE(QFileInfo::exists(QString::fromStdString(mp3)));
}

// A RealAudio 14.4 file whose header says 1, 7, 16 or 100 Hz states no duration; its decoder would
// make hours of audio. The file's size at its stated 8 kbit/s (3 s here) bounds it instead.
TEST_F(DecodingHardening, ASampleRateFieldThatMakesHoursOfAudioIsBoundedByTheFilesSize) {
  const std::string original = ReadWholeFile(TestDataFile("ra144.rm"));
  for (const uint16_t rate : {1, 7, 16, 100}) {
    SCOPED_TRACE(rate);
    const std::string bytes = WithRealAudio4SampleRate(original, rate);
    ASSERT_FALSE(bytes.empty());
    const std::string source = Write("rate" + std::to_string(rate) + ".rm", bytes);
    const std::string mp3 = Path("rate" + std::to_string(rate) + ".mp3");
    const DecodingOutcome outcome = ConvertWithDX9(source, mp3, {"Rate", "", "", "", "", ""});
    ASSERT_TRUE(outcome.openError.empty()) << outcome.openError;
    EXPECT_EQ(outcome.streamDuration, 0);
    EXPECT_FALSE(outcome.done);
    ASSERT_EQ(outcome.threadErrors, 1);
    EXPECT_EQ(outcome.failure, TSndFailure::Damaged);
    EXPECT_EQ(
        outcome.threadError,
        "The file \"" + source + "\" is damaged: it decodes to far more audio than the 3 seconds it holds.");
    EXPECT_FALSE(QFileInfo::exists(QString::fromStdString(mp3)));
  }
}

long PeakMemoryKB() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

// At 1 Hz one block upsampled to 44.1 kHz once asked for a 450 MB MP3 buffer before anything was
// decoded (538 MB in all). One conversion now holds little more than a real file's.
TEST_F(DecodingHardening, ASampleRateFieldOfOneHertzTakesLittleMemory) {
  const std::string source =
      Write("rate1.rm", WithRealAudio4SampleRate(ReadWholeFile(TestDataFile("ra144.rm")), 1));
  const std::string mp3 = Path("rate1.mp3");
  const long before = PeakMemoryKB();
  const DecodingOutcome outcome = ConvertWithDX9(source, mp3, {"Rate", "", "", "", "", ""});
  EXPECT_LT(PeakMemoryKB() - before, 60 * 1024) << "kilobytes more at the peak";
  EXPECT_EQ(outcome.failure, TSndFailure::Damaged);
  EXPECT_FALSE(QFileInfo::exists(QString::fromStdString(mp3)));
}

// A cook header whose sub-packet height and frame size ask the demuxer for a 2 GB de-interleaving
// buffer (560 MB were touched before the file failed): refused before it is taken.
TEST_F(DecodingHardening, ACookHeaderAskingForGigabytesTakesLittleMemory) {
  TOLVANE_REQUIRE_SAMPLE(sample, "firstrun.rm");
  // Sub-packet height 32767, frame size 65535, sub-packet size 1.
  const std::string bytes = WithCookInterleaving(ReadWholeFile(sample), 32767, 65535, 1);
  ASSERT_FALSE(bytes.empty());
  const std::string source = Write("gigabytes.rm", bytes);
  const std::string mp3 = Path("gigabytes.mp3");
  const long before = PeakMemoryKB();
  const DecodingOutcome outcome = ConvertWithDX9(source, mp3, {"Huge", "", "", "", "", ""});
  EXPECT_LT(PeakMemoryKB() - before, 60 * 1024) << "kilobytes more at the peak";
  EXPECT_FALSE(outcome.done);
  EXPECT_FALSE(QFileInfo::exists(QString::fromStdString(mp3)));
}

TEST(DecodeBound, IsOneAndAHalfTimesWhatTheFileStatesOrCanHoldPlusAMinute) {
  constexpr int64_t s = 10000000;
  EXPECT_EQ(DecodeLimitHns(18 * s, 75534, 44100, AV_CODEC_ID_COOK), (27 + 60) * s);
  // Doubled packets of a 207 s stream decode to 415 s: beyond the bound.
  EXPECT_LT(DecodeLimitHns(207 * s, 2252296, 64000, AV_CODEC_ID_AAC), 415 * s);
  // No duration: 3557 bytes at the stated 8000 bit/s hold 3.557 s.
  EXPECT_EQ(PlayableHns(3557, 8000, AV_CODEC_ID_RA_144), 35570000);
  EXPECT_EQ(DecodeLimitHns(0, 3557, 8000, AV_CODEC_ID_RA_144), 35570000 + 17785000 + 60 * s);
  // A stated rate below the codec's lowest real one is false: the codec's is taken.
  EXPECT_EQ(PlayableHns(3557, 10, AV_CODEC_ID_RA_144), 35570000);
  EXPECT_EQ(PlayableHns(8000, 0, AV_CODEC_ID_NONE), 32 * s);
  EXPECT_EQ(DecodeLimitHns(0, 0, 8000, AV_CODEC_ID_RA_144), 0) << "no size, no bound";
}

}  // namespace
