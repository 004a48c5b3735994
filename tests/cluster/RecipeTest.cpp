// The README's recipes for an archive on many machines, run word for word: GNU parallel over ssh to
// two host names of this machine (with and without a shared folder) and Slurm job arrays on a
// one-node cluster, sshd, munged, slurmctld and slurmd started for the test by daemons.sh. Every
// recipe runs twice over a tree with a cut and a damaged file; the second run converts nothing again.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QRegularExpression>
#include <filesystem>
#include <map>

#include "tests/cli/CliRun.h"
#include "tests/support/MediaReader.h"
#include "tests/support/TestEnvironment.h"

namespace {

constexpr int kSkipped = 77;  // daemons.sh: they cannot run here

// The recipe block of that name, without its indent, as the README shows it.
std::string Recipe(const std::string& name) {
  const QString readme = QString::fromStdString(ReadWholeFile(SourceDir() + "/README.md"));
  const QRegularExpression block("<!-- recipe: " + QRegularExpression::escape(QString::fromStdString(name)) +
                                     " -->\n(.*?)<!-- /recipe -->",
                                 QRegularExpression::DotMatchesEverythingOption);
  QStringList lines = block.match(readme).captured(1).split('\n');
  while (!lines.isEmpty() && lines.front().isEmpty()) lines.removeFirst();
  while (!lines.isEmpty() && lines.back().isEmpty()) lines.removeLast();
  for (QString& line : lines) line = line.mid(4);
  EXPECT_GT(lines.size(), 1) << "no recipe " << name;
  return lines.join('\n').toStdString() + "\n";
}

// The manual page's text with its escapes undone, to look for a recipe's lines in it.
std::string ManualText() {
  return QString::fromStdString(ReadWholeFile(SourceDir() + "/data/tolvane-convert.1"))
      .replace("\\-", "-")
      .replace("\\e", "\\")
      .replace("\\(aq", "'")
      .replace("\\&", "")
      .toStdString();
}

struct FileStamp {
  ino_t inode = 0;
  int64_t modified = 0;
  bool operator==(const FileStamp& other) const { return inode == other.inode && modified == other.modified; }
};

// Every MP3 under root with its inode and modification time: a file converted again differs.
std::map<std::string, FileStamp> Mp3Files(const std::string& root) {
  std::map<std::string, FileStamp> files;
  for (const QString& file : FilesUnder(root)) {
    if (!file.endsWith(".mp3")) continue;
    struct stat info {};
    stat((root + "/" + file.toStdString()).c_str(), &info);
    files[file.toStdString()] = {info.st_ino,
                                 int64_t(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec};
  }
  return files;
}

// "folder-or-file=status" of each job in a GNU parallel --joblog, sorted, and the hosts that ran them.
QString JobStatuses(const std::string& joblog, QStringList* hosts = nullptr) {
  QStringList statuses;
  for (const QString& line : QString::fromStdString(ReadWholeFile(joblog)).split('\n').mid(1)) {
    const QStringList fields = line.split('\t');
    if (fields.size() < 9) continue;
    // The job's folder or file: the last path of its command, unquoted.
    statuses << fields[8].section(" || ", 0, 0).remove('\'').section('/', -1) + "=" + fields[6];
    if (hosts && !hosts->contains(fields[1])) *hosts << fields[1];
  }
  statuses.sort();
  if (hosts) hosts->sort();
  return statuses.join(' ');
}

class ClusterRecipes : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    daemons_ = std::make_unique<QTemporaryDir>();
    const CliResult started =
        Cli().Shell("timeout -k 5 120 '" + SourceDir() + "/tests/cluster/daemons.sh' start '" + Daemons() +
                    "' '" + BinDir() + "' " + std::to_string(getpid()));
    if (started.exitCode != 0) skipReason_ = started.out + started.err;
    if (started.exitCode != 0 && started.exitCode != kSkipped) failure_ = "daemons.sh failed: " + skipReason_;
  }
  static void TearDownTestSuite() {
    Cli().Shell("timeout -k 5 60 '" + SourceDir() + "/tests/cluster/daemons.sh' stop '" + Daemons() + "'");
    daemons_.reset();
  }
  static std::string Daemons() { return daemons_->path().toStdString(); }
  static CliRunner& Cli() {
    static CliRunner cli;
    return cli;
  }

