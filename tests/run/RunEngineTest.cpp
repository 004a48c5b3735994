// The run engine driven directly, without widgets: one outcome and reason per task for good, cut,
// damaged, missing and unwritable inputs, written the window's way and the command line's; tasks of
// one output file run in turn however its name is spelled; a stop cuts a slow open short; the lent
// cores stay within the budget; a file put at a task's temporary name is never written.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QTemporaryDir>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <map>
#include <thread>

#include "audio/CoreBudget.h"
#include "audio/Snd_DX9.h"
#include "audio/Snd_LAME.h"
#include "core/Profile.h"
#include "core/Settings.h"
#include "probe/OpenedMedia.h"
#include "probe/ProbeMedia.h"
#include "run/BackgroundStep.h"
#include "run/BatchPlan.h"
#include "run/OutputIdentity.h"
#include "run/RunEngine.h"
#include "tests/audio/SegmentedRun.h"
#include "tests/support/CutMusic.h"
#include "tests/support/DamagedMedia.h"
#include "tests/support/HeldCall.h"
#include "tests/support/MediaReader.h"
#include "tests/support/TestEnvironment.h"

namespace {

namespace fs = std::filesystem;

// A 16-bit mono WAV of silence at 8000 Hz.
std::string SilentWav(int seconds) {
  const auto le = [](uint32_t value, int count) {
    std::string bytes;
    for (int i = 0; i < count; ++i) bytes += char((value >> (8 * i)) & 0xFF);
    return bytes;
  };
  const uint32_t data = uint32_t(seconds) * 16000;
  return "RIFF" + le(36 + data, 4) + "WAVEfmt " + le(16, 4) + le(1, 2) + le(1, 2) + le(8000, 4) +
         le(16000, 4) + le(2, 2) + le(16, 2) + "data" + le(data, 4) + std::string(data, '\0');
}

class RunEngineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir.isValid());
    ProgramDir = BinDir() + "/";
    AssignProductProfile();
    FillBitrateTable();
    DefaultSettings = TDefaultSettings{};
    fs::create_directories(In(""));
    fs::create_directories(Out(""));
  }
  std::string In(const std::string& name) const { return dir.path().toStdString() + "/in/" + name; }
  std::string Out(const std::string& name) const { return dir.path().toStdString() + "/out/" + name; }
  std::string Copy(const std::string& file, const std::string& name) const {
    WriteWholeFile(In(name), ReadWholeFile(file));
    return In(name);
  }
  // The task the window makes of path (the real probe), converting into output.
  static TEngineTask TaskOf(const std::string& path, const std::string& output) {
    TEngineTask task;
    ProbeTaskRecord(path, DefaultSettings, task.Task);
    task.Task.SourceFile = path;
    task.Task.OutputFile = output;
    return task;
  }
  // Runs to the end; each poll also calls watch. The log holds "+N" as task N starts, "-N" as it ends.
  void RunAll(std::vector<TEngineTask> tasks, TEngineSetup setup, const std::function<void()>& watch = {}) {
    engine.OnTaskStarted = [this](int32_t, int32_t task) { log.push_back("+" + std::to_string(task)); };
    engine.OnTaskEnded = [this](int32_t, const TTaskResult& r) {
      log.push_back("-" + std::to_string(r.Task));
    };
    engine.Start(std::move(tasks), setup);
    while (engine.Poll(5))
      if (watch) watch();
  }
  const TTaskResult& Outcome(int32_t task) const {
    static const TTaskResult none;
    for (const TTaskResult& result : engine.Outcomes())
      if (result.Task == task) return result;
    return none;
  }
  size_t LogAt(const std::string& entry) const {
    return size_t(std::find(log.begin(), log.end(), entry) - log.begin());
  }

  ScopedConfigHome config;
  QTemporaryDir dir;
  TRunEngine engine;
  std::vector<std::string> log;
};

