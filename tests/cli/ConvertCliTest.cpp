// tolvane-convert as a script runs it: a tree in gives the same tree out, every input ends with one
// outcome and the exit status sums them up, existing MP3 files are numbered, skipped or replaced, a
// usage error is one line and status 2, and an interrupted run never leaves a half MP3 under a
// final name. MP3 files are checked with the independent reader.
#include <gtest/gtest.h>
#include <signal.h>

#include <QDir>
#include <QElapsedTimer>
#include <QThread>
#include <filesystem>
#include <memory>

#include "tests/cli/CliRun.h"
#include "tests/support/CutMusic.h"
#include "tests/support/DamagedMedia.h"
#include "tests/support/MediaReader.h"
#include "tests/support/TestEnvironment.h"

namespace {

namespace fs = std::filesystem;

// The MP3 decodes to the source's length (within a tenth) and carries its tone.
void ExpectMp3Of(const std::string& source, const std::string& mp3) {
  const DecodedMedia in = DecodeMedia(source), out = DecodeMedia(mp3);
  ASSERT_TRUE(out.ok) << mp3 << ": " << out.error;
  EXPECT_EQ(out.codecName.substr(0, 3), "mp3") << mp3;
  EXPECT_NEAR(out.DecodedSeconds(), in.DecodedSeconds(), 0.1 * in.DecodedSeconds() + 0.1) << mp3;
  EXPECT_NEAR(DominantFrequency(out.samples[0], out.sampleRate),
              DominantFrequency(in.samples[0], in.sampleRate), 15.0)
      << mp3;
}

bool HasPartFile(const std::string& root) {
  for (const QString& file : FilesUnder(root))
    if (file.endsWith(".part")) return true;
  return false;
}

// A 20-second stereo AC-3 RealMedia tone made with the ffmpeg tool: long enough to be caught converting.
std::string MakeTone(const std::string& path, int hz) {
  fs::create_directories(fs::path(path).parent_path());
  QProcess ffmpeg;
  ffmpeg.start("ffmpeg", {"-loglevel", "error", "-nostdin", "-y", "-f", "lavfi", "-i",
                          QString("sine=frequency=%1:sample_rate=44100:duration=20").arg(hz), "-ac", "2",
                          "-c:a", "ac3", "-b:a", "128k", "-f", "rm", QString::fromStdString(path)});
  return ffmpeg.waitForFinished(60000) && ffmpeg.exitCode() == 0 ? path : std::string();
}

class ConvertCli : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(dir.isValid()); }
  // Qt cannot remove a name that is not UTF-8; the file system library can.
  void TearDown() override {
    std::error_code error;
    fs::remove_all(dir.path().toStdString(), error);
  }
  // Byte for byte: a name need not be UTF-8.
  std::string Path(const std::string& relative) const { return dir.path().toStdString() + "/" + relative; }
  // A copy of a test file at relative (folders made as needed).
  std::string Copy(const std::string& testFile, const std::string& relative) const {
    const std::string path = Path(relative);
    fs::create_directories(fs::path(path).parent_path());
    WriteWholeFile(path, ReadWholeFile(TestDataFile(testFile)));
    return path;
  }
  std::string Write(const std::string& relative, const std::string& bytes) const {
    const std::string path = Path(relative);
    fs::create_directories(fs::path(path).parent_path());
    WriteWholeFile(path, bytes);
    return path;
  }

  QTemporaryDir dir;
  CliRunner cli;
};

