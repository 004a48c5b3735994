// tolvane-convert under GNU parallel on this machine, as the README's cluster recipes run it: one
// folder or one file per job over a tree with damaged files. Each job's exit status (parallel's job
// log) tells what happened to its folder or file, and only whole MP3 files are left.
#include <gtest/gtest.h>

#include <QFile>
#include <QStandardPaths>
#include <filesystem>
#include <map>

#include "tests/cli/CliRun.h"
#include "tests/support/DamagedMedia.h"
#include "tests/support/MediaReader.h"
#include "tests/support/TestEnvironment.h"

namespace {

namespace fs = std::filesystem;

// Job (the argument parallel gave it) to its exit value, from parallel's --joblog.
std::map<std::string, int> JobStatuses(const std::string& joblog) {
  std::map<std::string, int> statuses;
  QFile file(QString::fromStdString(joblog));
  if (!file.open(QIODevice::ReadOnly)) return statuses;
  file.readLine();  // the heading
  while (!file.atEnd()) {
    const QStringList fields = QString::fromUtf8(file.readLine()).trimmed().split('\t');
    if (fields.size() >= 9) statuses[fields[8].section(' ', -1).toStdString()] = fields[6].toInt();
  }
  return statuses;
}

TEST(GnuParallel, ConvertsATreeWithDamagedFilesOneFolderOrOneFilePerJob) {
  if (QStandardPaths::findExecutable("parallel").isEmpty()) GTEST_SKIP() << "GNU parallel is not installed";
  QTemporaryDir dir;
  const std::string root = dir.path().toStdString();
  const auto put = [&](const std::string& relative, const std::string& bytes) {
    fs::create_directories(fs::path(root + "/archive/" + relative).parent_path());
    WriteWholeFile(root + "/archive/" + relative, bytes);
  };
  put("A/good.rm", ReadWholeFile(TestDataFile("ac3-stereo.rm")));
  put("A/broken.rm", std::string(4000, '\x33'));
  put("B/clip.rmvb", ReadWholeFile(TestDataFile("video-ac3-mono.rmvb")));
  put("B/Live/tone.ra", ReadWholeFile(TestDataFile("ra144.ra")));
  put("C/runaway.rm", WithRealAudio4SampleRate(ReadWholeFile(TestDataFile("ra144.rm")), 7));

  struct Row {
    std::string jobs;     // what the jobs are made from, run in the archive folder
    std::string command;  // parallel's command for each
    std::map<std::string, int> statuses;
  };
  const std::string program = CliRunner::Program().toStdString();
  const std::vector<Row> rows = {
      {"find . -mindepth 1 -maxdepth 1 -type d",
       "'" + program + "' --quiet --skip-existing -o ../out0/{/} {}",
       {{"./A", 1}, {"./B", 0}, {"./C", 1}}},
      {"find . -type f",
       "'" + program + "' --quiet --skip-existing -o ../out1/{//} {}",
       {{"./A/good.rm", 0},
        {"./A/broken.rm", 1},
        {"./B/clip.rmvb", 0},
        {"./B/Live/tone.ra", 0},
        {"./C/runaway.rm", 1}}},
  };
  const QStringList converted = {"A/good.mp3", "B/Live/tone.mp3", "B/clip.mp3"};
  CliRunner cli;
  for (size_t r = 0; r < rows.size(); ++r) {
    SCOPED_TRACE(rows[r].jobs);
    const std::string out = root + "/out" + std::to_string(r);
    // Twice: the second run finds the converted files and fails the damaged ones again.
    for (int pass = 0; pass < 2; ++pass) {
      SCOPED_TRACE(pass);
      const std::string joblog = root + "/joblog" + std::to_string(r) + std::to_string(pass);
      QProcess shell;
      shell.setProcessEnvironment(cli.Environment());
      shell.setWorkingDirectory(QString::fromStdString(root + "/archive"));
      shell.start("sh",
                  {"-c", QString::fromStdString(rows[r].jobs + " | parallel --will-cite -j2 --joblog '" +
                                                joblog + "' " + rows[r].command)});
      ASSERT_TRUE(shell.waitForFinished(600000));
      // parallel's own status is the number of jobs that failed.
      EXPECT_EQ(shell.exitCode(), 2) << shell.readAllStandardError().toStdString();
      EXPECT_EQ(JobStatuses(joblog), rows[r].statuses);
      EXPECT_EQ(FilesUnder(out), converted);
    }
    for (const QString& mp3 : converted) {
      const std::string source = root + "/archive/" + mp3.chopped(4).toStdString();
      const std::string original = fs::exists(source + ".rm")   ? source + ".rm"
                                   : fs::exists(source + ".ra") ? source + ".ra"
                                                                : source + ".rmvb";
      EXPECT_NEAR(DecodeMedia(out + "/" + mp3.toStdString()).DecodedSeconds(),
                  DecodeMedia(original).DecodedSeconds(), 0.15);
    }
  }
}

}  // namespace
