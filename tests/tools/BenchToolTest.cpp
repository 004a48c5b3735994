// tolvane-bench as the benchmark runs it: a good conversion prints its measures and exits 0; a failed
// one exits non-zero with the failure's message instead of passing for a fast run; one that gives far
// less audio than its file states exits 3 with the run's warning.
#include <gtest/gtest.h>

#include <QFileInfo>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>

#include "tests/support/CutMusic.h"
#include "tests/support/DamagedMedia.h"
#include "tests/support/TestEnvironment.h"

namespace {

struct BenchResult {
  int exitCode = -1;
  std::string out, err;
};

BenchResult RunBench(const std::string& input, const std::string& output) {
  QProcess process;
  process.start(QString::fromStdString(BinDir() + "/tolvane-bench"),
                {QString::fromStdString(input), QString::fromStdString(output)});
  EXPECT_TRUE(process.waitForFinished(60000));
  BenchResult result;
  result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
  result.out = process.readAllStandardOutput().toStdString();
  result.err = process.readAllStandardError().toStdString();
  return result;
}

TEST(BenchTool, ConvertsAndReportsItsMeasures) {
  QTemporaryDir dir;
  const std::string mp3 = dir.filePath("out.mp3").toStdString();
  const BenchResult result = RunBench(TestDataFile("ac3-stereo.rm"), mp3);
  EXPECT_EQ(result.exitCode, 0) << result.err;
  EXPECT_NE(result.out.find("audio_seconds 2.0"), std::string::npos) << result.out;
  EXPECT_NE(result.out.find("peak_memory_mb"), std::string::npos);
}

TEST(BenchTool, ADeviceAsOutputFailsWithItsMessage) {
  const BenchResult result = RunBench(TestDataFile("ac3-stereo.rm"), "/dev/full");
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_EQ(result.err, "Cannot create file \"/dev/full\". It is not a regular file\n");
  EXPECT_EQ(result.out.find("wall_seconds"), std::string::npos) << result.out;
}

// A file cut to a tenth whose header states the whole: the measures, the run's warning, status 3.
TEST(BenchTool, ACutFileIsWarnedOfWithStatusThree) {
  QTemporaryDir dir;
  const std::string cut = MakeCutMusic(dir.path().toStdString(), "cut.rm");
  if (cut.empty()) GTEST_SKIP() << "the firstrun.rm sample or the ffmpeg tool is missing";
  const std::string mp3 = dir.filePath("cut.mp3").toStdString();
  const BenchResult result = RunBench(cut, mp3);
  EXPECT_EQ(result.exitCode, 3) << result.err;
  EXPECT_NE(result.out.find("audio_seconds 18.1"), std::string::npos) << result.out;
  const std::string warning =
      "The file \"" + cut + "\" looks cut or damaged: its MP3 file holds only its first 0:18 of 0:03:02.\n";
  ASSERT_GE(result.err.size(), warning.size()) << result.err;
  EXPECT_EQ(result.err.substr(result.err.size() - warning.size()), warning) << result.err;
  EXPECT_TRUE(QFileInfo::exists(QString::fromStdString(mp3)));
}

// A decoder that runs away ends as damaged, and leaves no MP3 of its noise.
TEST(BenchTool, ARunawayFailsAndLeavesNoMp3) {
  QTemporaryDir dir;
  const std::string source = dir.filePath("rate7.rm").toStdString();
  WriteWholeFile(source, WithRealAudio4SampleRate(ReadWholeFile(TestDataFile("ra144.rm")), 7));
  const std::string mp3 = dir.filePath("rate7.mp3").toStdString();
  const BenchResult result = RunBench(source, mp3);
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_NE(result.err.find("is damaged: it decodes to far more audio"), std::string::npos) << result.err;
  EXPECT_FALSE(QFileInfo::exists(QString::fromStdString(mp3)));
}

TEST(BenchTool, AFileWithoutAudioFailsWithItsMessage) {
  QTemporaryDir dir;
  const std::string mp3 = dir.filePath("none.mp3").toStdString();
  const BenchResult result = RunBench(TestDataFile("video-only.rm"), mp3);
  EXPECT_NE(result.exitCode, 0);
  EXPECT_FALSE(result.err.empty());
  EXPECT_FALSE(QFileInfo::exists(QString::fromStdString(mp3)));
}

}  // namespace
