// The probe's decisions for answers of the media and tag libraries that no real test file gives
// together: the libraries are replaced through the probe's seam.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "TaskSnapshot.h"
#include "probe/ProbeMedia.h"
#include "tests/probe/ProbeRun.h"

namespace {

// What the fake libraries answer, and the calls they saw.
struct FakeLibraries {
  int32_t initResult = 0;
  int64_t duration = 0;
  int32_t noAudio = 0;
  uint16_t channels = 2;
  uint32_t rate = 44100;
  TTagInfo tags;
  std::vector<std::string> calls;
};
FakeLibraries fake;

int32_t FakeFileInit(const char* path, int64_t* duration, int32_t* second, int32_t* noAudio, TMediaInfoBlock*,
                     TWaveFormatEx* format) {
  fake.calls.push_back(std::string("file_init ") + path);
  EXPECT_EQ(*duration, 0);
  EXPECT_EQ(*second, 0);
  EXPECT_EQ(*noAudio, 0);
  *duration = fake.duration;
  *noAudio = fake.noAudio;
  format->nChannels = fake.channels;
  format->nSamplesPerSec = fake.rate;
  return fake.initResult;
}
int32_t FakeFileExit() {
  fake.calls.push_back("file_exit");
  return 0;
}
void FakeReadTags(const std::string& path, TTagInfo& info) {
  fake.calls.push_back("ReadTags " + path);
  info = fake.tags;
}

class ProbeDecisionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fake = FakeLibraries{};
    SetProbeLibrary(TProbeLibrary{&FakeFileInit, &FakeFileExit, &FakeReadTags});
    FreeAllTasks();
    CurrentTask = TTaskRecord{};
    DefaultSettings = TDefaultSettings{};
    DefaultSettings.AudioBitrate = 128;
    DefaultSettings.OutputFileDir = "/out/";
    DefaultSettings.InputFileDir = "/in/";
  }
  void TearDown() override {
    SetProbeLibrary(RealProbeLibrary());
    CurrentTask = TTaskRecord{};
    DefaultSettings = TDefaultSettings{};
  }
  int32_t Probe(const std::string& path = "/music/song.rm", bool newTask = true) {
    return RunProbe(path, newTask);
  }
};

TEST_F(ProbeDecisionTest, ReadFailureWinsOverTheNoAudioIndicator) {
  CurrentTask = MarkedTask();
  const TTaskRecord before = CurrentTask;
  fake.initResult = 5;
  fake.noAudio = 1;
  EXPECT_EQ(Probe(), 1);
  fake.initResult = -1;
  EXPECT_EQ(Probe(), 1);
  fake.initResult = 0;
  EXPECT_EQ(Probe(), 2);
  ExpectSameTask(CurrentTask, before);
  EXPECT_EQ(DefaultSettings.OutputFileDir, "/out/");
  const std::vector<std::string> expected = {"file_init /music/song.rm", "file_exit",
                                             "file_init /music/song.rm", "file_exit",
                                             "file_init /music/song.rm", "file_exit"};
  EXPECT_EQ(fake.calls, expected) << "file_exit follows every file_init; rejected files read no tags";
}

TEST_F(ProbeDecisionTest, NoAudioIndicatorOfZeroOrBelowIsAccepted) {
  for (const int32_t indicator : {0, -1, -1000}) {
    fake.noAudio = indicator;
    EXPECT_EQ(Probe(), 0);
    EXPECT_TRUE(CurrentTask.HasAudio);
  }
  const std::vector<std::string> expected = {"file_init /music/song.rm", "file_exit",
                                             "ReadTags /music/song.rm"};
  EXPECT_EQ(std::vector<std::string>(fake.calls.end() - 3, fake.calls.end()), expected)
      << "the library is released before the tags are read";
}

