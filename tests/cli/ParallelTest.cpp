// tolvane-convert under GNU parallel on this machine, as the README's cluster recipes run it: one
// folder or one file per job over a tree with damaged files. Each job's exit status (parallel's job
// log) tells what became of its folder or file, and only whole MP3 files are left, also after a rerun.
#include <gtest/gtest.h>

#include <QStandardPaths>
#include <filesystem>

#include "tests/cli/CliRun.h"
#include "tests/support/DamagedMedia.h"
#include "tests/support/MediaReader.h"
#include "tests/support/TestEnvironment.h"

namespace {

// "job=status ..." in the order of the jobs' arguments, from the tab-separated --joblog.
QString JobStatuses(const std::string& joblog) {
  QStringList statuses;
  for (const QString& line : QString::fromStdString(ReadWholeFile(joblog)).split('\n').mid(1))
    if (line.count('\t') >= 8)
      statuses << line.section('\t', 8).section(' ', -1) + "=" + line.section('\t', 6, 6);
  statuses.sort();
  return statuses.join(' ');
}

TEST(GnuParallel, ConvertsATreeWithDamagedFilesOneFolderOrOneFilePerJob) {
  if (QStandardPaths::findExecutable("parallel").isEmpty()) GTEST_SKIP() << "GNU parallel is not installed";
  QTemporaryDir dir;
  const std::string root = dir.path().toStdString();
  const std::map<std::string, std::string> files = {
      {"A/good.rm", ReadWholeFile(TestDataFile("ac3-stereo.rm"))},
      {"A/broken.rm", std::string(4000, '3')},
      {"B/v.rmvb", ReadWholeFile(TestDataFile("video-ac3-mono.rmvb"))},
      {"B/Live/t.ra", ReadWholeFile(TestDataFile("ra144.ra"))},
      {"C/runaway.rm", WithRealAudio4SampleRate(ReadWholeFile(TestDataFile("ra144.rm")), 7)}};
  for (const auto& [relative, bytes] : files) {
    std::filesystem::create_directories(root + "/archive/" + relative.substr(0, relative.rfind('/')));
    WriteWholeFile(root + "/archive/" + relative, bytes);
  }
  const QString program =
      QString::fromStdString("'" + CliRunner::Program() + "' --quiet --skip-existing -o ../out");
  const std::vector<std::tuple<QString, QString, QString>> rows = {
      {"find . -mindepth 1 -maxdepth 1 -type d", program + "0 {}", "./A=1 ./B=0 ./C=1"},
      {"find . -type f", program + "1/{//} {}",
       "./A/broken.rm=1 ./A/good.rm=0 ./B/Live/t.ra=0 ./B/v.rmvb=0 ./C/runaway.rm=1"}};
  const QStringList converted = {"A/good.mp3", "B/Live/t.mp3", "B/v.mp3"};
  CliRunner cli;
  for (size_t r = 0; r < rows.size(); ++r) {
    const auto& [jobs, command, statuses] = rows[r];
    const std::string out = root + "/out" + std::to_string(r);
    // Twice: the second run skips what the first converted and fails the damaged files again.
    for (int pass = 0; pass < 2; ++pass) {
      SCOPED_TRACE(jobs.toStdString() + ", pass " + std::to_string(pass));
      const std::string joblog = root + "/joblog" + std::to_string(r) + std::to_string(pass);
      const CliResult result =
          cli.Shell("cd '" + root + "/archive' && " + jobs.toStdString() +
                    " | parallel --will-cite -j2 --joblog '" + joblog + "' " + command.toStdString());
      EXPECT_EQ(result.exitCode, 2) << result.err;  // the number of jobs that failed
      EXPECT_EQ(JobStatuses(joblog), statuses);
      EXPECT_EQ(FilesUnder(out), converted);
    }
    EXPECT_NEAR(DecodeMedia(out + "/B/Live/t.mp3").DecodedSeconds(), 2.02, 0.15);
  }
}

}  // namespace
