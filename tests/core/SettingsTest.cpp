#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>
#include <QThread>
#include <algorithm>
#include <functional>

#include "core/Profile.h"
#include "core/Settings.h"
#include "tests/support/TestEnvironment.h"

namespace {

const char* const kAllNames[] = {"InputFileDir", "OutputFileDir",      "AudioSampleRate",
                                 "AudioBitrate", "AudioBitsPerSample", "AudioChannels",
                                 "AudioVBR",     "AudioVbrMinBitrate", "AudioVbrMaxBitrate",
                                 "tips",         "ParallelTasks"};

std::string Documents() {
  return QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation).toStdString();
}

QString Stored(const std::string& file, const char* name) {
  QSettings settings(QString::fromStdString(file), QSettings::IniFormat);
  return settings.value(name).toString();
}

// Runs body as an unprivileged user when the tests run as root, for whom no file is read-only.
int RunWithoutPrivileges(const std::string& folder, const std::function<int()>& body) {
  if (::geteuid() != 0) return body();
  ::chmod(folder.c_str(), 0777);
  const pid_t child = ::fork();
  if (child == 0) {
    if (::setgid(65534) != 0 || ::setuid(65534) != 0) ::_exit(90);
    ::_exit(body());
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 99;
}

class SettingsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ProgramDir = "/opt/tolvane/";
    AssignProductProfile();
    DefaultSettings = TDefaultSettings{};
    tips = -7;
  }
  void WriteIni(const std::string& text) {
    QDir().mkpath(QString::fromStdString(home.Path() + "/Zarnok"));
    WriteWholeFile(home.SettingsFile(), text);
  }
  ScopedConfigHome home;
};

TEST_F(SettingsTest, FirstStartWritesEveryValueWithItsDefault) {
  ASSERT_EQ(SettingsFilePath(), home.SettingsFile());
  LoadSettings();
  EXPECT_EQ(DefaultSettings.InputFileDir, Documents());
  EXPECT_EQ(DefaultSettings.OutputFileDir, "");
  EXPECT_EQ(DefaultSettings.AudioBitrate, 192);
  EXPECT_EQ(DefaultSettings.AudioSampleRate, 44100);
  EXPECT_EQ(DefaultSettings.AudioBitsPerSample, 16);
  EXPECT_EQ(DefaultSettings.AudioChannels, 2);
  EXPECT_FALSE(DefaultSettings.AudioVBR);
  EXPECT_EQ(DefaultSettings.AudioVbrMinBitrate, 128);
  EXPECT_EQ(DefaultSettings.AudioVbrMaxBitrate, 256);
  EXPECT_EQ(tips, 0);
  EXPECT_EQ(DefaultSettings.ParallelTasks, 0);

  QSettings stored(QString::fromStdString(home.SettingsFile()), QSettings::IniFormat);
  for (const char* name : kAllNames) EXPECT_TRUE(stored.contains(name)) << name;
  EXPECT_EQ(stored.allKeys().size(), 11);
  EXPECT_EQ(stored.value("ParallelTasks").toInt(), 0);
  EXPECT_EQ(stored.value("InputFileDir").toString().toStdString(), Documents());
  EXPECT_EQ(stored.value("AudioBitrate").toInt(), 192);
  EXPECT_EQ(stored.value("AudioVbrMaxBitrate").toInt(), 256);
  EXPECT_EQ(stored.value("AudioVBR").toInt(), 0);
}

TEST_F(SettingsTest, ADeletedValueIsRestoredAloneAndTheOthersAreKept) {
  WriteIni(
      "[General]\nInputFileDir=/in/\nOutputFileDir=/out/\nAudioSampleRate=48000\n"
      "AudioBitsPerSample=24\nAudioChannels=7\nAudioVBR=1\nAudioVbrMinBitrate=64\n"
      "AudioVbrMaxBitrate=320\ntips=12345\n");
  LoadSettings();
  EXPECT_EQ(DefaultSettings.AudioBitrate, 192);
  EXPECT_EQ(Stored(home.SettingsFile(), "AudioBitrate"), "192");
  EXPECT_EQ(DefaultSettings.InputFileDir, "/in/");
  EXPECT_EQ(DefaultSettings.OutputFileDir, "/out/");
  EXPECT_EQ(DefaultSettings.AudioSampleRate, 48000);
  EXPECT_EQ(DefaultSettings.AudioBitsPerSample, 24);
  EXPECT_EQ(DefaultSettings.AudioChannels, 7) << "no range check";
  EXPECT_TRUE(DefaultSettings.AudioVBR);
  EXPECT_EQ(DefaultSettings.AudioVbrMinBitrate, 64);
  EXPECT_EQ(DefaultSettings.AudioVbrMaxBitrate, 320);
  EXPECT_EQ(tips, 12345);
  EXPECT_EQ(Stored(home.SettingsFile(), "AudioVbrMaxBitrate"), "320");
}