TEST_F(ProbeDecisionTest, TagDurationOnlyWhenTheLibraryHasNone) {
  fake.duration = 0;
  fake.tags.TagDuration = 1800000000;  // three minutes
  ASSERT_EQ(Probe(), 0);
  EXPECT_EQ(CurrentTask.Duration, 1800000000);
  EXPECT_EQ(CurrentTask.EstimatedSize, 2966) << "128 kbps for three minutes";

  fake.duration = 10;
  ASSERT_EQ(Probe(), 0);
  EXPECT_EQ(CurrentTask.Duration, 10);

  fake.duration = 0;
  fake.tags.TagDuration = 0;
  ASSERT_EQ(Probe(), 0);
  EXPECT_EQ(CurrentTask.Duration, 0);
  EXPECT_EQ(CurrentTask.EstimatedSize, 0);
}

TEST_F(ProbeDecisionTest, TagTextsWithTheirFallbacks) {
  const std::string longTitle(300, 't');
  fake.tags.TagTitle = longTitle.c_str();
  fake.tags.TagArtist2 = "second artist";
  fake.tags.TagComment = "first comment";
  fake.tags.TagComment2 = "second comment";
  fake.tags.TagAlbum = "album";
  fake.tags.TagGenre = "genre";
  fake.tags.TagYear = "2004";
  ASSERT_EQ(Probe(), 0);
  EXPECT_EQ(CurrentTask.Title, std::string(255, 't'));
  EXPECT_EQ(CurrentTask.Artist, "second artist");
  EXPECT_EQ(CurrentTask.Comment, "first comment");
  EXPECT_EQ(CurrentTask.Album, "album");
  EXPECT_EQ(CurrentTask.Genre, "genre");
  EXPECT_EQ(CurrentTask.Year, "2004");

  fake.tags = TTagInfo{};
  fake.tags.TagArtist = "first artist";
  fake.tags.TagArtist2 = "second artist";
  fake.tags.TagComment2 = "second comment";
  ASSERT_EQ(Probe("/music/Live.Set.rm"), 0);
  EXPECT_EQ(CurrentTask.Title, "Live.Set");
  EXPECT_EQ(CurrentTask.Artist, "first artist");
  EXPECT_EQ(CurrentTask.Comment, "second comment");
  EXPECT_EQ(CurrentTask.Album, "");
}

TEST_F(ProbeDecisionTest, OutputFolderRuleOnBothSides) {
  ASSERT_EQ(Probe("/music/a.rm"), 0);
  EXPECT_EQ(DefaultSettings.OutputFileDir, "/out/") << "a chosen folder stays";
  EXPECT_EQ(CurrentTask.OutputFile, "/out/a.mp3");

  DefaultSettings.OutputFileDir = "";
  ASSERT_EQ(Probe("/music/a.rm"), 0);
  EXPECT_EQ(DefaultSettings.OutputFileDir, "/music/");
  EXPECT_EQ(CurrentTask.OutputFile, "/music/a.mp3");

  DefaultSettings.InputFileDir = "/music/";
  ASSERT_EQ(Probe("/elsewhere/b.rm"), 0);
  EXPECT_EQ(DefaultSettings.OutputFileDir, "/elsewhere/") << "equal to the input folder: follows the source";
  EXPECT_EQ(CurrentTask.OutputFile, "/elsewhere/b.mp3");

  DefaultSettings.InputFileDir = "/Elsewhere/";
  ASSERT_EQ(Probe("/third/c.rm"), 0);
  EXPECT_EQ(DefaultSettings.OutputFileDir, "/elsewhere/") << "the comparison is case-sensitive";

  CurrentTask.OutputFile = "/kept/output.mp3";
  DefaultSettings.OutputFileDir = "";
  ASSERT_EQ(Probe("/fourth/d.rm", false), 0);
  EXPECT_EQ(CurrentTask.OutputFile, "/kept/output.mp3");
  EXPECT_EQ(DefaultSettings.OutputFileDir, "");
  EXPECT_EQ(CurrentTask.SourceFile, "/fourth/d.rm");
}

}  // namespace
