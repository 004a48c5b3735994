// The window and the command line give the same MP3 bytes for the same file and settings: the
// window's run through the real progress window with the settings it loaded, the command line's
// through the built program, once reading the same settings file and once given them as options.
#include <filesystem>

#include "core/Settings.h"
#include "tests/cli/CliRun.h"
#include "tests/convert/RunFixture.h"
#include "tests/support/MediaReader.h"
#include "ui/lang.h"

namespace {

using SameBytes = RunFixture;

TEST_F(SameBytes, TheWindowAndTheCommandLineWriteTheSameMp3) {
  const std::vector<std::tuple<std::string, std::string, QStringList>> rows = {
      {"ac3-stereo.rm", "", {}},
      {"ra144.rm",
       "AudioVBR=1\nAudioVbrMinBitrate=96\nAudioVbrMaxBitrate=192\nAudioSampleRate=48000\nAudioChannels=3",
       {"--vbr", "96-192", "--rate", "48000", "--mode", "mono"}},
      {"aac.rm",
       "AudioBitrate=320\nAudioSampleRate=32000\nAudioChannels=0",
       {"--bitrate", "320", "--rate", "32000", "--mode", "dual"}},
      {"video-ac3-mono.rmvb", "AudioBitrate=64\nAudioChannels=1", {"--bitrate", "64", "--mode", "stereo"}},
  };
  for (size_t r = 0; r < rows.size(); ++r) {
    const auto& [file, saved, options] = rows[r];
    SCOPED_TRACE(file);
    const std::string name = "row" + std::to_string(r), ini = "[General]\n" + saved + "\n";
    // The window's settings as start-up loads them.
    QDir().mkpath(QString::fromStdString(config.Path() + "/Zarnok"));
    WriteWholeFile(config.SettingsFile(), ini);
    LoadSettings();
    DefaultSettings.OutputFileDir = outputDir + "/";
    FreeAllTasks();
    const int task = AddTask(CopyOfTestFile(file, name + ".rm"));
    driver.Answer(StrNo);
    Run();
    const std::string window = ReadWholeFile(Tasks[task]->OutputFile);
    EXPECT_TRUE(DecodeMedia(Tasks[task]->OutputFile).ok);

    // The command line with the same settings file, and with no file and the settings as options.
    CliRunner cli;
    const std::string source = Tasks[task]->SourceFile, out = dir.path().toStdString() + "/cli";
    const CliResult fromFile = cli.Shell("XDG_CONFIG_HOME='" + config.Path() + "' '" + CliRunner::Program() +
                                         "' -o '" + out + "0' '" + source + "'");
    const CliResult given = cli.Run(
        options + QStringList{"-o", QString::fromStdString(out + "1"), QString::fromStdString(source)});
    EXPECT_TRUE(fromFile.exitCode == 0 && given.exitCode == 0) << fromFile.err << given.err;
    for (const std::string which : {"0", "1"}) {
      const std::string command = ReadWholeFile(out + which + "/" + name + ".mp3");
      EXPECT_TRUE(window.size() > 1000 && window == command)
          << "cli" << which << ": " << window.size() << " bytes from the window, " << command.size();
    }
  }
}

// A small tree of real files at one setting, two files at once on either side: the window's tasks
// write the tree the command line rebuilds from the folder.
TEST_F(SameBytes, ATreeOfFilesGivesTheSameMp3sThroughEitherFace) {
  const std::vector<std::pair<std::string, std::string>> tree = {{"a/one.rm", "ra144.rm"},
                                                                 {"b/two.rm", "aac.rm"},
                                                                 {"b/c/three.rm", "ac3-stereo.rm"},
                                                                 {"four.rmvb", "video-ac3-mono.rmvb"}};
  const std::string in = sourceDir + "/tree/", window = outputDir + "/window/", command = outputDir + "/cli/";
  DefaultSettings.AudioBitrate = 128;
  DefaultSettings.AudioVBR = false;
  DefaultSettings.AudioSampleRate = 32000;
  DefaultSettings.AudioChannels = 3;
  DefaultSettings.ParallelTasks = 2;
  for (const auto& [path, file] : tree) {
    std::filesystem::create_directories(std::filesystem::path(in + path).parent_path());
    WriteWholeFile(in + path, ReadWholeFile(TestDataFile(file)));
    const int task = AddTask(in + path);
    Tasks[task]->OutputFile = window + path.substr(0, path.rfind('.')) + ".mp3";
  }
  driver.Answer(StrNo);
  Run();

  const CliResult result =
      CliRunner().Run({"--bitrate", "128", "--rate", "32000", "--mode", "mono", "-j2", "-o",
                       QString::fromStdString(command), QString::fromStdString(in)});
  EXPECT_EQ(result.exitCode, 0) << result.err;
  for (const auto& [path, file] : tree) {
    const std::string mp3 = path.substr(0, path.rfind('.')) + ".mp3";
    const std::string fromWindow = ReadWholeFile(window + mp3);
    // The folder's tree under its own name.
    EXPECT_TRUE(fromWindow.size() > 1000 && fromWindow == ReadWholeFile(command + "tree/" + mp3)) << mp3;
  }
}

}  // namespace