struct OutcomeRow {
  const char* name;
  TOutcome outcome;
  TReason reason;
};

class Outcomes : public RunEngineTest, public ::testing::WithParamInterface<bool> {};

TEST_P(Outcomes, EachTaskEndsWithItsOutcomeAndReason) {
  const bool commandLine = GetParam();
  std::vector<TEngineTask> tasks;
  std::vector<OutcomeRow> rows;
  const auto add = [&](TEngineTask task, OutcomeRow row) {
    tasks.push_back(std::move(task));
    rows.push_back(row);
  };
  add(TaskOf(Copy(TestDataFile("ra144.rm"), "good.rm"), Out("good.mp3")),
      {"good", TOutcome::Converted, TReason::None});
  if (const std::string cut = MakeCutMusic(In(""), "cut.rm"); !cut.empty())
    add(TaskOf(cut, Out("cut.mp3")), {"cut", TOutcome::Short, TReason::Cut});
  if (const std::string sample = SampleFile("firstrun.rm"); !sample.empty()) {
    // Probed whole, then damaged: its decoder runs away while it converts.
    TEngineTask damaged = TaskOf(Copy(sample, "runaway.rm"), Out("runaway.mp3"));
    WriteWholeFile(In("runaway.rm"), WithRunAwayCookHeader(ReadWholeFile(In("runaway.rm"))));
    add(std::move(damaged), {"damaged", TOutcome::Failed, TReason::Damaged});
  }
  TEngineTask missing = TaskOf(Copy(TestDataFile("aac.rm"), "gone.rm"), Out("gone.mp3"));
  fs::remove(In("gone.rm"));
  add(std::move(missing), {"missing", TOutcome::Failed, TReason::Missing});
  add(TaskOf(In(""), Out("folder.mp3")), {"folder", TOutcome::Failed, TReason::NotAFile});
  // An output folder below a plain file, and an output name held by a folder: no user can write them.
  WriteWholeFile(Out("plain"), "x");
  add(TaskOf(Copy(TestDataFile("ra144.rm"), "a.rm"), Out("plain/sub/a.mp3")),
      {"no folder", TOutcome::Failed, TReason::OutputFolder});
  // The command line's numbering goes on past a name taken meanwhile: b.mp3.
  fs::create_directories(Out("taken.mp3"));
  add(TaskOf(Copy(TestDataFile("ra144.rm"), "b.rm"), Out("taken.mp3")),
      commandLine ? OutcomeRow{"no file", TOutcome::Converted, TReason::None}
                  : OutcomeRow{"no file", TOutcome::Failed, TReason::OutputWrite});
  TEngineSetup setup;
  setup.ParallelTasks = 2;
  setup.Cores = 2;
  setup.ViaPartFile = commandLine;
  if (commandLine) setup.ProbeWith = DefaultSettings;

  RunAll(tasks, setup);

  ASSERT_EQ(engine.Outcomes().size(), rows.size());
  for (size_t at = 0; at < rows.size(); ++at) {
    const TTaskResult& result = Outcome(int32_t(at));
    SCOPED_TRACE(rows[at].name);
    EXPECT_EQ(OutcomeName(result.Outcome), std::string(OutcomeName(rows[at].outcome))) << result.Message;
    EXPECT_EQ(ReasonName(result.Reason), std::string(ReasonName(rows[at].reason))) << result.Message;
    EXPECT_EQ(result.Message.empty(), rows[at].reason == TReason::None);
    EXPECT_EQ(result.Output.empty(), rows[at].outcome == TOutcome::Failed);
    EXPECT_GE(result.WallSeconds, 0.0);
    if (!result.Output.empty()) {
      EXPECT_EQ(result.OutputBytes, int64_t(fs::file_size(result.Output)));
      EXPECT_TRUE(DecodeMedia(result.Output).ok);
      EXPECT_NEAR(DecodeMedia(result.Output).DecodedSeconds(), result.Seconds, 0.1);
      EXPECT_EQ(result.InputBytes, int64_t(fs::file_size(result.Input)));
    }
  }
  EXPECT_TRUE(IsOutputOrSystem(TReason::OutputWrite) && !IsOutputOrSystem(TReason::Damaged));
  // The command line's way leaves no temporary file, whatever the outcome.
  for (const auto& entry : fs::directory_iterator(Out("")))
    EXPECT_NE(entry.path().extension(), ".part") << entry.path();
}

