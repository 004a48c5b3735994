#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "core/OutputName.h"
#include "core/Settings.h"
#include "core/TaskList.h"
#include "tests/support/TestEnvironment.h"

namespace {

class OutputNameTest : public ::testing::Test {
 protected:
  void SetUp() override {
    FreeAllTasks();
    CurrentTask = TTaskRecord{};
    DefaultSettings = TDefaultSettings{};
    folder = dir.path().toStdString() + "/";
  }
  void TearDown() override { FreeAllTasks(); }
  QTemporaryDir dir;
  std::string folder;
};

TEST_F(OutputNameTest, NumbersPastExistingFilesAndOtherTasksOutputs) {
  CurrentTask.SourceFile = "/in/song.rm";
  DefaultSettings.OutputFileDir = folder;
  EXPECT_EQ(UniqueOutputName(".mp3"), folder + "song.mp3");

  WriteWholeFile(folder + "song.mp3", "");
  TTaskRecord other;
  other.OutputFile = folder + "song(2).mp3";
  const TTaskRecord source = CurrentTask;
  CurrentTask = other;
  StoreTask(true, 0);
  CurrentTask = source;
  EXPECT_EQ(UniqueOutputName(".mp3"), folder + "song(3).mp3");
}

TEST_F(OutputNameTest, ReplacesOnlyTheLastExtension) {
  DefaultSettings.OutputFileDir = folder;
  CurrentTask.SourceFile = "/in/live.2004.rm";
  EXPECT_EQ(UniqueOutputName(".mp3"), folder + "live.2004.mp3");
  CurrentTask.SourceFile = "/in.d/noext";
  EXPECT_EQ(UniqueOutputName(".mp3"), folder + "noext.mp3");
  EXPECT_EQ(FileNameWithoutExtension("/a/Live.Set.rm"), "Live.Set");
  EXPECT_EQ(FileNameWithoutExtension("/a.b/plain"), "plain");
}

TEST_F(OutputNameTest, OutputFolderFollowsTheSourceUntilOneIsChosen) {
  CurrentTask.SourceFile = "/music/in/a.rm";
  DefaultSettings.InputFileDir = "/music/in/";
  DefaultSettings.OutputFileDir = "";
  ApplyOutputFolderRule();
  EXPECT_EQ(DefaultSettings.OutputFileDir, "/music/in/");

  DefaultSettings.OutputFileDir = "/music/in/";
  CurrentTask.SourceFile = "/other/b.rm";
  ApplyOutputFolderRule();
  EXPECT_EQ(DefaultSettings.OutputFileDir, "/other/") << "equal to the input folder: follows the source";

  DefaultSettings.OutputFileDir = "/chosen/";
  ApplyOutputFolderRule();
  EXPECT_EQ(DefaultSettings.OutputFileDir, "/chosen/");
  EXPECT_EQ(UniqueOutputName(".mp3"), "/chosen/b.mp3");
}

}  // namespace
