// The window and the command line give the same MP3 bytes for the same file and settings: the
// window's conversion through the real progress window, the command line's through the built
// program, with its settings given as options or saved by the window.
#include <QDir>
#include <functional>

#include "core/Settings.h"
#include "tests/cli/CliRun.h"
#include "tests/convert/RunFixture.h"
#include "tests/support/MediaReader.h"
#include "ui/lang.h"

namespace {

using SameBytes = RunFixture;

struct Row {
  const char* file;
  QStringList options;                              // the command line's settings
  std::function<void(TDefaultSettings&)> settings;  // the same, as the window's defaults
  const char* saved;                                // the settings file the command line reads, or null
};

TEST_F(SameBytes, TheWindowAndTheCommandLineWriteTheSameMp3) {
  const std::vector<Row> rows = {
      {"ac3-stereo.rm", {}, [](TDefaultSettings&) {}, nullptr},
      {"ra144.rm",
       {"--vbr", "96-192", "--rate", "48000", "--mode", "mono"},
       [](TDefaultSettings& d) {
         d.AudioVBR = true, d.AudioVbrMinBitrate = 96, d.AudioVbrMaxBitrate = 192;
         d.AudioSampleRate = 48000, d.AudioChannels = 3;
       },
       nullptr},
      {"aac.rm",
       {"--bitrate", "320", "--rate", "32000", "--mode", "dual"},
       [](TDefaultSettings& d) { d.AudioBitrate = 320, d.AudioSampleRate = 32000, d.AudioChannels = 0; },
       nullptr},
      {"video-ac3-mono.rmvb",
       {},
       [](TDefaultSettings& d) { d.AudioBitrate = 64, d.AudioChannels = 1; },
       "[General]\nAudioBitrate=64\nAudioChannels=1\n"},
  };
  const TDefaultSettings fixture = DefaultSettings;
  for (size_t r = 0; r < rows.size(); ++r) {
    SCOPED_TRACE(rows[r].file);
    const std::string name = "row" + std::to_string(r), cliDir = dir.path().toStdString() + "/cli";
    DefaultSettings = fixture;
    rows[r].settings(DefaultSettings);
    FreeAllTasks();
    const int task = AddTask(CopyOfTestFile(rows[r].file, name + ".rm"));
    driver.Answer(StrNo);
    Run();

    CliRunner cli;
    if (rows[r].saved) {
      ASSERT_TRUE(QDir().mkpath(QString::fromStdString(cli.ConfigHome() + "/Zarnok")));
      WriteWholeFile(cli.ConfigHome() + "/Zarnok/Tolvane.ini", rows[r].saved);
    }
    const CliResult result =
        cli.Run(rows[r].options + QStringList{"-o", QString::fromStdString(cliDir),
                                              QString::fromStdString(Tasks[task]->SourceFile)});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    const std::string window = ReadWholeFile(Tasks[task]->OutputFile);
    const std::string command = ReadWholeFile(cliDir + "/" + name + ".mp3");
    EXPECT_TRUE(DecodeMedia(cliDir + "/" + name + ".mp3").ok);
    EXPECT_TRUE(window.size() > 1000 && window == command)
        << window.size() << " bytes from the window, " << command.size() << " from the command line";
  }
}

}  // namespace