TEST_F(SettingsTest, VbrFiveReadsTrueAndIsSavedBackAsOne) {
  WriteIni("[General]\nInputFileDir=/in/\nAudioVBR=5\n");
  LoadSettings();
  EXPECT_TRUE(DefaultSettings.AudioVBR);
  EXPECT_EQ(Stored(home.SettingsFile(), "AudioVBR"), "5") << "a valid value is not rewritten on load";
  SaveSettings();
  EXPECT_EQ(Stored(home.SettingsFile(), "AudioVBR"), "1");
}

TEST_F(SettingsTest, ValuesThatAreNotThirtyTwoBitIntegersTakeTheirDefaults) {
  WriteIni(
      "[General]\nInputFileDir=/in/\nAudioBitrate=fast\nAudioSampleRate=4294967296\n"
      "AudioChannels=-2147483649\nAudioVbrMinBitrate=12abc\nAudioVbrMaxBitrate=\n"
      "AudioBitsPerSample=-2147483648\ntips= 42 \n");
  LoadSettings();
  EXPECT_EQ(DefaultSettings.AudioBitrate, 192);
  EXPECT_EQ(DefaultSettings.AudioSampleRate, 44100);
  EXPECT_EQ(DefaultSettings.AudioChannels, 2);
  EXPECT_EQ(DefaultSettings.AudioVbrMinBitrate, 128);
  EXPECT_EQ(DefaultSettings.AudioVbrMaxBitrate, 256);
  EXPECT_EQ(DefaultSettings.AudioBitsPerSample, INT32_MIN);
  EXPECT_EQ(tips, 42);
  EXPECT_EQ(Stored(home.SettingsFile(), "AudioBitrate"), "192");
  EXPECT_EQ(Stored(home.SettingsFile(), "AudioSampleRate"), "44100");
  EXPECT_EQ(Stored(home.SettingsFile(), "AudioChannels"), "2");
}

TEST_F(SettingsTest, AnEmptyInputFolderIsLookedUpAgainAndWrittenBack) {
  WriteIni("[General]\nInputFileDir=\nOutputFileDir=\n");
  LoadSettings();
  EXPECT_EQ(DefaultSettings.InputFileDir, Documents());
  EXPECT_EQ(Stored(home.SettingsFile(), "InputFileDir").toStdString(), Documents());
}

TEST_F(SettingsTest, GarbageFileGivesTheDefaultsWithoutCrashing) {
  std::string garbage;
  for (int i = 0; i < 4096; ++i) garbage += static_cast<char>((i * 7919 + 13) % 256);
  garbage += "\n[[[=\n==\\x\n@Variant(\\0\\0)\n";
  WriteIni(garbage);
  LoadSettings();
  EXPECT_EQ(DefaultSettings.AudioBitrate, 192);
  EXPECT_EQ(DefaultSettings.AudioSampleRate, 44100);
  EXPECT_EQ(DefaultSettings.AudioVbrMaxBitrate, 256);
  EXPECT_EQ(tips, 0);
  EXPECT_FALSE(DefaultSettings.InputFileDir.empty());
}

TEST_F(SettingsTest, TextsKeepEveryCharacter) {
  LoadSettings();
  DefaultSettings.InputFileDir = "/music/Мой архив/音楽, live";
  DefaultSettings.OutputFileDir = "/out/évora=;#x/";
  SaveSettings();
  DefaultSettings = TDefaultSettings{};
  LoadSettings();
  EXPECT_EQ(DefaultSettings.InputFileDir, "/music/Мой архив/音楽, live");
  EXPECT_EQ(DefaultSettings.OutputFileDir, "/out/évora=;#x/");
}

TEST_F(SettingsTest, SaveWithoutASettingsFileWritesNothing) {
  DefaultSettings.AudioBitrate = 320;
  SaveSettings();
  EXPECT_FALSE(QFileInfo::exists(QString::fromStdString(home.SettingsFile())));
}

