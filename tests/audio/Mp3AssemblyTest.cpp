// The assembly of an MP3 file from one encoder's streamed bytes and from finished segments, fed by the
// test on its own thread with the real encoder's output; and the core budget's lending.
#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <algorithm>
#include <cmath>
#include <functional>
#include <system_error>

#include "audio/CoreBudget.h"
#include "audio/LameEncoder.h"
#include "audio/Mp3Assembly.h"
#include "audio/Mp3FrameHeader.h"
#include "audio/SegmentedEncoding.h"
#include "audio/SndError.h"
#include "audio/lame.h"
#include "tests/support/MediaReader.h"
#include "tests/support/TestEnvironment.h"

namespace {

class TMemorySink : public TMp3ByteSink {
 public:
  void Write(const unsigned char* data, size_t size) override {
    Bytes.insert(Bytes.end(), data, data + size);
    ++Writes;
  }
  std::vector<unsigned char> Bytes;
  int Writes = 0;
};

std::vector<int16_t> Tone(int64_t frames) {
  std::vector<int16_t> pcm;
  for (int64_t i = 0; i < frames; ++i) {
    const double v = 9000 * std::sin(2 * M_PI * (300 + 0.01 * double(i) / 44.1) * double(i) / 44100.0);
    pcm.push_back(int16_t(v));
    pcm.push_back(int16_t(0.7 * v));
  }
  return pcm;
}

int64_t CountFrames(const std::vector<unsigned char>& bytes, size_t from) {
  int64_t frames = 0;
  TMp3FrameHeader header;
  for (size_t at = from; at + 4 <= bytes.size() && ParseMp3FrameHeader(&bytes[at], header);
       at += header.Size) {
    if (at + header.Size > bytes.size()) break;
    ++frames;
  }
  return frames;
}

class Mp3Assembly : public ::testing::Test {
 protected:
  void SetUp() override { LoadLame(); }
  void TearDown() override { UnloadLame(); }
  static TLameSettings Settings(int kbps, bool vbr) {
    TLameSettings settings;
    settings.FileName = "assembled.mp3";
    settings.InRate = 44100;
    settings.OutRate = 44100;
    settings.Mode = JOINT_STEREO;
    settings.Kbps = kbps;
    settings.Vbr = settings.VbrHeader = vbr;
    return settings;
  }
  // The file in segments of two seconds on this thread alone; tweak changes the setup, and each
  // segment passes through edit on its way to the assembly.
  std::vector<unsigned char> Segments(const TLameSettings& settings, const std::vector<int16_t>& pcm,
                                      TMp3Assembly& assembly,
                                      const std::function<void(TSegmentedEncoding::TSetup&)>& tweak = {},
                                      const std::function<void(TSegmentResult&)>& edit = {}) {
    TMemorySink sink;
    assembly.Begin(sink, settings.FileName);
    TEncoderSignals encoderSignals;
    TSegmentedEncoding::TSetup setup;
    setup.Settings = settings;
    EXPECT_TRUE(MakeSegmentPlan(44100, 44100, 1152, 2, 4 * 1152, 16, 49, setup.Plan));
    setup.BufferSize = 12320;
    setup.Signals = &encoderSignals;
    if (tweak) tweak(setup);
    TSegmentedEncoding encoding(std::move(setup), MakeLameEncoder(settings));
    const int64_t frames = int64_t(pcm.size() / 2);
    int64_t read = 0;
    TSegmentResult segment;
    for (;;) {
      while (encoding.TakeNext(segment)) {
        if (edit) edit(segment);
        assembly.AddSegment(std::move(segment));
        segment = TSegmentResult();
      }
      if (encoding.Finished()) break;
      if (read < frames && encoding.WantsInput()) {
        const int64_t n = std::min<int64_t>(4096, frames - read);
        encoding.AddPcm(pcm.data() + 2 * read, n, 2);
        if ((read += n) == frames) encoding.EndOfInput();
      } else {
        EXPECT_TRUE(encoding.WorkerStep());
      }
    }
    assembly.EndSegments();
    return sink.Bytes;
  }
  QTemporaryDir dir_;
};

TEST_F(Mp3Assembly, StreamedBytesGoOutAsTheyCameInRunsOfWholeFramesCountedForTheTag) {
  struct Case {
    const char* name;
    int kbps;
    bool vbr, tag;
  };
  for (const Case c :
       {Case{"cbr128", 128, false, true}, Case{"vbr", 128, true, true}, Case{"cbr32", 32, false, false}}) {
    SCOPED_TRACE(c.name);
    TLameEncoder encoder(Settings(c.kbps, c.vbr));
    TMemorySink sink;
    TMp3Assembly assembly;
    assembly.Begin(sink, "streamed.mp3");
    assembly.CountStream(encoder);
    const std::vector<int16_t> pcm = Tone(44100 * 3);
    std::vector<unsigned char> raw, out(20000);
    int calls = 0;
    for (size_t at = 0; at < pcm.size(); at += 2 * 1000, ++calls) {
      const int32_t n = int32_t(std::min<size_t>(1000, (pcm.size() - at) / 2));
      const int count = encoder.Encode(pcm.data() + at, n, 2, out.data(), int64_t(out.size()));
      ASSERT_GE(count, 0);
      raw.insert(raw.end(), out.begin(), out.begin() + count);
      assembly.Stream(out.data(), size_t(count));
      EXPECT_EQ(assembly.CanTakeOver(), assembly.Totals().Frames() > 0);
    }
    EXPECT_TRUE(assembly.CanTakeOver());
    const size_t tagSize = c.tag ? encoder.TagFrameSize() : 0;
    EXPECT_EQ(tagSize > 0, c.tag);
    EXPECT_EQ(assembly.Totals().Frames(), CountFrames(raw, 0) - (c.tag ? 1 : 0));
    EXPECT_EQ(assembly.Totals().MusicCrc(),
              LameCrc16(0, raw.data() + tagSize, size_t(assembly.Totals().Bytes())));
    assembly.EndStream();
    EXPECT_EQ(sink.Bytes, raw);
    EXPECT_LE(sink.Writes, calls + 1);
  }
}

TEST_F(Mp3Assembly, ATakeOverWaitsForAWholeAudioFrameInTheFile) {
  TLameEncoder encoder(Settings(128, false));
  TMemorySink sink;
  TMp3Assembly assembly;
  assembly.Begin(sink, "early.mp3");
  assembly.CountStream(encoder);
  const std::vector<int16_t> pcm = Tone(8192);
  std::vector<unsigned char> out(20000);
  // The encoder's tag frame alone comes out of the first 1300 samples: no audio is in the file yet.
  int count = encoder.Encode(pcm.data(), 1300, 2, out.data(), int64_t(out.size()));
  ASSERT_GT(count, 0);
  assembly.Stream(out.data(), size_t(count));
  EXPECT_FALSE(assembly.CanTakeOver());
  count = encoder.Encode(pcm.data() + 2 * 1300, 8192 - 1300, 2, out.data(), int64_t(out.size()));
  assembly.Stream(out.data(), size_t(count));
  ASSERT_TRUE(assembly.CanTakeOver());
  const TSegmentTakeOver takeOver = assembly.TakeOver(8192);
  EXPECT_EQ(takeOver.Frames, assembly.Totals().Frames());
  EXPECT_GT(takeOver.Frames, 0);
  EXPECT_EQ(sink.Bytes.size(), encoder.TagFrameSize() + size_t(assembly.Totals().Bytes()));
}

TEST_F(Mp3Assembly, SegmentsJoinInOrderIntoTheFileTheTagDescribes) {
  const std::vector<int16_t> pcm = Tone(44100 * 7);
  for (const bool vbr : {false, true}) {
    SCOPED_TRACE(vbr);
    TMp3Assembly assembly;
    std::vector<unsigned char> bytes = Segments(Settings(128, vbr), pcm, assembly);
    EXPECT_FALSE(assembly.Joins().empty());
    EXPECT_TRUE(assembly.Flushed());
    std::vector<unsigned char> tag;
    ASSERT_TRUE(assembly.CompleteTagFrame(tag));
    EXPECT_EQ(CountFrames(bytes, 0), assembly.Totals().Frames() + 1);
    EXPECT_EQ(int64_t(bytes.size()), assembly.Totals().Bytes() + int64_t(tag.size()));
    std::copy(tag.begin(), tag.end(), bytes.begin());
    const std::string path = dir_.filePath("segments.mp3").toStdString();
    WriteWholeFile(path, std::string(bytes.begin(), bytes.end()));
    const DecodedMedia media = DecodeMedia(path);
    ASSERT_TRUE(media.ok) << media.error;
    EXPECT_EQ(int64_t(media.samples[0].size()), int64_t(pcm.size() / 2));
  }
}

TEST_F(Mp3Assembly, AHelperThatCannotStartLeavesTheWorkerAloneWithTheSameFile) {
  const std::vector<int16_t> pcm = Tone(44100 * 5);
  TMp3Assembly alone, refused;
  const std::vector<unsigned char> expected = Segments(Settings(128, false), pcm, alone);
  TCoreBudget budget(2, 2);
  budget.TaskStarted();
  ASSERT_TRUE(budget.ClaimForSegments());
  int tries = 0;
  const std::vector<unsigned char> bytes =
      Segments(Settings(128, false), pcm, refused, [&](TSegmentedEncoding::TSetup& setup) {
        setup.Cores = &budget;
        setup.Helpers = 1;
        setup.ClaimedCore = true;
        setup.StartThread = [&tries](std::function<void()>) -> std::thread {
          ++tries;
          throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again));
        };
      });
  EXPECT_EQ(tries, 1);
  EXPECT_EQ(bytes, expected);
  EXPECT_EQ(budget.FreeCores(), 1) << "the claimed core is given back";
}