  void SetUp() override {
    ASSERT_TRUE(failure_.empty()) << failure_;
    if (!skipReason_.empty()) GTEST_SKIP() << skipReason_;
    sample_ = SampleFile("firstrun.rm");
    if (sample_.empty()) GTEST_SKIP() << "sample file firstrun.rm is not here";
    // Two folders with what converts (a cut file among them, names with spaces) and one that fails.
    const std::string music = ReadWholeFile(sample_);
    const std::map<std::string, std::string> files = {
        {"Show A/first run.rm", music},
        {"Show A/cut.rm", music.substr(0, 30000)},
        {"ShowB/b.rm", music},
        {"ShowB/Live/t.ra", ReadWholeFile(TestDataFile("ra144.ra"))},
        {"ShowC/broken.rm", std::string(4000, '3')}};
    for (const auto& [relative, bytes] : files) {
      std::filesystem::create_directories(Archive() + "/" + relative.substr(0, relative.rfind('/')));
      WriteWholeFile(Archive() + "/" + relative, bytes);
    }
  }

  std::string Work() const { return work_.path().toStdString(); }
  std::string Archive() const { return Work() + "/archive"; }
  std::string Mp3() const { return Work() + "/mp3"; }

  // Runs the recipe in the work folder with the variables the README has the user set, bounded.
  CliResult Run(const std::string& name, const std::string& variables = {}) {
    EXPECT_NE(ManualText().find(Recipe(name)), std::string::npos) << "the manual page lacks " << name;
    WriteWholeFile(Work() + "/" + name + ".sh", Recipe(name));
    return Cli().Shell("cd '" + Work() + "' && set -a && . '" + Daemons() +
                       "/env' && set +a && export archive='" + Archive() + "' mp3='" + Mp3() +
                       "' SBATCH_WAIT=1 " + variables + " && timeout -k 10 300 bash " + name + ".sh");
  }
  // The job id sbatch told; its tasks' logs are logs/JOB_TASK.*.
  static std::string SubmittedJob(const CliResult& result) {
    return QString::fromStdString(result.out).section("Submitted batch job ", 1).trimmed().toStdString();
  }
  // The MP3 files of the tree's four inputs that convert, and their lengths.
  static void ExpectMp3s(const std::string& root) {
    const std::map<std::string, double> seconds = {{"Show A/first run.mp3", 18.2},
                                                   {"Show A/cut.mp3", 6.8},
                                                   {"ShowB/b.mp3", 18.2},
                                                   {"ShowB/Live/t.mp3", 2.0}};
    std::vector<std::string> found;
    for (const auto& [file, stamp] : Mp3Files(root)) found.push_back(file);
    std::vector<std::string> expected;
    for (const auto& [file, length] : seconds) expected.push_back(file);
    EXPECT_EQ(found, expected);
    for (const auto& [file, length] : seconds)
      EXPECT_NEAR(DecodeMedia(root + "/" + file).DecodedSeconds(), length, 0.3) << file;
  }

  QTemporaryDir work_;
  std::string sample_;
  static inline std::unique_ptr<QTemporaryDir> daemons_;
  static inline std::string skipReason_, failure_;
};

TEST_F(ClusterRecipes, GnuParallelOverASharedFolderRunsOnTheRemoteHostsAndRerunsConvertNothingAgain) {
  const std::string joblog = Daemons() + "/home/tolvane-jobs.log";
  std::map<std::string, FileStamp> first;
  for (int pass = 0; pass < 2; ++pass) {
    SCOPED_TRACE("pass " + std::to_string(pass));
    const CliResult result = Run("parallel-shared");
    QStringList hosts;
    // Run again, the cut folder's MP3 files are skipped: it ends with 0.
    EXPECT_EQ(JobStatuses(joblog, &hosts),
              pass == 0 ? "Show A=3 ShowB=0 ShowC=1" : "Show A=0 ShowB=0 ShowC=1");
    EXPECT_EQ(result.exitCode, pass == 0 ? 2 : 1) << result.err;
    if (pass == 0) {
      EXPECT_EQ(hosts, QStringList({":", "node1", "node2"}));
    }
    ExpectMp3s(Mp3());
    if (pass == 0) first = Mp3Files(Mp3());
  }
  EXPECT_EQ(Mp3Files(Mp3()), first);
}