TEST_F(SettingsTest, AReadOnlySettingsFileFallsBackSilentlyAndIsNeverWritten) {
  const std::string original = "[General]\nInputFileDir=/in/\nAudioBitrate=64\n";
  WriteIni(original);
  ::chmod(home.SettingsFile().c_str(), 0444);
  ::chmod((home.Path() + "/Zarnok").c_str(), 0777);
  const std::string file = home.SettingsFile();
  const int failures = RunWithoutPrivileges(home.Path(), [&] {
    int bad = 0;
    LoadSettings();
    bad += DefaultSettings.InputFileDir != "/opt/tolvane/";
    bad += DefaultSettings.AudioBitrate != 192;
    bad += DefaultSettings.AudioVbrMaxBitrate != 256;
    bad += tips != 0;
    DefaultSettings.AudioBitrate = 8;
    SaveSettings();
    bad += ReadWholeFile(file) != original;
    return bad;
  });
  EXPECT_EQ(failures, 0);
  EXPECT_EQ(ReadWholeFile(file), original);
}

TEST_F(SettingsTest, ASettingsPathThatIsAFolderFallsBack) {
  QDir().mkpath(QString::fromStdString(home.SettingsFile()));
  LoadSettings();
  EXPECT_EQ(DefaultSettings.InputFileDir, "/opt/tolvane/");
  EXPECT_EQ(DefaultSettings.AudioBitrate, 192);
  SaveSettings();
  EXPECT_TRUE(QFileInfo(QString::fromStdString(home.SettingsFile())).isDir());
}

TEST_F(SettingsTest, ASettingsFolderThatCannotBeCreatedFallsBack) {
  const std::string blocker = home.Path() + "/plain-file";
  WriteWholeFile(blocker, "x");
  qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(blocker + "/config"));
  LoadSettings();
  EXPECT_EQ(DefaultSettings.InputFileDir, "/opt/tolvane/");
  EXPECT_EQ(DefaultSettings.OutputFileDir, "");
  EXPECT_EQ(DefaultSettings.AudioSampleRate, 44100);
  EXPECT_EQ(tips, 0);
  SaveSettings();  // nothing to write into: no crash, no report
}

TEST_F(SettingsTest, ParallelTasksReadsLikeTheOtherIntegersNonPositiveMeansTheCoresAndTooManyAreCut) {
  const int most = std::min(2 * std::max(1, QThread::idealThreadCount()), 16);
  const int cores = std::min(std::max(1, QThread::idealThreadCount()), most);
  struct Case {
    const char* line;     // the stored line, empty for a missing value
    int32_t loaded;       // the setting after the load
    const char* stored;   // the value in the file after the load
    int32_t tasksAtOnce;  // what a run makes of it
  };
  const Case cases[] = {{"", 0, "0", cores},
                        {"ParallelTasks=0\n", 0, "0", cores},
                        {"ParallelTasks=1\n", 1, "1", 1},
                        {"ParallelTasks=64\n", 64, "64", most},
                        {"ParallelTasks=-3\n", -3, "-3", cores},
                        {"ParallelTasks=abc\n", 0, "0", cores}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    WriteIni(std::string("[General]\nInputFileDir=/in/\nAudioBitrate=96\n") + c.line);
    DefaultSettings = TDefaultSettings{};
    DefaultSettings.ParallelTasks = 99;
    LoadSettings();
    EXPECT_EQ(DefaultSettings.ParallelTasks, c.loaded);
    EXPECT_EQ(Stored(home.SettingsFile(), "ParallelTasks"), c.stored);
    EXPECT_EQ(ParallelTaskCount(DefaultSettings.ParallelTasks), c.tasksAtOnce);
    EXPECT_EQ(DefaultSettings.AudioBitrate, 96) << "the other values are kept";
  }
  DefaultSettings.ParallelTasks = 5;
  SaveSettings();
  EXPECT_EQ(Stored(home.SettingsFile(), "ParallelTasks"), "5");
}

}  // namespace

namespace {

TEST_F(SettingsTest, ReadingTheSavedSettingsNeverWritesAndKeepsDefaultsForWhatDoesNotParse) {
  ReadSavedSettings();  // no file: the built-in defaults, and still no file
  EXPECT_EQ(DefaultSettings.AudioBitrate, 192);
  EXPECT_FALSE(QFileInfo::exists(QString::fromStdString(home.SettingsFile())));

  const std::string text =
      "[General]\nOutputFileDir=/out/\nAudioBitrate=64\nAudioVBR=x\nAudioSampleRate=32000\n";
  WriteIni(text);
  ::chmod(home.SettingsFile().c_str(), 0444);
  ReadSavedSettings();
  EXPECT_EQ(DefaultSettings.OutputFileDir, "/out/");
  EXPECT_EQ(DefaultSettings.AudioBitrate, 64);
  EXPECT_EQ(DefaultSettings.AudioSampleRate, 32000);
  EXPECT_FALSE(DefaultSettings.AudioVBR);
  EXPECT_EQ(DefaultSettings.AudioVbrMaxBitrate, 256);
  EXPECT_EQ(ReadWholeFile(home.SettingsFile()), text);
}

}  // namespace