TEST_F(ConvertCli, ATreeInGivesTheSameTreeOut) {
  const std::map<std::string, std::string> sources = {
      {"top.mp3", Copy("ac3-stereo.rm", "in/top.rm")},
      {"Disc 1/01 tone.mp3", Copy("aac.rm", "in/Disc 1/01 tone.rm")},
      {"Disc 1/Extra/x.mp3", Copy("ra144.ra", "in/Disc 1/Extra/x.ra")},
      {"Disc 2/clip.mp3", Copy("video-ac3-mono.rmvb", "in/Disc 2/clip.rmvb")},
  };
  Copy("ac3-stereo.rm", "in/.hidden/h.rm");
  Write("in/Disc 2/notes.txt", "not media");
  const QStringList before = FilesUnder(Path("in"));

  const CliResult result =
      cli.Run({"--json", "-o", QString::fromStdString(Path("out")), QString::fromStdString(Path("in"))});

  EXPECT_EQ(result.exitCode, 0) << result.err;
  QStringList expected;
  for (const auto& [mp3, source] : sources) expected << QString::fromStdString(mp3);
  EXPECT_EQ(FilesUnder(Path("out")), expected);
  EXPECT_EQ(FilesUnder(Path("in")), before);
  for (const auto& [mp3, source] : sources) ExpectMp3Of(source, Path("out/" + mp3));
  for (const QJsonObject& line : result.Lines()) {
    EXPECT_EQ(line["outcome"].toString(), "converted");
    EXPECT_NEAR(line["seconds"].toDouble(), 2.0, 0.15);
    EXPECT_TRUE(line["output"].toString().startsWith(QString::fromStdString(Path("out/"))));
  }
  EXPECT_EQ(result.Outcomes().size(), sources.size());
}

// Good, far-short and damaged files: one JSON line each, no MP3 of a failed one, and the status.
TEST_F(ConvertCli, OutcomesAndExitStatuses) {
  const std::string good = Copy("ac3-stereo.rm", "media/good.rm");
  const std::string noAudio = Copy("video-only.rm", "media/noaudio.rm");
  const std::string garbage = Write("media/garbage.rm", std::string(3000, '\x5a'));
  const std::string runaway =
      Write("media/runaway.rm", WithRealAudio4SampleRate(ReadWholeFile(TestDataFile("ra144.rm")), 7));
  Copy("aac.rm", "oddly named/caf\xff \"quoted\".rm");
  const std::string cut = MakeCutMusic(Path("media"), "cut.rm");
  struct Row {
    std::vector<std::string> inputs;
    int status;
  };
  std::vector<Row> rows = {{{good}, 0}, {{good, noAudio}, 1}, {{good, garbage, runaway}, 1}};
  if (!cut.empty()) {
    rows.push_back({{good, cut}, 3});
    rows.push_back({{cut, good, runaway}, 1});
  }
  const std::map<std::string, std::string> expectedOutcome = {
      {good, "converted"}, {noAudio, "failed"}, {garbage, "failed"}, {runaway, "failed"}, {cut, "short"}};

  for (size_t r = 0; r < rows.size(); ++r) {
    SCOPED_TRACE("row " + std::to_string(r));
    const std::string out = Path("out" + std::to_string(r));
    const CliResult result = cli.Run(QStringList{"--json", "--jobs", "2", "-o", QString::fromStdString(out)} +
                                     ToQt(rows[r].inputs));
    EXPECT_EQ(result.exitCode, rows[r].status) << result.err;
    const std::map<std::string, std::string> outcomes = result.Outcomes();
    EXPECT_EQ(outcomes.size(), rows[r].inputs.size()) << result.out;
    for (const QJsonObject& line : result.Lines()) {
      const std::string input = line["input"].toString().toStdString();
      const std::string outcome = line["outcome"].toString().toStdString();
      EXPECT_EQ(outcome, expectedOutcome.count(input) ? expectedOutcome.at(input) : "?") << input;
      if (outcome == "failed") {
        EXPECT_TRUE(line["output"].isNull());
        EXPECT_NE(result.err.find(line["message"].toString().toStdString()), std::string::npos) << result.err;
      } else {
        const std::string mp3 = line["output"].toString().toStdString();
        EXPECT_TRUE(DecodeMedia(mp3).ok) << mp3;
        EXPECT_NEAR(line["seconds"].toDouble(), DecodeMedia(mp3).DecodedSeconds(), 0.2) << mp3;
      }
    }
    // A failed file leaves nothing, and no temporary file is left of any.
    size_t written = 0;
    for (const auto& [input, outcome] : outcomes) written += outcome != "failed";
    EXPECT_EQ(size_t(FilesUnder(out).size()), written) << FilesUnder(out).join(", ").toStdString();
    EXPECT_FALSE(HasPartFile(out));
  }
  // A name that is not UTF-8 is kept byte for byte, as \udcXX.
  const CliResult oddName = cli.Run(
      {"--json", "-o", QString::fromStdString(Path("odd")), QString::fromStdString(Path("oddly named"))});
  EXPECT_EQ(oddName.exitCode, 0) << oddName.err;
  EXPECT_NE(oddName.out.find("caf\\udcff \\\"quoted\\\".rm\""), std::string::npos) << oddName.out;
  EXPECT_TRUE(fs::exists(Path("odd/caf\xff \"quoted\".mp3")));
}