TEST_F(Mp3Assembly, ATagFrameThatCannotBeCompletedIsAnError) {
  TMp3Assembly assembly;
  Segments(Settings(128, false), Tone(44100 * 3), assembly, {}, [](TSegmentResult& segment) {
    auto lame = std::search(segment.TagFrame.begin(), segment.TagFrame.end(), "LAME", "LAME" + 4);
    if (lame != segment.TagFrame.end()) *lame = 'X';
  });
  std::vector<unsigned char> tag;
  EXPECT_THROW(assembly.CompleteTagFrame(tag), ESndException);
}

TEST(CoreBudget, LendsNoMoreThanTheHardwareThreadsTheRunningTasksLeave) {
  struct Case {
    int cores, hardware, tasks, waiting;
    bool claims;  // ClaimForSegments
    int lent;     // cores TryAcquireExtra gives in all
  };
  const Case cases[] = {{16, 2, 1, 0, true, 1}, {16, 2, 2, 0, false, 0}, {2, 8, 1, 0, true, 1},
                        {4, 4, 1, 0, true, 3},  {16, 4, 1, 1, false, 3}, {1, 8, 1, 0, false, 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.cores) + " " + std::to_string(c.hardware) + " " + std::to_string(c.tasks));
    TCoreBudget budget(c.cores, c.hardware);
    for (int i = 0; i < c.tasks; ++i) budget.TaskStarted();
    budget.SetWaiting(c.waiting);
    const bool claimed = budget.ClaimForSegments();
    EXPECT_EQ(claimed, c.claims);
    int lent = claimed ? 1 : 0;
    while (budget.TryAcquireExtra()) ++lent;
    EXPECT_EQ(lent, c.lent);
    EXPECT_LE(budget.LendableCores(), 0);
    for (int i = 0; i < lent; ++i) budget.ReleaseExtra();
    EXPECT_EQ(budget.FreeCores(), c.cores - c.tasks);
  }
}

}  // namespace
