// The probe on real files: what an accepted file writes, where its output goes, and that a
// rejected file changes nothing.
#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "MediaEditing.h"
#include "TaskSnapshot.h"
#include "core/Format.h"
#include "probe/ProbeMedia.h"
#include "tests/probe/ProbeRun.h"
#include "tests/support/TestEnvironment.h"

namespace {

class ProbeMediaTest : public ::testing::Test {
 protected:
  void SetUp() override {
    FreeAllTasks();
    FillBitrateTable();
    SetProbeLibrary(RealProbeLibrary());
    CurrentTask = TTaskRecord{};
    DefaultSettings = TDefaultSettings{};
    in = inDir.path().toStdString() + "/";
    out = outDir.path().toStdString() + "/";
  }
  void TearDown() override {
    FreeAllTasks();
    CurrentTask = TTaskRecord{};
    DefaultSettings = TDefaultSettings{};
  }
  // Copies a committed test file into the input folder, under another name if given.
  std::string Input(const std::string& testFile, const std::string& name = "") {
    const std::string path = in + (name.empty() ? testFile : name);
    WriteWholeFile(path, ReadWholeFile(TestDataFile(testFile)));
    return path;
  }
  int32_t Probe(const std::string& path, bool newTask = true) { return RunProbe(path, newTask); }