// An MP3 of the planned name exists, and a killed run's temporary file lies beside it.
TEST_F(ConvertCli, ExistingMp3sAreNumberedSkippedOrReplaced) {
  struct Row {
    QStringList options;
    std::string outcome, output;
    bool oldKept;
  };
  const std::vector<Row> rows = {{{}, "converted", "song(2).mp3", true},
                                 {{"--skip-existing"}, "skipped", "song.mp3", true},
                                 {{"--overwrite"}, "converted", "song.mp3", false}};
  for (size_t r = 0; r < rows.size(); ++r) {
    SCOPED_TRACE("row " + std::to_string(r));
    const std::string folder = "case" + std::to_string(r) + "/";
    const std::string source = Copy("ac3-stereo.rm", folder + "song.rm");
    Write(folder + "song.mp3", "an older MP3");
    Write(folder + "." + rows[r].output + ".part", "left by a killed run");

    const CliResult result =
        cli.Run(QStringList{"--json"} + rows[r].options + QStringList{QString::fromStdString(source)});

    EXPECT_EQ(result.exitCode, 0) << result.err;
    ASSERT_EQ(result.Lines().size(), 1u) << result.out;
    EXPECT_EQ(result.Lines()[0]["outcome"].toString().toStdString(), rows[r].outcome);
    EXPECT_EQ(result.Lines()[0]["output"].toString().toStdString(), Path(folder + rows[r].output));
    EXPECT_EQ(ReadWholeFile(Path(folder + "song.mp3")) == "an older MP3", rows[r].oldKept);
    if (rows[r].outcome == "converted") ExpectMp3Of(source, Path(folder + rows[r].output));
    QStringList expected = {"song.mp3", "song.rm"};
    if (rows[r].output != "song.mp3") expected << QString::fromStdString(rows[r].output);
    expected.sort();
    EXPECT_EQ(FilesUnder(Path(folder)), expected);
  }
}

TEST_F(ConvertCli, AUsageErrorIsOneLineAndStatusTwo) {
  const QString input = QString::fromStdString(Copy("ac3-stereo.rm", "usage/a.rm"));
  const std::vector<std::pair<QStringList, std::string>> rows = {
      {{}, "no input"},
      {{"--nope", input}, "unknown option '--nope'"},
      {{"--bitrate", "100", input},
       "8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 192, 224, 256, 320"},
      {{"--vbr", "128", input}, "MIN-MAX"},
      {{"--vbr=96-300", input}, "8, 16, 24"},
      {{"--rate", "22050", input}, "32000, 44100, 48000"},
      {{"--mode", "surround", input}, "stereo, joint, dual, mono"},
      {{"--jobs", "0", input}, "--jobs 0"},
      {{"--bitrate", "128", "--vbr", "128-256", input}, "together"},
      {{"--skip-existing", "--overwrite", input}, "together"},
      {{"--quiet=yes", input}, "takes no value"},
      {{input, "-o"}, "-o needs a value"},
  };
  for (const auto& [arguments, reason] : rows) {
    SCOPED_TRACE(arguments.join(' ').toStdString());
    const CliResult result = cli.Run(arguments);
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_TRUE(result.out.empty()) << result.out;
    EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1) << result.err;
    EXPECT_NE(result.err.find(reason), std::string::npos) << result.err;
  }
  EXPECT_EQ(FilesUnder(Path("usage")), QStringList{"a.rm"});
  const CliResult help = cli.Run({"--help"});
  EXPECT_EQ(help.exitCode, 0);
  EXPECT_NE(help.out.find("--skip-existing"), std::string::npos);
  EXPECT_EQ(cli.Run({"--version"}).out, "tolvane-convert " TOLVANE_VERSION "\n");
}

