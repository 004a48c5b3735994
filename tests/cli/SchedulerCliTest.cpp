// tolvane-convert as schedulers and scripts drive it: the exit status a retry can be decided on, a
// list of inputs from a file or a pipe, a plan that writes nothing, a reader that goes away, an empty
// folder, and an MP3 another machine finished while the run went on.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <QRegularExpression>
#include <QThread>
#include <chrono>
#include <filesystem>

#include "tests/cli/CliRun.h"
#include "tests/support/CutMusic.h"
#include "tests/support/TestEnvironment.h"

namespace {

namespace fs = std::filesystem;

class SchedulerCli : public CliFolderTest {
 protected:
  QStringList TemporaryFiles() const { return FilesUnder(Path("")).filter(QRegularExpression("\\.part$")); }
};

// A failure a retry may mend (here: the output folder cannot be made) comes before an input that
// cannot be converted, and that before a file converted far short.
TEST_F(SchedulerCli, TheExitStatusPutsOutputSideFailuresFirst) {
  const QString good = Q(Copy("ac3-stereo.rm", "m/good.rm")), garbage = Q(Write("m/garbage.rm", "ZZZZ"));
  const QString cut = Q(MakeCutMusic(Path("m"), "cut.rm"));
  const QString blocked = Q(Path("m/good.rm/out"));  // under a file: never a folder
  std::vector<std::pair<QStringList, int>> rows = {
      {{"-o", blocked, good}, 4}, {{"-o", blocked, garbage, good}, 4}, {{garbage, good}, 1}};
  if (!cut.isEmpty())
    rows.insert(rows.end(), {{{"-o", blocked, cut, good}, 4}, {{cut, garbage}, 1}, {{cut}, 3}});
  for (const auto& [arguments, status] : rows) {
    SCOPED_TRACE(arguments.join(' ').toStdString());
    const CliResult result = cli.Run(QStringList{"--json", "--overwrite"} + arguments);
    EXPECT_EQ(result.exitCode, status) << result.err;
    if (arguments.contains(blocked)) {
      EXPECT_EQ(result.Lines()[good.toStdString()]["reason"].toString(), "output-folder") << result.out;
    }
  }
}

// Names with a line break in them come through whole, from a file or from standard input.
TEST_F(SchedulerCli, FilesFromWithNullTakesEveryNameWhole) {
  const std::string a = Copy("ac3-stereo.rm", "in/a\nb.rm"), c = Copy("ra144.rm", "in/c.rm");
  const std::string list = Write("list", a + '\0' + c + '\0');
  const std::string program = "'" + CliRunner::Program() + "' --json --null --no-saved-settings -o '";
  for (const std::string& command : {program + Path("o1") + "' --files-from '" + list + "'",
                                     program + Path("o2") + "' --files-from - < '" + list + "'"}) {
    SCOPED_TRACE(command);
    const CliResult result = cli.Shell(command);
    EXPECT_EQ(result.exitCode, 0) << result.err;
    const auto lines = result.Lines();
    ASSERT_EQ(lines.size(), 2u) << result.out;
    for (const std::string& input : {a, c}) {
      EXPECT_EQ(lines.at(input)["outcome"].toString(), "converted");
      EXPECT_EQ(lines.at(input)["settings"].toObject()["bitrate"].toInt(), 192);
      EXPECT_GT(lines.at(input)["output_bytes"].toInt(), 1000);
    }
  }
  EXPECT_EQ(FilesUnder(Path("o1")), QStringList({"a\nb.mp3", "c.mp3"}));
}

TEST_F(SchedulerCli, ADryRunTellsThePlanAndWritesNothing) {
  const std::string a = Copy("ac3-stereo.rm", "in/a.rm"), b = Copy("ra144.rm", "in/sub/b.rm");
  Write("in/a.mp3", "an MP3 from before");
  const QStringList before = FilesUnder(Path(""));
  const CliResult result =
      cli.Run({"--json", "--dry-run", "--skip-existing", "-o", Q(Path("out")), Q(Path("in"))});
  EXPECT_EQ(result.exitCode, 0) << result.err;
  const auto lines = result.Lines();
  ASSERT_EQ(lines.size(), 2u) << result.out;
  EXPECT_EQ(lines.at(b)["output"].toString().toStdString(), Path("out/in/sub/b.mp3"));
  EXPECT_EQ(lines.at(b)["outcome"].toString(), "convert");
  EXPECT_EQ(FilesUnder(Path("")), before);
  EXPECT_FALSE(fs::exists(Path("out")));
}

// A full disk or a reader that went away ends the run as a stop does: no temporary file stays.
TEST_F(SchedulerCli, LinesThatCannotBeWrittenEndTheRunAndLeaveNoTemporaryFile) {
  for (int i = 0; i < 4; ++i) Copy("ac3-stereo.rm", "in/t" + std::to_string(i) + ".rm");
  const std::string program =
      "'" + CliRunner::Program() + "' --json -j1 -o '" + Path("out") + "' '" + Path("in");
  const CliResult full = cli.Shell(program + "' > /dev/full");
  EXPECT_NE(full.exitCode, 0);
  EXPECT_NE(full.err.find("standard output cannot be written"), std::string::npos) << full.err;
  EXPECT_TRUE(TemporaryFiles().isEmpty()) << TemporaryFiles().join(' ').toStdString();
}

TEST_F(SchedulerCli, ANamedFolderWithoutRealMediaFilesFails) {
  Write("empty/notes.txt", "no media");
  const CliResult result = cli.Run({Q(Path("empty"))});
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_NE(result.err.find("holds no RealMedia file"), std::string::npos) << result.err;
}

// Another machine finishes b.mp3 while this run converts a: b is skipped, never numbered.
TEST_F(SchedulerCli, AnMp3FinishedElsewhereMeanwhileIsSkippedNotNumbered) {
  const CliResult made = cli.Shell(
      "ffmpeg -loglevel error -nostdin -y -f lavfi -i sine=duration=20 -ac 2 -c:a ac3 "
      "-f rm '" +
      Path("a.rm") + "'");
  if (made.exitCode != 0) GTEST_SKIP() << "the ffmpeg tool is missing";
  const std::string b = Copy("ra144.rm", "b.rm");
  const pid_t run = cli.Start({"--json", "--skip-existing", "-j1", "--cores", "1", Q(Path("a.rm")), Q(b)});
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(2);
  while (TemporaryFiles().isEmpty() && std::chrono::steady_clock::now() < deadline) QThread::msleep(2);
  Write("b.mp3", "finished elsewhere");
  const CliResult result = cli.Wait(run);
  EXPECT_EQ(result.exitCode, 0) << result.err;
  EXPECT_EQ(result.Lines()[b]["outcome"].toString(), "skipped") << result.out;
  EXPECT_EQ(ReadWholeFile(Path("b.mp3")), "finished elsewhere");
  EXPECT_EQ(FilesUnder(Path("")), QStringList({"a.mp3", "a.rm", "b.mp3", "b.rm"}));
}

}  // namespace