  QTemporaryDir inDir, outDir;
  std::string in, out;
};

TEST_F(ProbeMediaTest, AcceptedFileFillsTheTaskFromFileAndDefaults) {
  DefaultSettings.AudioBitrate = 128;
  DefaultSettings.AudioSampleRate = 48000;
  DefaultSettings.AudioBitsPerSample = 24;
  DefaultSettings.AudioChannels = 1;
  DefaultSettings.AudioVBR = true;
  DefaultSettings.AudioVbrMinBitrate = 64;
  DefaultSettings.AudioVbrMaxBitrate = 320;
  CurrentTask.Checked = true;
  const std::string path = Input("ac3-stereo.rm");

  ASSERT_EQ(Probe(path), 0);
  const TTaskRecord& task = CurrentTask;
  EXPECT_EQ(task.SourceFile, path);
  EXPECT_TRUE(task.HasAudio);
  EXPECT_NEAR(task.Duration / 1e7, 2.02, 0.05);
  EXPECT_EQ(task.SourceSampleRate, 44100);
  EXPECT_EQ(task.SourceChannels, 2);
  EXPECT_EQ(task.SampleRate, 48000);
  EXPECT_EQ(task.BitsPerSample, 24);
  EXPECT_EQ(task.ChannelMode, 1);
  EXPECT_EQ(task.Bitrate, 128);
  EXPECT_EQ(task.VbrMinBitrate, 64);
  EXPECT_EQ(task.VbrMaxBitrate, 320);
  EXPECT_TRUE(task.UseVBR);
  EXPECT_EQ(task.EstimatedSize, EstimateSizeKB(128, task.Duration))
      << "the constant bitrate, even with VBR on";
  EXPECT_EQ(task.Title, "Café Ünïcødé — Привет 音楽");
  EXPECT_EQ(task.Artist, "Åsa Ørsted / Дмитрий / 山田太郎");
  EXPECT_EQ(task.Comment, "Grüße, мир, 你好");
  EXPECT_EQ(task.Album, "");
  EXPECT_TRUE(task.Checked) << "not the probe's field";
}

TEST_F(ProbeMediaTest, SourceFormatsOfTheOtherTestFiles) {
  struct Expected {
    const char* file;
    int rate, channels;
  } files[] = {{"ra144.rm", 8000, 1},       {"aac.rm", 22050, 2},  {"video-ac3-mono.rmvb", 44100, 1},
               {"surround51.rm", 44100, 6}, {"ra144.ra", 8000, 1}, {"u8-mono.wav", 8000, 1}};
  for (const Expected& file : files) {
    SCOPED_TRACE(file.file);
    ASSERT_EQ(Probe(Input(file.file)), 0);
    EXPECT_EQ(CurrentTask.SourceSampleRate, file.rate);
    EXPECT_EQ(CurrentTask.SourceChannels, file.channels);
  }
  // .ra has no tag parser: the title is the file name.
  EXPECT_EQ(Probe(Input("ra144.ra")), 0);
  EXPECT_EQ(CurrentTask.Title, "ra144");
  EXPECT_EQ(CurrentTask.Artist, "");
}

TEST_F(ProbeMediaTest, TitleFallsBackToTheFileNameWithoutItsLastExtension) {
  const std::string source = ReadWholeFile(TestDataFile("ac3-stereo.rm"));
  const std::string path = in + "Live.Set.rm";
  WriteWholeFile(path, WithContTexts(source, "", "Only Author", "", ""));
  ASSERT_EQ(Probe(path), 0);
  EXPECT_EQ(CurrentTask.Title, "Live.Set");
  EXPECT_EQ(CurrentTask.Artist, "Only Author");
  EXPECT_EQ(CurrentTask.Comment, "");
}

TEST_F(ProbeMediaTest, TitlesNeverHoldControlCharacters) {
  const std::string source = ReadWholeFile(TestDataFile("ac3-stereo.rm"));
  const std::string contPath = in + "cont.rm";
  WriteWholeFile(contPath, WithContTexts(source, "First\nSecond\x1B", "", "", ""));
  ASSERT_EQ(Probe(contPath), 0);
  EXPECT_EQ(CurrentTask.Title, "First Second ");
  // A file name may hold a line break as well.
  const std::string namePath = in + "two\nlines.rm";
  WriteWholeFile(namePath, WithContTexts(source, "", "", "", ""));
  ASSERT_EQ(Probe(namePath), 0);
  EXPECT_EQ(CurrentTask.Title, "two lines");
  EXPECT_EQ(CurrentTask.SourceFile, namePath);  // the path itself stays whole
}

TEST_F(ProbeMediaTest, CopyrightIsTheCommentWhenThereIsNoComment) {
  const std::string path = in + "c.rm";
  WriteWholeFile(path, WithContTexts(ReadWholeFile(TestDataFile("ra144.rm")), "T", "", "(c) Someone", ""));
  ASSERT_EQ(Probe(path), 0);
  EXPECT_EQ(CurrentTask.Comment, "(c) Someone");
}

TEST_F(ProbeMediaTest, RejectedFilesChangeNothing) {
  const std::string textFile = in + "notes.rm";
  WriteWholeFile(textFile, "This is a text file, not RealMedia.\n");
  WriteWholeFile(in + "empty.rm", "");
  const struct {
    std::string path;
    int32_t result;
  } cases[] = {{Input("video-only.rm"), 2}, {textFile, 1}, {in + "missing.rm", 1}, {in + "empty.rm", 1}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    CurrentTask = MarkedTask();
    DefaultSettings.OutputFileDir = "";
    DefaultSettings.InputFileDir = "/in/";
    const TTaskRecord before = CurrentTask;
    const TDefaultSettings settingsBefore = DefaultSettings;
    EXPECT_EQ(Probe(c.path), c.result);
    ExpectSameTask(CurrentTask, before);
    ExpectSameSettings(DefaultSettings, settingsBefore);
  }
}

TEST_F(ProbeMediaTest, NewTaskWithoutChosenOutputFolderWritesBesideTheSource) {
  const std::string path = Input("ac3-stereo.rm", "a.rm");
  ASSERT_EQ(Probe(path), 0);
  EXPECT_EQ(DefaultSettings.OutputFileDir, in);
  EXPECT_EQ(CurrentTask.OutputFile, in + "a.mp3");

  // A folder equal to the input folder counts as never chosen; taken names are numbered.
  DefaultSettings.InputFileDir = "/somewhere/else/";
  DefaultSettings.OutputFileDir = "/somewhere/else/";
  WriteWholeFile(in + "a.mp3", "taken");
  ASSERT_EQ(Probe(path), 0);
  EXPECT_EQ(DefaultSettings.OutputFileDir, in);
  EXPECT_EQ(CurrentTask.OutputFile, in + "a(2).mp3");
}

TEST_F(ProbeMediaTest, ChosenOutputFolderStays) {
  DefaultSettings.InputFileDir = in;
  DefaultSettings.OutputFileDir = out;
  ASSERT_EQ(Probe(Input("ac3-stereo.rm", "a.rm")), 0);
  EXPECT_EQ(DefaultSettings.InputFileDir, in);
  EXPECT_EQ(DefaultSettings.OutputFileDir, out);
  EXPECT_EQ(CurrentTask.OutputFile, out + "a.mp3");
}

TEST_F(ProbeMediaTest, ReReadForTheEditorKeepsOutputFileAndFolder) {
  CurrentTask = MarkedTask();
  DefaultSettings.OutputFileDir = "";
  const std::string path = Input("aac.rm");
  ASSERT_EQ(Probe(path, false), 0);
  EXPECT_EQ(CurrentTask.OutputFile, "/earlier/output.mp3");
  EXPECT_EQ(DefaultSettings.OutputFileDir, "");
  EXPECT_EQ(CurrentTask.SourceFile, path);
  EXPECT_EQ(CurrentTask.Title, "Tone 660");
  EXPECT_EQ(CurrentTask.Album, "") << "every tag field is rewritten";
  EXPECT_EQ(CurrentTask.Year, "");
  EXPECT_EQ(CurrentTask.Duration, 0) << "neither the library nor the tags know it";
  EXPECT_EQ(CurrentTask.EstimatedSize, 0);
}

}  // namespace