// Killed in the middle: every MP3 under a final name is whole; the rerun converts only what is
// missing, replaces the killed run's temporary file and leaves nothing else.
TEST_F(ConvertCli, AKilledRunLeavesNoHalfMp3AndTheRerunCompletesIt) {
  std::vector<std::string> sources;
  for (int i = 1; i <= 4; ++i) {
    sources.push_back(MakeTone(Path("tones/tone" + std::to_string(i) + ".rm"), 300 + 100 * i));
    if (sources.back().empty()) GTEST_SKIP() << "the ffmpeg tool is missing";
  }
  QProcess run;
  cli.Start(run, {"--jobs", "1", "--quiet", QString::fromStdString(Path("tones"))});
  // Killed once the first MP3 is published and the second is being written.
  QElapsedTimer waited;
  waited.start();
  while (run.state() == QProcess::Running && waited.elapsed() < 240000 &&
         !(fs::exists(Path("tones/tone1.mp3")) && fs::exists(Path("tones/.tone2.mp3.part"))))
    QThread::msleep(2);
  ASSERT_EQ(run.state(), QProcess::Running) << "the run ended before it could be killed";
  ::kill(pid_t(run.processId()), SIGKILL);
  ASSERT_TRUE(run.waitForFinished(10000));

  EXPECT_TRUE(HasPartFile(Path("tones")));
  for (const std::string& source : sources) {
    const std::string mp3 = source.substr(0, source.size() - 3) + ".mp3";
    if (fs::exists(mp3)) ExpectMp3Of(source, mp3);
  }
  std::map<std::string, std::string> expected;
  for (const std::string& source : sources)
    expected[source] = fs::exists(source.substr(0, source.size() - 3) + ".mp3") ? "skipped" : "converted";

  const CliResult rerun = cli.Run({"--json", "--skip-existing", QString::fromStdString(Path("tones"))});

  EXPECT_EQ(rerun.exitCode, 0) << rerun.err;
  std::map<std::string, std::string> outcomes;
  for (const auto& [input, outcome] : rerun.Outcomes())
    outcomes[fs::weakly_canonical(input).string()] = outcome;
  std::map<std::string, std::string> wanted;
  for (const auto& [input, outcome] : expected) wanted[fs::weakly_canonical(input).string()] = outcome;
  EXPECT_EQ(outcomes, wanted);
  EXPECT_EQ(FilesUnder(Path("tones")), QStringList({"tone1.mp3", "tone1.rm", "tone2.mp3", "tone2.rm",
                                                    "tone3.mp3", "tone3.rm", "tone4.mp3", "tone4.rm"}));
  for (const std::string& source : sources) ExpectMp3Of(source, source.substr(0, source.size() - 3) + ".mp3");
}

// Ctrl+C and SIGTERM: the running tasks' temporary files go, finished MP3 files stay, and the
// program ends by the signal.
TEST_F(ConvertCli, StopSignalsRemoveTheTemporaryFiles) {
  for (const int signal : {SIGINT, SIGTERM}) {
    SCOPED_TRACE(signal);
    const std::string folder = "stop" + std::to_string(signal);
    for (int i = 1; i <= 3; ++i)
      if (MakeTone(Path(folder + "/t" + std::to_string(i) + ".rm"), 440).empty())
        GTEST_SKIP() << "no ffmpeg tool";
    QProcess run;
    cli.Start(run, {"--jobs", "2", QString::fromStdString(Path(folder))});
    QElapsedTimer waited;
    waited.start();
    while (run.state() == QProcess::Running && waited.elapsed() < 240000 && !HasPartFile(Path(folder)))
      QThread::msleep(2);
    ASSERT_EQ(run.state(), QProcess::Running);
    ::kill(pid_t(run.processId()), signal);
    ASSERT_TRUE(run.waitForFinished(60000));
    EXPECT_EQ(run.exitStatus(), QProcess::CrashExit);
    EXPECT_FALSE(HasPartFile(Path(folder))) << FilesUnder(Path(folder)).join(", ").toStdString();
    for (const QString& file : FilesUnder(Path(folder)))
      if (file.endsWith(".mp3"))
        ExpectMp3Of(Path(folder + "/" + file.chopped(4).toStdString() + ".rm"),
                    Path(folder + "/" + file.toStdString()));
  }
}

}  // namespace
