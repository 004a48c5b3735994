// The assembly of an MP3 file from one encoder's streamed bytes and from finished segments, fed on the
// test's own thread with the real encoder's output; and the core budget's lending.
#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <algorithm>
#include <functional>
#include <system_error>

#include "FrameworkTestSources.h"
#include "SegmentedRun.h"
#include "audio/LameEncoder.h"
#include "audio/Mp3Assembly.h"
#include "audio/SegmentedEncoding.h"
#include "audio/lame.h"
#include "tests/support/MediaReader.h"
#include "tests/support/TestEnvironment.h"

namespace {

class TMemorySink : public TMp3ByteSink {
 public:
  void Write(const unsigned char* data, size_t size) override {
    Bytes.append(reinterpret_cast<const char*>(data), size);
    ++Writes;
  }
  std::string Bytes;
  int Writes = 0;
};

std::vector<int16_t> Tone(int64_t frames) {
  std::vector<int16_t> pcm;
  for (int64_t i = 0; i < frames; ++i) pcm.insert(pcm.end(), 2, SineSample(440 + double(i) / 4410, 44100, i));
  return pcm;
}

TLameSettings Settings(int kbps, bool vbr) {
  TLameSettings settings;
  settings.FileName = "assembled.mp3";
  settings.InRate = settings.OutRate = 44100;
  settings.Kbps = kbps;
  settings.Vbr = settings.VbrHeader = vbr;
  return settings;
}

class Mp3Assembly : public ::testing::Test {
 protected:
  void SetUp() override { LoadLame(); }
  void TearDown() override { UnloadLame(); }
  // The file in segments of two seconds on this thread; tweak changes the setup, edit each segment.
  std::string Segments(const std::vector<int16_t>& pcm, TMp3Assembly& assembly,
                       const std::function<void(TSegmentedEncoding::TSetup&)>& tweak = {},
                       const std::function<void(TSegmentResult&)>& edit = {}) {
    TMemorySink sink;
    assembly.Begin(sink, "assembled.mp3");
    TEncoderSignals encoderSignals;
    TSegmentedEncoding::TSetup setup;
    setup.Settings = Settings(128, false);
    EXPECT_TRUE(MakeSegmentPlan(44100, 44100, 1152, 2, 4 * 1152, 16, 49, setup.Plan));
    setup.BufferSize = 12320;
    setup.Signals = &encoderSignals;
    if (tweak) tweak(setup);
    TSegmentedEncoding encoding(setup, std::make_unique<TLameEncoder>(setup.Settings));
    TSegmentResult segment;
    for (int64_t read = 0, frames = int64_t(pcm.size() / 2); !encoding.Finished();) {
      while (encoding.TakeNext(segment)) {
        if (edit) edit(segment);
        assembly.AddSegment(std::exchange(segment, TSegmentResult()));
      }
      if (read < frames && encoding.WantsInput()) {
        const int64_t n = std::min<int64_t>(4096, frames - read);
        encoding.AddPcm(pcm.data() + 2 * read, n, 2);
        if ((read += n) == frames) encoding.EndOfInput();
      } else if (!encoding.Finished()) {
        EXPECT_TRUE(encoding.WorkerStep());
      }
    }
    assembly.EndSegments();
    return sink.Bytes;
  }
  QTemporaryDir dir_;
};

// The first 1300 samples give the encoder's tag frame alone: a take-over waits for an audio frame.
TEST_F(Mp3Assembly, StreamedBytesGoOutInRunsOfWholeFramesCountedForTheTag) {
  for (const int kbps : {128, 32}) {  // 32 kbit/s frames are too small for a tag frame, unless VBR
    for (const bool vbr : {false, true}) {
      SCOPED_TRACE(std::to_string(kbps) + " " + std::to_string(vbr));
      TLameEncoder encoder(Settings(kbps, vbr));
      TMemorySink sink;
      TMp3Assembly assembly;
      assembly.Begin(sink, "streamed.mp3");
      assembly.CountStream(encoder);
      const std::vector<int16_t> pcm = Tone(44100 * 2);
      std::string raw;
      std::vector<unsigned char> out(20000);
      int calls = 0;
      for (size_t at = 0; at < pcm.size(); ++calls) {
        const int32_t n = int32_t(std::min<size_t>(calls == 0 ? 1300 : 1000, (pcm.size() - at) / 2));
        const int count = encoder.Encode(pcm.data() + at, n, 2, out.data(), int64_t(out.size()));
        ASSERT_GE(count, 0);
        raw.append(reinterpret_cast<const char*>(out.data()), size_t(count));
        assembly.Stream(out.data(), size_t(count));
        EXPECT_EQ(assembly.CanTakeOver(), calls > 0 && assembly.Totals().Frames() > 0);
        at += 2 * size_t(n);
      }
      const size_t tagSize = encoder.TagFrameSize();
      EXPECT_EQ(tagSize > 0, kbps == 128 || vbr);
      const TSegmentTakeOver takeOver = assembly.TakeOver(0);
      EXPECT_EQ(takeOver.Frames, assembly.Totals().Frames());
      EXPECT_EQ(sink.Bytes.size(), tagSize + size_t(assembly.Totals().Bytes()));
      EXPECT_EQ(sink.Bytes + std::string(takeOver.Bytes.begin(), takeOver.Bytes.end()), raw);
      EXPECT_LE(sink.Writes, calls);
    }
  }
}

TEST_F(Mp3Assembly, SegmentsJoinInOrderIntoTheFileTheTagDescribes) {
  const std::vector<int16_t> pcm = Tone(44100 * 7);
  TMp3Assembly assembly;
  std::string bytes = Segments(pcm, assembly);
  EXPECT_FALSE(assembly.Joins().empty());
  EXPECT_TRUE(assembly.Flushed());
  std::vector<unsigned char> tag;
  ASSERT_TRUE(assembly.CompleteTagFrame(tag));
  bytes.replace(0, tag.size(), std::string(tag.begin(), tag.end()));
  const TagCheck check = CheckLameTag(bytes);
  EXPECT_TRUE(check.frames == check.fileFrames && check.bytes == check.fileBytes);
  EXPECT_TRUE(check.musicCrcRight && check.tagCrcRight);
  const std::string path = dir_.filePath("segments.mp3").toStdString();
  WriteWholeFile(path, bytes);
  EXPECT_EQ(int64_t(DecodeMedia(path).samples[0].size()), int64_t(pcm.size() / 2));
  // A tag frame that cannot be completed is an error, not a file that says less than it holds.
  Segments(pcm, assembly, {}, [](TSegmentResult& segment) {
    auto lame = std::search(segment.TagFrame.begin(), segment.TagFrame.end(), "LAME", "LAME" + 4);
    if (lame != segment.TagFrame.end()) *lame = 'X';
  });
  EXPECT_THROW(assembly.CompleteTagFrame(tag), ESndException);
}

TEST_F(Mp3Assembly, AHelperThatCannotStartLeavesTheWorkerAloneWithTheSameFile) {
  const std::vector<int16_t> pcm = Tone(44100 * 5);
  TMp3Assembly alone, refused;
  TCoreBudget budget(2, 2);
  budget.TaskStarted();
  ASSERT_TRUE(budget.ClaimForSegments());
  int tries = 0;
  EXPECT_EQ(
      Segments(pcm, refused,
               [&](TSegmentedEncoding::TSetup& setup) {
                 setup.Cores = &budget;
                 setup.Helpers = 1;
                 setup.ClaimedCore = true;
                 setup.StartThread = [&tries](std::function<void()>) -> std::thread {
                   ++tries;
                   throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again));
                 };
               }),
      Segments(pcm, alone));
  EXPECT_EQ(tries, 1);
  EXPECT_EQ(budget.FreeCores(), 1) << "the claimed core is given back";
}

TEST(CoreBudget, LendsNoMoreThanTheHardwareThreadsTheRunningTasksLeave) {
  // cores, hardware threads, running tasks, waiting tasks, a claim succeeds, cores lent in all
  const std::tuple<int, int, int, int, bool, int> cases[] = {{16, 2, 1, 0, true, 1},  {16, 2, 2, 0, false, 0},
                                                             {2, 8, 1, 0, true, 1},   {4, 4, 1, 0, true, 3},
                                                             {16, 4, 1, 1, false, 3}, {1, 8, 1, 0, false, 0}};
  for (const auto& [cores, hardware, tasks, waiting, claims, most] : cases) {
    SCOPED_TRACE(std::to_string(cores) + " " + std::to_string(hardware) + " " + std::to_string(tasks));
    TCoreBudget budget(cores, hardware);
    for (int i = 0; i < tasks; ++i) budget.TaskStarted();
    budget.SetWaiting(waiting);
    EXPECT_EQ(budget.ClaimForSegments(), claims);
    int lent = claims;
    while (budget.TryAcquireExtra()) ++lent;
    EXPECT_EQ(lent, most);
    EXPECT_EQ(budget.FreeCores(), cores - tasks - lent);
  }
}

}  // namespace
