// A segmented run as the run window sees it: a pause holds every encoder, a stop leaves a playable file
// of what was finished in order, a full disk fails the task once, and extra cores are taken only when
// the run's budget has one free.
#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>
#include <cerrno>

extern "C" {
#include <libavutil/error.h>
}

#include "SegmentedRun.h"
#include "audio/AudioReadError.h"
#include "tests/support/MediaReader.h"
#include "tests/support/TestEnvironment.h"

namespace {

class MP3OutSegmentRun : public ::testing::Test {
 protected:
  void SetUp() override {
    budget_.TaskStarted();
    out_.Cores = &budget_;
    out_.SegmentSeconds = 2;
    out_.Id3TagTitle = "Run";
    outcome_.Attach(out_);
    out_.FileName = dir_.filePath("run.mp3").toStdString();
    out_.SetInput(&source_);
  }
  int64_t Size() const { return int64_t(ReadWholeFile(out_.FileName).size()); }
  QTemporaryDir dir_;
  TCoreBudget budget_{2};
  TSineSource source_{44100, 2, 440, 40.0};
  TMP3Out out_;
  Mp3RunOutcome outcome_;
};

TEST_F(MP3OutSegmentRun, APauseHoldsEveryEncoderAndTheRunEndsWhole) {
  out_.Start();
  ASSERT_TRUE(PumpUntil([&] { return out_.WrittenDuration() > 0; }));
  out_.Pause();
  ASSERT_TRUE(PumpUntil([&] { return out_.PauseSettled(); }));
  const int64_t size = Size(), written = out_.WrittenDuration();
  const int reads = source_.Reads;
  PumpFor(300);
  EXPECT_TRUE(out_.PauseSettled());
  EXPECT_EQ(Size(), size);
  EXPECT_EQ(source_.Reads, reads);
  EXPECT_EQ(out_.WrittenDuration(), written);
  out_.Resume();
  ASSERT_TRUE(PumpUntil([&] { return outcome_.Finished(); }));
  EXPECT_EQ(outcome_.done, 1);
  EXPECT_EQ(out_.WrittenDuration(), 400000000);
  EXPECT_EQ(FfmpegErrors(out_.FileName), "");
  EXPECT_EQ(int64_t(DecodeMedia(out_.FileName).samples[0].size()), source_.Frames);
  EXPECT_EQ(budget_.FreeCores(), 1);
}

TEST_F(MP3OutSegmentRun, AStopLeavesAPlayableFileOfTheSegmentsFinishedInOrder) {
  source_.Frames = 44100 * 200;  // far more than can be encoded between the poll and the stop
  out_.Start();
  int64_t last = 0;
  bool backwards = false;
  ASSERT_TRUE(PumpUntil([&] {
    backwards |= out_.WrittenDuration() < last;
    last = out_.WrittenDuration();
    return last > 60000000;  // six seconds are in the file
  }));
  out_.Stop();
  ASSERT_TRUE(PumpUntil([&] { return outcome_.Finished(); }));
  PumpFor(50);
  EXPECT_FALSE(backwards);
  EXPECT_EQ(outcome_.done, 1);
  EXPECT_EQ(outcome_.errors, 0);
  EXPECT_EQ(FfmpegErrors(out_.FileName), "");
  const std::string bytes = ReadWholeFile(out_.FileName);
  const TagCheck tag = CheckLameTag(bytes);
  EXPECT_EQ(tag.frames, tag.fileFrames);
  EXPECT_TRUE(tag.musicCrcRight && tag.tagCrcRight);
  EXPECT_EQ(bytes.compare(bytes.size() - 128, 3, "TAG"), 0);
  const DecodedMedia media = DecodeMedia(out_.FileName);
  ASSERT_TRUE(media.ok) << media.error;
  EXPECT_EQ(media.tags.at("title"), "Run");
  EXPECT_GE(media.DecodedSeconds(), 6.0);
  EXPECT_LT(media.DecodedSeconds(), 190.0);
  // Every sample there is the tone's, in its place, up to the codec's noise (26 dB for this one).
  std::vector<int16_t> tone;
  for (int64_t i = 0; i < int64_t(media.samples[0].size()); ++i) tone.push_back(SineSample(440, 44100, i));
  EXPECT_GT(WindowSnr(tone, 1, media.samples[0], 0, int64_t(tone.size())), 20.0);
  EXPECT_EQ(budget_.FreeCores(), 1);
}

// An attached stream that refuses every write once Fail is set, as a disk that fills up.
class TFillingStream : public TByteStream {
 public:
  int64_t Write(const void*, int64_t count) override { return Fail.load() ? 0 : count; }
  int LastError() const override { return Fail.load() ? ENOSPC : 0; }
  std::atomic<bool> Fail{false};
};

TEST_F(MP3OutSegmentRun, AFullDiskFailsTheTaskOnceWithItsReason) {
  TFillingStream stream;
  out_.StreamAttached = true;
  out_.Stream = &stream;
  source_.OnRead = [&](int index) {
    if (index == 120) stream.Fail = true;
  };
  out_.Start();
  ASSERT_TRUE(PumpUntil([&] { return outcome_.Finished(); }));
  PumpFor(100);
  EXPECT_EQ(outcome_.done, 0);
  ASSERT_EQ(outcome_.errors, 1);
  EXPECT_EQ(outcome_.failures[0], TSndFailure::WriteFailed);
  EXPECT_EQ(outcome_.systemErrors[0], ENOSPC);
  EXPECT_EQ(outcome_.messages[0], "Cannot write file \"" + out_.FileName + "\". No space left on device");
  EXPECT_FALSE(source_.Busy);
  EXPECT_EQ(budget_.FreeCores(), 1);
}

TEST_F(MP3OutSegmentRun, ASourceThatFailsEndsAsInOneEncoder) {
  struct Case {
    int failAt;      // read index; 0 with an empty source
    bool damaged;    // the decoder ran away: nothing is kept
    bool keepsFile;  // a read error after audio: what was read stays, playable
  };
  for (const Case c : {Case{0, false, false}, Case{150, true, false}, Case{150, false, true}}) {
    SCOPED_TRACE(c.failAt + c.damaged);
    TSineSource source(44100, 2, 440, c.failAt == 0 ? 0.0 : 40.0);
    source.OnRead = [c](int index) {
      if (c.failAt == 0 || index != c.failAt) return;
      if (c.damaged) throw ESndException("Damaged", TSndFailure::Damaged);
      CheckResult(AVERROR_INVALIDDATA);
    };
    outcome_.errors = 0;
    out_.SetInput(&source);
    out_.Start();
    ASSERT_TRUE(PumpUntil([&] { return outcome_.errors > 0; }));
    PumpFor(50);
    EXPECT_EQ(outcome_.errors, 1);
    EXPECT_EQ(QFile::exists(QString::fromStdString(out_.FileName)), c.keepsFile);
    if (c.keepsFile) {
      EXPECT_EQ(FfmpegErrors(out_.FileName), "");
      EXPECT_NEAR(DecodeMedia(out_.FileName).DecodedSeconds(), 150 * 4096 / 44100.0, 0.05);
    }
    EXPECT_EQ(budget_.FreeCores(), 1);
  }
  out_.SetInput(&source_);
}

TEST_F(MP3OutSegmentRun, ExtraCoresAreTakenOnlyWhenTheBudgetHasThem) {
  auto run = [&](bool otherTask) {
    // Another task holds the second core until this one is halfway: then its encoders take it.
    if (otherTask) budget_.TaskStarted();
    int lowest[2] = {budget_.FreeCores(), 1};  // before and after the other task ended
    bool otherEnded = !otherTask;
    outcome_.done = 0;
    out_.Start();
    EXPECT_TRUE(PumpUntil([&] {
      lowest[otherEnded] = std::min(lowest[otherEnded], budget_.FreeCores());
      if (!otherEnded && out_.WrittenDuration() > 200000000) {
        budget_.TaskEnded();
        otherEnded = true;
      }
      return outcome_.Finished();
    }));
    EXPECT_EQ(std::min(lowest[0], lowest[1]), 0);  // a free core was taken, never one more
    EXPECT_TRUE(!otherTask || lowest[1] == 0);
    EXPECT_EQ(budget_.FreeCores(), 1);  // and given back
    return ReadWholeFile(out_.FileName);
  };
  const std::string free = run(false), shared = run(true);
  EXPECT_EQ(free, shared);
  EXPECT_EQ(outcome_.done, 1);
}

}  // namespace
