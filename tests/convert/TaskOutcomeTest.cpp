// When a finished task counts as converted only in part, how the run words it, and which MP3 files
// can be played at all.
#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "audio/PlayableMp3.h"
#include "run/RunMessages.h"
#include "run/TaskOutcome.h"
#include "tests/support/TestEnvironment.h"

namespace {

constexpr int64_t kSecond = 10000000;

TEST(TaskOutcome, FarShortIsUnderNinetyPercentAndAtLeastTwoSecondsShort) {
  EXPECT_TRUE(IsFarShort(18 * kSecond, 182 * kSecond));
  EXPECT_TRUE(IsFarShort(2 * kSecond, 18 * kSecond)) << "firstrun.rm cut to a quarter";
  EXPECT_FALSE(IsFarShort(1 * kSecond, 2 * kSecond)) << "half of a 2 s file is less than 2 s short";
  EXPECT_FALSE(IsFarShort(90 * kSecond, 100 * kSecond)) << "90 % is enough";
  EXPECT_TRUE(IsFarShort(90 * kSecond - 1, 100 * kSecond));
  EXPECT_FALSE(IsFarShort(0, 0)) << "no duration known";
  EXPECT_FALSE(IsFarShort(200 * kSecond, 100 * kSecond));
}

TEST(TaskOutcome, TheWarningGivesWhatTheMp3HoldsOfTheWhole) {
  EXPECT_EQ(
      ShortOutputWarning("/music/a.rm", 18 * kSecond + 9000000, 182 * kSecond + 210000),
      "The file \"/music/a.rm\" looks cut or damaged: its MP3 file holds only its first 0:18 of 0:03:02.");
  EXPECT_EQ(ShortOutputWarning("b.rm", 3725 * kSecond, 7322 * kSecond),
            "The file \"b.rm\" looks cut or damaged: its MP3 file holds only its first 1:02:05 of 2:02:02.");
}

TEST(TaskOutcome, TheEndMessageCountsFailedAndPartialFiles) {
  EXPECT_EQ(RunOutcomeText(false, 0, 3, 0), "All files have been converted successfully.");
  EXPECT_EQ(RunOutcomeText(false, 0, 1, 1),
            "The conversion has finished, but 1 of 1 file was converted only in part (cut or damaged).");
  EXPECT_EQ(RunOutcomeText(false, 0, 4, 2),
            "The conversion has finished, but 2 of 4 files were converted only in part (cut or damaged).");
  EXPECT_EQ(
      RunOutcomeText(false, 1, 4, 2),
      "The conversion has finished, but 1 of 4 files could not be converted and 2 were converted only in "
      "part (cut or damaged).");
  EXPECT_EQ(RunOutcomeText(true, 1, 4, 2), "The conversion is canceled.");
}

TEST(TaskOutcome, AnMp3WithoutAudioFramesCannotBePlayed) {
  QTemporaryDir dir;
  const std::string path = dir.filePath("x.mp3").toStdString();
  EXPECT_FALSE(IsPlayableMp3(path)) << "missing";
  WriteWholeFile(path, "");
  EXPECT_FALSE(IsPlayableMp3(path)) << "empty";
  // An ID3v2 tag of 3 KB with nothing after it, and a few bytes of a frame header.
  std::string tag = "ID3\x03";
  tag += std::string("\0\0\0\0\x18\x00", 6);
  tag += std::string(3072, '\0');
  WriteWholeFile(path, tag + "\xFF\xFB\x90");
  EXPECT_FALSE(IsPlayableMp3(path));
}

}  // namespace
