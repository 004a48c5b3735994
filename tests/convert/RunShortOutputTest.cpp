// A file cut by a failed download converts to far less audio than it states: the end report names
// the file and says so, keeps the MP3 of what is there, and does not claim full success.
#include <QFileInfo>
#include <filesystem>

#include "core/Settings.h"
#include "tests/convert/RunFixture.h"
#include "tests/support/CutMusic.h"
#include "tests/support/MediaReader.h"
#include "ui/lang.h"

namespace {

namespace fs = std::filesystem;

using ShortOutputRun = RunFixture;

double PlayedSeconds(const std::string& mp3) {
  const DecodedMedia media = DecodeMedia(mp3);
  return media.ok ? media.DecodedSeconds() : -1;
}

}  // namespace

// One task at a time, and two at once.
class ShortOutputRunAt : public RunFixture, public ::testing::WithParamInterface<int> {};

TEST_P(ShortOutputRunAt, ACutFileIsWarnedOfAndTheEndMessageCountsIt) {
  DefaultSettings.ParallelTasks = GetParam();
  driver.stepTimeoutMs = 600000;  // a busy machine may take long over the batch
  const int good1 = AddTask(CopyOfTestFile("ra144.rm", "good1.rm"));
  const std::string cut = MakeCutMusic(sourceDir, "cut.rm");
  if (cut.empty()) GTEST_SKIP() << "the firstrun.rm sample or the ffmpeg tool is missing";
  const int partial = AddTask(cut);
  EXPECT_NEAR(Tasks[partial]->Duration / 1e7, 182.0, 0.1) << "the header states the whole recording";
  const int good2 = AddTask(CopyOfTestFile("aac.rm", "good2.rm"));
  AnswerReport();

  Run();

  EXPECT_TRUE(driver.messages.isEmpty()) << driver.messages.join(" | ").toStdString();
  ASSERT_EQ(reports.size(), 1);
  EXPECT_EQ(reports[0],
            QString::fromStdString("3 files: 2 converted, 1 converted in part, 0 failed, 0 skipped.\n"
                                   "Converted in part:\n " +
                                   cut + "\n    The file \"" + cut +
                                   "\" looks cut or damaged: its MP3 file holds only its "
                                   "first 0:18 of 0:03:02.\n") +
                StrAskOpenFolder);
  // The MP3 holds what the file holds; the other tasks are untouched by it.
  EXPECT_NEAR(PlayedSeconds(Tasks[partial]->OutputFile), 18.1, 0.3);
  EXPECT_NEAR(PlayedSeconds(Tasks[good1]->OutputFile), 2.0, 0.2);
  EXPECT_NEAR(PlayedSeconds(Tasks[good2]->OutputFile), 2.1, 0.2);
}

INSTANTIATE_TEST_SUITE_P(OneAndTwoAtOnce, ShortOutputRunAt, ::testing::Values(1, 2));

TEST_F(ShortOutputRun, AFileWithoutAStatedDurationIsNoneOfThis) {
  // ra144.rm states no duration: its 2 s are all it has, and the run is a success as before.
  AddTask(CopyOfTestFile("ra144.rm", "unknown.rm"));
  driver.Answer(StrNo);
  Run();
  ASSERT_EQ(driver.messages.size(), 1);
  EXPECT_EQ(driver.messages[0], EndMessage(StrAllConverted));
}
