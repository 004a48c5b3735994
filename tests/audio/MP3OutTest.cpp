// The MP3 sink with the real LAME library, fed known sine waves, its files read back with libavformat
// and by walking their frames.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QTemporaryDir>
#include <cmath>

#include "MP3OutTestRun.h"
#include "Mp3FrameReader.h"
#include "tests/support/MediaReader.h"
#include "tests/support/TestEnvironment.h"

namespace {

class MP3Out : public ::testing::Test {
 protected:
  std::string Path(const std::string& name) const {
    return dir_.filePath(QString::fromStdString(name)).toStdString();
  }
  QTemporaryDir dir_;
};

int64_t FileSize(const std::string& path) {
  struct stat info {};
  return stat(path.c_str(), &info) == 0 ? int64_t(info.st_size) : -1;
}

TEST_F(MP3Out, ConstantBitrateStereoKeepsRateLengthAndTone) {
  TSineSource source(44100, 2, 440, 3.0);
  TMP3Out out;
  const std::string path = Path("cbr.mp3");
  ASSERT_TRUE(EncodeToFile(out, source, path));
  const DecodedMedia media = DecodeMedia(path);
  ASSERT_TRUE(media.ok) << media.error;
  EXPECT_EQ(media.codecName, "mp3float");
  EXPECT_EQ(media.sampleRate, 44100);
  EXPECT_EQ(media.channels, 2);
  EXPECT_EQ(media.bitRate, 128000);
  EXPECT_LE(std::llabs(int64_t(media.samples[0].size()) - source.Frames), 1152);
  EXPECT_NEAR(DominantFrequency(media.samples[0], media.sampleRate), 440.0, 5.0);
  EXPECT_NEAR(DominantFrequency(media.samples[1], media.sampleRate), 440.0, 5.0);

  const Mp3Layout layout = ReadMp3Layout(ReadWholeFile(path));
  ASSERT_GT(layout.frames.size(), 100u);
  EXPECT_EQ(layout.trailing, 0u);
  EXPECT_EQ(layout.xingId, "Info");  // the LAME/Info frame written over the first frame
  for (const Mp3Frame& frame : layout.frames) {
    EXPECT_EQ(frame.bitrateKbps, 128);
    EXPECT_EQ(frame.sampleRate, 44100);
    EXPECT_EQ(frame.mode, 0);
    EXPECT_FALSE(frame.crc);
  }
  EXPECT_FALSE(source.Busy);
  EXPECT_EQ(source.OpenCount, 0);
}

TEST_F(MP3Out, VariableBitrateSwapsBoundsAndWritesAXingFrame) {
  TSineSource source(44100, 2, 1000, 4.0);
  TMP3Out out;
  out.EnableVBR = 1;
  out.WriteVBRHeader = 1;
  out.VBRMinBitrate = 256;
  out.VBRMaxBitrate = 128;
  const std::string path = Path("vbr.mp3");
  ASSERT_TRUE(EncodeToFile(out, source, path));
  EXPECT_EQ(out.VBRMinBitrate, 128);
  EXPECT_EQ(out.VBRMaxBitrate, 256);
  const Mp3Layout layout = ReadMp3Layout(ReadWholeFile(path));
  ASSERT_GT(layout.frames.size(), 100u);
  EXPECT_EQ(layout.xingId, "Xing");
  // The Xing frame counts the audio frames after it.
  EXPECT_EQ(layout.xingFrames, int64_t(layout.frames.size()) - 1);
  // The bounds reach the encoder (it may still drop below the minimum for near-silent frames).
  size_t inBounds = 0;
  for (size_t i = 1; i < layout.frames.size(); ++i) {
    EXPECT_LE(layout.frames[i].bitrateKbps, 256);
    if (layout.frames[i].bitrateKbps >= 128) ++inBounds;
  }
  EXPECT_GE(inBounds * 10, (layout.frames.size() - 1) * 9);
  const DecodedMedia media = DecodeMedia(path);
  ASSERT_TRUE(media.ok) << media.error;
  EXPECT_LE(std::llabs(int64_t(media.samples[0].size()) - source.Frames), 1152);
  EXPECT_NEAR(DominantFrequency(media.samples[0], media.sampleRate), 1000.0, 5.0);
}

TEST_F(MP3Out, SampleRateChoiceReachesTheFile) {
  struct Case {
    TMP3SampleRate choice;
    int inputRate;
    int expected;
  };
  // srDefault passes 0, so the encoder keeps a 32 kHz input; sr41kHz asks for 44100 Hz.
  const Case cases[] = {
      {srDefault, 32000, 32000}, {sr41kHz, 32000, 44100}, {sr32kHz, 44100, 32000}, {sr48kHz, 44100, 48000}};
  TMP3Out out;
  for (const Case& c : cases) {
    TSineSource source(c.inputRate, 2, 500, 1.0);
    out.SampleRate = c.choice;
    const std::string path = Path("rate.mp3");
    ASSERT_TRUE(EncodeToFile(out, source, path));
    const DecodedMedia media = DecodeMedia(path);
    ASSERT_TRUE(media.ok) << media.error;
    EXPECT_EQ(media.sampleRate, c.expected) << "choice " << c.choice;
    EXPECT_NEAR(DominantFrequency(media.samples[0], media.sampleRate), 500.0, 5.0);
  }
}

TEST_F(MP3Out, EveryModeReachesTheFrameHeaders) {
  TMP3Out out;
  out.CRC = 1;
  for (TMP3Mode mode : {TMP3Mode::STEREO, TMP3Mode::JOINT_STEREO, TMP3Mode::DUAL_CHANNEL, TMP3Mode::MONO}) {
    TSineSource source(44100, 2, 440, 1.0);
    out.Mode = mode;
    const std::string path = Path("mode.mp3");
    ASSERT_TRUE(EncodeToFile(out, source, path));
    const Mp3Layout layout = ReadMp3Layout(ReadWholeFile(path));
    ASSERT_GT(layout.frames.size(), 10u);
    for (const Mp3Frame& frame : layout.frames) {
      ASSERT_EQ(frame.mode, int(mode)) << "frame at " << frame.offset;
      ASSERT_TRUE(frame.crc);
    }
    const DecodedMedia media = DecodeMedia(path);
    ASSERT_TRUE(media.ok) << media.error;
    EXPECT_EQ(media.channels, mode == TMP3Mode::MONO ? 1 : 2);
  }
}

TEST_F(MP3Out, OneChannelSourceFeedsBothChannels) {
  TSineSource source(44100, 1, 660, 2.0);
  TMP3Out out;
  const std::string path = Path("mono-source.mp3");
  ASSERT_TRUE(EncodeToFile(out, source, path));
  const DecodedMedia media = DecodeMedia(path);
  ASSERT_TRUE(media.ok) << media.error;
  ASSERT_EQ(media.channels, 2);
  // 8192 samples a channel per 16384-byte block: the length matches the mono source, not half of it.
  EXPECT_LE(std::llabs(int64_t(media.samples[0].size()) - source.Frames), 1152);
  double difference = 0;
  for (size_t i = 0; i < media.samples[0].size(); ++i) {
    difference = std::max(difference, double(std::fabs(media.samples[0][i] - media.samples[1][i])));
  }
  EXPECT_LT(difference, 1e-3);
  EXPECT_NEAR(DominantFrequency(media.samples[0], media.sampleRate), 660.0, 5.0);
}

TEST_F(MP3Out, StopLeavesAShorterValidFileWithItsTags) {
  TSineSource source(44100, 2, 440, 60.0);
  std::atomic<bool> started{false};
  source.OnRead = [&](int index) {
    if (index == 40) started = true;
  };
  TMP3Out out;
  out.Id3TagTitle = "Stopped early";
  Mp3RunOutcome outcome;
  outcome.Attach(out);
  const std::string path = Path("stopped.mp3");
  out.FileName = path;
  out.SetInput(&source);
  out.Start();
  ASSERT_TRUE(PumpUntil([&] { return started.load(); }));
  out.Stop();
  ASSERT_TRUE(PumpUntil([&] { return outcome.Finished(); }));
  PumpFor(50);
  EXPECT_EQ(outcome.done, 1);
  EXPECT_EQ(outcome.errors, 0);
  const DecodedMedia media = DecodeMedia(path);
  ASSERT_TRUE(media.ok) << media.error;
  EXPECT_GT(media.DecodedSeconds(), 0.5);
  EXPECT_LT(media.DecodedSeconds(), 30.0);
  EXPECT_EQ(media.tags.at("title"), "Stopped early");
  const Mp3Layout layout = ReadMp3Layout(ReadWholeFile(path));
  EXPECT_TRUE(layout.id3v1);
  EXPECT_EQ(layout.xingId, "Info");
  EXPECT_EQ(layout.trailing, 0u);
}

TEST_F(MP3Out, StartWhileBusyAndWithoutInput) {
  TMP3Out out;
  out.FileName = Path("busy.mp3");
  try {
    out.Start();
    ADD_FAILURE();
  } catch (const ESndException& e) {
    EXPECT_STREQ(e.what(), "Input is not assigned");
  }
  TSineSource source(44100, 2, 440, 3.0);
  Mp3RunOutcome outcome;
  outcome.Attach(out);
  out.SetInput(&source);
  out.Start();
  try {
    out.Start();
    ADD_FAILURE();
  } catch (const ESndException& e) {
    EXPECT_STREQ(e.what(), "Component is Busy");
  }
  ASSERT_TRUE(PumpUntil([&] { return outcome.Finished(); }));
  EXPECT_EQ(outcome.done, 1);
  const DecodedMedia media = DecodeMedia(out.FileName);
  ASSERT_TRUE(media.ok) << media.error;
  EXPECT_LE(std::llabs(int64_t(media.samples[0].size()) - source.Frames), 1152);
}

TEST_F(MP3Out, FailuresWhilePreparingReachOnThreadExceptionOnly) {
  TMP3Out out;
  Mp3RunOutcome outcome;
  outcome.Attach(out);
  TSineSource source(44100, 2, 440, 1.0);
  out.SetInput(&source);
  EXPECT_NO_THROW(out.Start());  // no file name
  EXPECT_NO_THROW({
    out.FileName = "/nonexistent-folder/out.mp3";
    out.Start();
  });
  TSineSource unnamed(44100, 2, 440, 1.0);
  unnamed.FileName.clear();
  out.SetInput(&unnamed);
  out.FileName = Path("left-behind.mp3");
  EXPECT_NO_THROW(out.Start());
  PumpFor(50);
  ASSERT_EQ(outcome.errors, 3);
  EXPECT_EQ(outcome.done, 0);
  EXPECT_EQ(outcome.messages[0], "File name is not assigned.");
  EXPECT_EQ(outcome.messages[1],
            "Cannot create file \"/nonexistent-folder/out.mp3\". No such file or directory");
  EXPECT_EQ(outcome.messages[2], "The file name is not assigned");
  EXPECT_EQ(FileSize(out.FileName), -1);  // the empty file of a run that never began is removed
  EXPECT_EQ(out.State(), TOutputState::Idle);
  EXPECT_FALSE(unnamed.Busy);
  // The sink still works afterwards.
  out.SetInput(&source);
  out.FileName = Path("after.mp3");
  ASSERT_TRUE(EncodeToFile(out, source, out.FileName));
}

TEST_F(MP3Out, ErrorInAStepFinalisesTheFileAndReportsOnce) {
  TSineSource source(44100, 2, 440, 30.0);
  source.OnRead = [](int index) {
    if (index == 60) throw Exception("Broken block");
  };
  TMP3Out out;
  out.Id3TagTitle = "Half";
  Mp3RunOutcome outcome;
  outcome.Attach(out);
  const std::string path = Path("broken.mp3");
  out.FileName = path;
  out.SetInput(&source);
  out.Start();
  ASSERT_TRUE(PumpUntil([&] { return outcome.Finished(); }));
  PumpFor(50);
  EXPECT_EQ(outcome.errors, 1);
  EXPECT_EQ(outcome.done, 0);
  EXPECT_EQ(outcome.messages[0], "Broken block");
  EXPECT_FALSE(source.Busy);
  const DecodedMedia media = DecodeMedia(path);
  ASSERT_TRUE(media.ok) << media.error;
  EXPECT_NEAR(media.DecodedSeconds(), 60 * 4096 / 44100.0, 0.1);
  EXPECT_EQ(media.tags.at("title"), "Half");
  EXPECT_TRUE(ReadMp3Layout(ReadWholeFile(path)).id3v1);
}

TEST_F(MP3Out, NothingIsWrittenWhilePaused) {
  TSineSource source(44100, 2, 440, 60.0);
  std::atomic<bool> started{false};
  source.OnRead = [&](int index) {
    if (index == 20) started = true;
  };
  TMP3Out out;
  Mp3RunOutcome outcome;
  outcome.Attach(out);
  const std::string path = Path("paused.mp3");
  out.FileName = path;
  out.SetInput(&source);
  out.Start();
  ASSERT_TRUE(PumpUntil([&] { return started.load(); }));
  out.Pause();
  // Pause does not wait for the step in progress: what it writes comes before the pause holds.
  ASSERT_TRUE(PumpUntil([&] { return out.PauseSettled(); }));
  const int64_t size = FileSize(path);
  const int reads = source.Reads;
  PumpFor(200);
  EXPECT_EQ(FileSize(path), size);
  EXPECT_EQ(source.Reads, reads);
  out.Resume();
  ASSERT_TRUE(PumpUntil([&] { return FileSize(path) > size; }));
  out.Pause();
  ASSERT_TRUE(PumpUntil([&] { return out.PauseSettled(); }));
  out.Stop();
  const int64_t stoppedAt = FileSize(path);
  PumpFor(100);
  EXPECT_EQ(outcome.done, 0);
  EXPECT_EQ(FileSize(path), stoppedAt);
  out.Resume();
  ASSERT_TRUE(PumpUntil([&] { return outcome.Finished(); }));
  EXPECT_EQ(outcome.done, 1);
  const DecodedMedia media = DecodeMedia(path);
  ASSERT_TRUE(media.ok) << media.error;
  EXPECT_LT(media.DecodedSeconds(), 30.0);
}

TEST_F(MP3Out, FiftyRunsOfOneSink) {
  TMP3Out out;
  out.Id3TagTitle = "Run";
  const std::string path = Path("repeat.mp3");
  for (int run = 0; run < 50; ++run) {
    TSineSource source(22050, run % 2 + 1, 300 + run * 10, 0.3);
    out.EnableVBR = run % 3 == 0;
    out.WriteVBRHeader = out.EnableVBR;
    ASSERT_TRUE(EncodeToFile(out, source, path)) << "run " << run;
    EXPECT_FALSE(source.Busy);
  }
  const DecodedMedia media = DecodeMedia(path);
  ASSERT_TRUE(media.ok) << media.error;
  EXPECT_NEAR(DominantFrequency(media.samples[0], media.sampleRate), 790.0, 10.0);
}

TEST_F(MP3Out, DestroyedMidRunLeavesAFinishedFile) {
  TSineSource source(44100, 2, 440, 60.0);
  std::atomic<bool> started{false};
  source.OnRead = [&](int index) {
    if (index == 30) started = true;
  };
  const std::string path = Path("destroyed.mp3");
  std::atomic<int> done{0};
  {
    TMP3Out out;
    out.OnDone = [&](TComponent*) { ++done; };
    out.FileName = path;
    out.SetInput(&source);
    out.Start();
    ASSERT_TRUE(PumpUntil([&] { return started.load(); }));
  }
  EXPECT_EQ(done, 0);
  EXPECT_FALSE(source.Busy);
  const DecodedMedia media = DecodeMedia(path);
  ASSERT_TRUE(media.ok) << media.error;
  EXPECT_GT(media.DecodedSeconds(), 0.5);
  const Mp3Layout layout = ReadMp3Layout(ReadWholeFile(path));
  EXPECT_EQ(layout.xingId, "Info");
  EXPECT_EQ(layout.trailing, 0u);
}

}  // namespace