TEST_F(ClusterRecipes, GnuParallelWithoutSharedStorageBringsTheMp3sBackAndResumesOnlyTheFailedFile) {
  const std::string joblog = Daemons() + "/home/tolvane-transfer.log";
  std::filesystem::remove(joblog);
  std::map<std::string, FileStamp> first;
  for (int pass = 0; pass < 2; ++pass) {
    SCOPED_TRACE("pass " + std::to_string(pass));
    const CliResult result = Run("parallel-transfer");
    EXPECT_EQ(result.exitCode, 1) << result.err;
    // The second run starts the failed file only: its line is added to the log.
    EXPECT_EQ(JobStatuses(joblog), QString("b.rm=0 broken.rm=1 ") + (pass == 0 ? "" : "broken.rm=1 ") +
                                       "cut.rm=0 first run.rm=0 t.ra=0");
    ExpectMp3s(Archive());
    if (pass == 0) first = Mp3Files(Archive());
  }
  EXPECT_EQ(Mp3Files(Archive()), first);
}

// The outcome of each input in a task's JSON lines, "name=outcome" sorted.
std::string Outcomes(const std::string& jsonLog) {
  CliResult lines;
  lines.out = ReadWholeFile(jsonLog);
  QStringList outcomes;
  for (const auto& [input, line] : lines.Lines())
    outcomes << QString::fromStdString(input).section('/', -1) + "=" + line["outcome"].toString();
  outcomes.sort();
  return outcomes.join(' ').toStdString();
}

TEST_F(ClusterRecipes, SlurmArrayOfFoldersLogsEachTaskByJobAndTaskAndSkipsWhatIsDoneOnARerun) {
  WriteWholeFile(Work() + "/convert-folder.sbatch", Recipe("convert-folder.sbatch"));
  std::map<std::string, FileStamp> first;
  for (int pass = 0; pass < 2; ++pass) {
    SCOPED_TRACE("pass " + std::to_string(pass));
    const CliResult result = Run("slurm-folders");
    EXPECT_EQ(result.exitCode, 1) << result.err;  // sbatch --wait: the highest status of a task
    const std::string job = Work() + "/logs/" + SubmittedJob(result);
    const std::string converted = pass == 0 ? "converted" : "skipped";
    EXPECT_EQ(Outcomes(job + "_1.json"),
              "cut.rm=" + (pass == 0 ? "short" : converted) + " first run.rm=" + converted);
    EXPECT_EQ(Outcomes(job + "_2.json"), "b.rm=" + converted + " t.ra=" + converted);
    EXPECT_EQ(Outcomes(job + "_3.json"), "broken.rm=failed");
    EXPECT_NE(ReadWholeFile(job + "_3.out").find("broken.rm"), std::string::npos);
    ExpectMp3s(Mp3());
    if (pass == 0) first = Mp3Files(Mp3());
  }
  EXPECT_EQ(Mp3Files(Mp3()), first);
}

TEST_F(ClusterRecipes, SlurmArrayOfChunksKeepsTheTreeAndConvertsNothingTwice) {
  WriteWholeFile(Work() + "/convert-chunk.sbatch", Recipe("convert-chunk.sbatch"));
  std::map<std::string, FileStamp> first;
  for (int pass = 0; pass < 2; ++pass) {
    SCOPED_TRACE("pass " + std::to_string(pass));
    const CliResult result = Run("slurm-chunks", "files_per_task=2");
    EXPECT_EQ(result.exitCode, 1) << result.err;  // sbatch --wait: the highest status of a task
    const std::string job = Work() + "/logs/" + SubmittedJob(result);
    // Five files in chunks of two, in sorted order: the damaged one is alone in the last.
    EXPECT_EQ(FilesUnder(Work() + "/chunks"), QStringList({"0000", "0001", "0002"}));
    for (const char* task : {"_0.out", "_1.out", "_2.out"}) EXPECT_TRUE(std::filesystem::exists(job + task));
    EXPECT_NE(ReadWholeFile(job + "_2.out").find("broken.rm"), std::string::npos);
    EXPECT_EQ(Outcomes(job + "_2.json"), "broken.rm=failed");
    ExpectMp3s(Mp3());
    if (pass == 0) first = Mp3Files(Mp3());
  }
  EXPECT_EQ(Mp3Files(Mp3()), first);
}

}  // namespace
