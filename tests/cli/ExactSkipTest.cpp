// --skip-existing as reruns on many machines need it: an MP3 is taken as done only for its own
// input, names come from each input alone (every folder under -o keeps its own name, inputs that
// would share an MP3 are refused as a clash), each name of a hard-linked file gets its MP3, and an
// empty or outdated MP3 is converted again.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "tests/cli/CliRun.h"
#include "tests/support/MediaReader.h"
#include "tests/support/TestEnvironment.h"

namespace {

namespace fs = std::filesystem;

class ExactSkip : public CliFolderTest {
 protected:
  // input → outcome and output, from the JSON lines.
  static std::map<std::string, std::pair<QString, std::string>> Outcomes(const CliResult& result) {
    std::map<std::string, std::pair<QString, std::string>> outcomes;
    for (const auto& [input, line] : result.Lines())
      outcomes[input] = {line["outcome"].toString(), line["output"].toString().toStdString()};
    return outcomes;
  }
  static void ExpectAudioOf(const std::string& source, const std::string& mp3) {
    EXPECT_NEAR(DecodeMedia(mp3).DecodedSeconds(), DecodeMedia(source).DecodedSeconds(), 0.15) << mp3;
  }
};

TEST_F(ExactSkip, AnMp3IsTakenAsDoneOnlyForItsOwnInput) {
  const std::string a = Copy("ac3-stereo.rm", "A/x.rm"), b = Copy("ra144.rm", "B/x.rm");
  const std::string out = Path("out");
  EXPECT_EQ(cli.Run({"--json", "--skip-existing", "-o", Q(out), Q(Path("A"))}).exitCode, 0);

  // B's x.rm is not A's: it gets its own MP3, and A's is skipped, not converted again.
  const CliResult rerun = cli.Run({"--json", "--skip-existing", "-o", Q(out), Q(Path("B")), Q(Path("A"))});
  EXPECT_EQ(rerun.exitCode, 0) << rerun.err;
  const auto outcomes = Outcomes(rerun);
  EXPECT_EQ(outcomes.at(b), std::make_pair(QString("converted"), out + "/B/x.mp3"));
  EXPECT_EQ(outcomes.at(a), std::make_pair(QString("skipped"), out + "/A/x.mp3"));
  EXPECT_EQ(FilesUnder(out), QStringList({"A/x.mp3", "B/x.mp3"}));
  ExpectAudioOf(a, out + "/A/x.mp3");
  ExpectAudioOf(b, out + "/B/x.mp3");
}

// Inputs whose MP3 would be one: refused before anything runs, in one run or one job each.
TEST_F(ExactSkip, InputsThatWouldShareAnMp3AreAllRefusedAsAClash) {
  const std::string rm = Copy("ac3-stereo.rm", "C/talk.rm"), ra = Copy("ra144.ra", "C/talk.ra");
  const std::string a = Copy("ac3-stereo.rm", "A/x.rm"), b = Copy("ra144.rm", "B/x.rm");
  const std::vector<std::pair<QStringList, std::vector<std::string>>> rows = {
      {{"--skip-existing", Q(rm), Q(ra)}, {rm, ra}},
      {{"--overwrite", Q(ra)}, {ra}},
      {{"--skip-existing", "-o", Q(Path("out")), Q(a), Q(b)}, {a, b}}};
  for (const auto& [arguments, refused] : rows) {
    SCOPED_TRACE(arguments.join(' ').toStdString());
    const CliResult result = cli.Run(QStringList{"--json"} + arguments);
    EXPECT_EQ(result.exitCode, 1);
    for (const std::string& input : refused) {
      const QJsonObject line = result.Lines()[input];
      EXPECT_EQ(line["outcome"].toString(), "failed");
      EXPECT_TRUE(line["message"].toString().contains("more than one input")) << result.out;
    }
  }
  EXPECT_EQ(FilesUnder(Path("C")), QStringList({"talk.ra", "talk.rm"}));
  EXPECT_FALSE(fs::exists(Path("out")));
}

TEST_F(ExactSkip, EachNameOfAHardLinkedFileGetsItsMp3AndOnePathNamedTwiceOne) {
  const std::string x = Copy("ac3-stereo.rm", "H/x.rm"), y = Path("H/y.rm");
  ASSERT_EQ(link(x.c_str(), y.c_str()), 0);
  const CliResult result = cli.Run({"--json", "--skip-existing", Q(x), Q(Path("H//x.rm")), Q(y)});
  EXPECT_EQ(result.exitCode, 0) << result.err;
  EXPECT_EQ(result.Lines().size(), 2u) << result.out;
  EXPECT_EQ(FilesUnder(Path("H")), QStringList({"x.mp3", "x.rm", "y.mp3", "y.rm"}));
  ExpectAudioOf(x, Path("H/y.mp3"));
}

TEST_F(ExactSkip, AnEmptyOrOutdatedMp3IsConvertedAgainInItsPlace) {
  const std::string source = Copy("ac3-stereo.rm", "song.rm"), mp3 = Path("song.mp3");
  struct stat input {};
  stat(source.c_str(), &input);
  // What lies at the MP3's name, how old against the input, and what becomes of the input.
  const std::vector<std::tuple<std::string, int, QString>> rows = {
      {"", 10, "converted"}, {"an MP3 from before", -3600, "converted"}, {"a finished MP3", 10, "skipped"}};
  for (const auto& [bytes, age, outcome] : rows) {
    SCOPED_TRACE(outcome.toStdString() + " " + bytes);
    WriteWholeFile(mp3, bytes);
    const struct timespec times[2] = {{input.st_mtim.tv_sec + age, 0}, {input.st_mtim.tv_sec + age, 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, mp3.c_str(), times, 0), 0);
    const CliResult result = cli.Run({"--json", "--skip-existing", Q(source)});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(Outcomes(result).at(source), std::make_pair(outcome, mp3));
    if (outcome == "converted") {
      ExpectAudioOf(source, mp3);
    } else {
      EXPECT_EQ(ReadWholeFile(mp3), bytes);
    }
    EXPECT_EQ(FilesUnder(dir.path().toStdString()), QStringList({"song.mp3", "song.rm"}));
  }
}

// Refused when planned, not after converting, and the message names the MP3.
TEST_F(ExactSkip, AnMp3NameTooLongForItsTemporaryNameIsRefusedBeforeAnythingRuns) {
  const long longest = pathconf(dir.path().toUtf8().constData(), _PC_NAME_MAX);
  const std::string stem = std::string(size_t(longest) - 35, 'x');
  const std::string source = Copy("ac3-stereo.rm", stem + ".rm");
  const CliResult result = cli.Run({"--json", Q(source)});
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_TRUE(result.Lines()[source]["message"].toString().startsWith(
      Q("The MP3 file \"" + Path(stem) + ".mp3\" has a name too long")))
      << result.out;
  EXPECT_EQ(FilesUnder(dir.path().toStdString()), QStringList({Q(stem + ".rm")}));
}

}  // namespace