INSTANTIATE_TEST_SUITE_P(WindowAndCommandLine, Outcomes, ::testing::Bool());

TEST_F(RunEngineTest, TasksOfOneOutputRunInTurnHoweverItIsNamed) {
  const std::string good = TestDataFile("ra144.rm");
  // Two names of one existing file, two spellings of one name where the folder folds case, and one
  // name in a folder the first of its tasks makes.
  WriteWholeFile(Out("one.mp3"), "old");
  fs::create_hard_link(Out("one.mp3"), Out("two.mp3"));
  const auto folds = FolderFoldsCase;
  FolderFoldsCase = [](const std::string&) { return true; };
  std::vector<TEngineTask> tasks;
  for (const char* output :
       {"same.mp3", "same.mp3", "one.mp3", "two.mp3", "Song.mp3", "song.mp3", "new/x.mp3", "new/x.mp3"})
    tasks.push_back(TaskOf(Copy(good, std::to_string(tasks.size()) + ".rm"), Out(output)));
  TEngineSetup setup;
  setup.ParallelTasks = 8;
  RunAll(tasks, setup);
  FolderFoldsCase = folds;

  for (int first : {0, 2, 4, 6}) {
    const std::string later = std::to_string(first + 1);
    EXPECT_LT(LogAt("-" + std::to_string(first)), LogAt("+" + later)) << "task " << later;
  }
  EXPECT_EQ(engine.Count(TOutcome::Converted), 8);
  EXPECT_TRUE(DecodeMedia(Out("two.mp3")).ok);
}

TEST_F(RunEngineTest, TwoNamesOfOneInputAreTwoTasks) {
  Copy(TestDataFile("ra144.rm"), "first.rm");
  fs::create_hard_link(In("first.rm"), In("second.rm"));
  TBatchInputs inputs;
  inputs.Inputs = {In("first.rm"), In("second.rm"), In("../in/first.rm")};
  inputs.OutputDir = Out("");
  std::vector<TEngineTask> tasks = PlanBatch(inputs, {".rm"});
  ASSERT_EQ(tasks.size(), 2u) << "a name met twice is one task";
  TEngineSetup setup;
  setup.ViaPartFile = true;
  setup.ProbeWith = DefaultSettings;
  RunAll(tasks, setup);
  EXPECT_EQ(engine.Count(TOutcome::Converted), 2);
  EXPECT_EQ(ReadWholeFile(Out("first.mp3")), ReadWholeFile(Out("second.mp3")));
}

TEST_F(RunEngineTest, AStopCutsASlowOpenShort) {
  WriteWholeFile(In("long.wav"), SilentWav(600));
  TEngineTask task = TaskOf(In("long.wav"), Out("long.mp3"));
  std::atomic<bool> opening{false}, cut{false};
  engine.OpenInput = [&](TDX9In& input) {
    opening = true;
    try {
      input.OpenSource();
    } catch (...) {
      cut = true;
      throw;
    }
  };
  stalled_read::Reset();
  OpenedMedia::readHookForTests = &stalled_read::Read;
  bool stopped = false;
  RunAll({task}, TEngineSetup{}, [&] {
    if (stopped || !opening || !stalled_read::readHeld) return;
    engine.Stop();
    stopped = stalled_read::stopAsked = true;
  });
  // The stopped open ends on its own thread.
  EXPECT_TRUE(WaitForAbandonedSteps(std::chrono::minutes(1)));
  OpenedMedia::readHookForTests = nullptr;

  EXPECT_TRUE(stopped);
  EXPECT_EQ(Outcome(0).Reason, TReason::Stopped);
  EXPECT_TRUE(cut) << "the open went on to its end";
  EXPECT_LE(stalled_read::readsAfterStop.load(), 1) << "the open went on reading after the stop";
  EXPECT_FALSE(fs::exists(Out("long.mp3")));
}

