// Start-up seen from outside: the real program on a virtual display, its first windows, what it finds
// in the settings file, the missing encoder library, and files named on its command line.
#include <QFile>
#include <QSettings>

#include "tests/e2e/E2eFixture.h"
#include "tests/support/MediaReader.h"

class Startup : public E2eTest {
 protected:
  // True when the program has made a window with that title, shown or not.
  bool HasWindow(const QString& titlePattern) const { return !desktop_.AllWindows(titlePattern).isEmpty(); }
};

TEST_F(Startup, FirstStartShowsTheSecondTipAndLeavesEverySetting) {
  auto program = StartProgram();
  const QString main = WaitForMainWindow(/*expectTip=*/true);
  ASSERT_FALSE(main.isEmpty());
  ASSERT_NO_FATAL_FAILURE(CloseProgram(*program));

  const QStringList expected = {"AudioBitrate",
                                "AudioBitsPerSample",
                                "AudioChannels",
                                "AudioSampleRate",
                                "AudioVBR",
                                "AudioVbrMaxBitrate",
                                "AudioVbrMinBitrate",
                                "InputFileDir",
                                "OutputFileDir",
                                "ParallelTasks",
                                "tips"};
  QSettings stored(SettingsFile(), QSettings::IniFormat);
  QStringList keys = stored.allKeys();
  keys.sort();
  EXPECT_EQ(keys, expected);
  EXPECT_EQ(stored.value("AudioBitrate").toInt(), 192);
  EXPECT_EQ(stored.value("tips").toInt(), 1);
}

TEST_F(Startup, TipsSwitchedOffShowNoTipAndNoArgumentsAddNothing) {
  StoreSetting("tips", 10000);
  auto program = StartProgram();
  const QString main = WaitForMainWindow(/*expectTip=*/false);
  ASSERT_FALSE(main.isEmpty());
  // The window answers at once: Add Files opens the open dialog, so no tip and no editor is in the way.
  desktop_.Keys(main, {"alt+a"});
  const QString dialog = desktop_.WaitForWindow(titles::kOpenDialog);
  ASSERT_FALSE(dialog.isEmpty()) << "Add Files did not open the open dialog";
  EXPECT_FALSE(HasWindow(titles::kTips));
  EXPECT_FALSE(HasWindow(titles::kEditor));
  desktop_.Keys(dialog, {"Escape"});
  ASSERT_TRUE(desktop_.WaitUntilGone(titles::kOpenDialog));
  ASSERT_NO_FATAL_FAILURE(CloseProgram(*program));
  EXPECT_EQ(StoredSetting("tips").toInt(), 10000);
}

TEST_F(Startup, AMissingEncoderLibraryIsToldAndTheProgramEndsBeforeAnyMainWindow) {
  auto program = StartProgram({}, {"TOLVANE_LAME_LIBRARY=/nonexistent/libnothing.so.0"});
  const QString message = desktop_.WaitForWindow(titles::kMessage);
  ASSERT_FALSE(message.isEmpty()) << "no message appeared: " << program->Output().toStdString();
  EXPECT_FALSE(HasWindow(titles::kMain));
  EXPECT_FALSE(HasWindow(titles::kTips));
  desktop_.Keys(message, {"Return"});
  ASSERT_TRUE(program->WaitForEnd()) << "the program did not end after the message";
  EXPECT_TRUE(program->EndedNormally());
  EXPECT_EQ(program->ExitCode(), 0);
  EXPECT_FALSE(HasWindow(titles::kMain));
}

TEST_F(Startup, FilesOnTheCommandLineAreAddedLikeADropAfterTheTip) {
  CopyTestFile("aac.rm");
  const QString stereo = CopyTestFile("ac3-stereo.rm");
  // As a terminal passes them (relative to the working folder) and as a file manager does (whole).
  auto program = StartProgram({"aac.rm", stereo});
  const QString main = desktop_.WaitForWindow(titles::kMain);
  ASSERT_FALSE(main.isEmpty());
  const QString tip = desktop_.WaitForWindow(titles::kTips);
  ASSERT_FALSE(tip.isEmpty());
  EXPECT_FALSE(HasWindow(titles::kEditor)) << "the editor came before the tip was closed";
  desktop_.Keys(tip, {"Return"});

  ASSERT_NO_FATAL_FAILURE(ConfirmEditor());
  ASSERT_NO_FATAL_FAILURE(AnswerMessage({"alt+y"}));  // the same settings for the second file
  ASSERT_NO_FATAL_FAILURE(ConvertAll(main));
  ASSERT_NO_FATAL_FAILURE(CloseProgram(*program));

  for (const char* name : {"aac.mp3", "ac3-stereo.mp3"}) {
    const DecodedMedia mp3 = DecodeMedia(MediaPath(name).toStdString());
    EXPECT_TRUE(mp3.ok) << name << ": " << mp3.error;
    EXPECT_EQ(mp3.sampleRate, 44100) << name;
  }
  EXPECT_EQ(StoredSetting("InputFileDir").toString(), MediaPath(""));
}
