// tolvane-bench as the benchmark runs it: a good conversion prints its measures and exits 0; a failed
// one exits non-zero with the failure's message instead of passing for a fast run.
#include <gtest/gtest.h>

#include <QFileInfo>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>

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

TEST(BenchTool, AFullDiskFailsWithItsMessage) {
  const BenchResult result = RunBench(TestDataFile("ac3-stereo.rm"), "/dev/full");
  EXPECT_NE(result.exitCode, 0);
  EXPECT_EQ(result.err, "Cannot write file \"/dev/full\". No space left on device\n");
  EXPECT_EQ(result.out.find("wall_seconds"), std::string::npos) << result.out;
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