TEST_F(RunEngineTest, LentCoresStayWithinTheBudget) {
  std::vector<TEngineTask> tasks;
  for (int seconds : {40, 30, 20}) {
    const std::string name = std::to_string(seconds) + ".wav";
    WriteWholeFile(In(name), SilentWav(seconds));
    tasks.push_back(TaskOf(In(name), Out(name + ".mp3")));
  }
  TEngineSetup setup;
  setup.ParallelTasks = 2;
  setup.Cores = 3;
  engine.PrepareSlots(2);
  for (int32_t slot = 0; slot < 2; ++slot) engine.Sink(slot).SegmentSeconds = 2.0;
  int32_t mostInUse = 0;
  RunAll(tasks, setup, [&] {
    const TCoreBudget* budget = engine.CoreBudget();
    mostInUse = std::max(mostInUse, budget->Cores() - budget->FreeCores());
  });
  EXPECT_LE(mostInUse, 3);
  EXPECT_EQ(engine.CoreBudget()->FreeCores(), 3) << "every core given back";
  EXPECT_EQ(engine.Count(TOutcome::Converted), 3);
  for (const TTaskResult& result : engine.Outcomes())
    EXPECT_NEAR(DecodeMedia(result.Output).DecodedSeconds(), result.Seconds, 0.1);
}

// A file put at the temporary name while the task converts through its claim (with one encoder, and
// in segments): the claimed file, moved away, gets the whole MP3 and its tag; nothing else is touched.
class ForeignFileAtPartName : public RunEngineTest, public ::testing::WithParamInterface<bool> {};

TEST_P(ForeignFileAtPartName, TheClaimedFileGetsTheWholeMp3AndNothingElseIsTouched) {
  WriteWholeFile(In("long.wav"), SilentWav(30));
  WriteWholeFile(Out("long.mp3"), "old");
  TEngineTask task = TaskOf(In("long.wav"), Out("long.mp3"));
  task.Replace = true;
  TEngineSetup setup;
  setup.ViaPartFile = true;
  setup.Cores = GetParam() ? 2 : 1;
  engine.PrepareSlots(1);
  engine.Sink(0).SegmentSeconds = 2.0;
  std::string part;
  RunAll({task}, setup, [&] {
    for (const auto& entry : fs::directory_iterator(Out("")))
      if (part.empty() && entry.path().extension() == ".part") {
        part = entry.path();
        fs::rename(part, Out("claimed"));
        WriteWholeFile(part, "not ours");
      }
  });

  EXPECT_EQ(engine.Sink(0).Segmented(), GetParam());
  EXPECT_EQ(Outcome(0).Reason, TReason::OutputWrite) << Outcome(0).Message;
  EXPECT_EQ(ReadWholeFile(part), "not ours");
  EXPECT_EQ(ReadWholeFile(Out("long.mp3")), "old");
  EXPECT_EQ(std::distance(fs::directory_iterator(Out("")), fs::directory_iterator()), 3);
  const TagCheck tag = CheckLameTag(ReadWholeFile(Out("claimed")));
  EXPECT_TRUE(tag.frames == tag.fileFrames && tag.bytes == tag.fileBytes && tag.musicCrcRight &&
              tag.tagCrcRight);
  EXPECT_NEAR(DecodeMedia(Out("claimed")).DecodedSeconds(), 30.0, 0.1);
}

INSTANTIATE_TEST_SUITE_P(OneEncoderAndSegments, ForeignFileAtPartName, ::testing::Bool());

}  // namespace
