// tolvane-convert as a script runs it: the same tree out as in, one outcome per input and the status
// that sums them up, existing MP3 files numbered, skipped or replaced, usage errors, and no half MP3
// under a final name after an interrupted run. MP3 files are checked with the independent reader.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <QRegularExpression>
#include <QThread>
#include <chrono>
#include <filesystem>

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
  EXPECT_NEAR(out.DecodedSeconds(), in.DecodedSeconds(), 0.1 * in.DecodedSeconds() + 0.1) << mp3;
  const double hz = DominantFrequency(in.samples[0], in.sampleRate);
  EXPECT_NEAR(DominantFrequency(out.samples[0], out.sampleRate), hz, 15.0) << mp3;
}

std::string Mp3Of(const std::string& source) { return source.substr(0, source.size() - 3) + ".mp3"; }

class ConvertCli : public CliFolderTest {
 protected:
  // Paths by their bytes, removed by the file system library: a name need not be UTF-8, as Qt needs.
  void TearDown() override { fs::remove_all(Path("")); }
  // A 20-second stereo AC-3 tone made with the ffmpeg tool: long enough to be caught converting.
  std::string Tone() const {
    const std::string lavfi = "-f lavfi -i sine=frequency=440:sample_rate=44100:duration=20 -ac 2 -c:a ac3";
    const CliResult made =
        cli.Shell("ffmpeg -loglevel error -nostdin -y " + lavfi + " -f rm '" + Path("t.rm") + "'");
    return made.exitCode == 0 ? ReadWholeFile(Path("t.rm")) : std::string();
  }
};

TEST_F(ConvertCli, ATreeInGivesTheSameTreeOut) {
  const std::map<std::string, std::string> sources = {
      {"top.mp3", Copy("ac3-stereo.rm", "in/top.rm")},
      {"Disc 1/01 a.mp3", Copy("aac.rm", "in/Disc 1/01 a.rm")},
      {"Disc 1/Extra/x.mp3", Copy("ra144.ra", "in/Disc 1/Extra/x.ra")},
      {"Disc 2/v.mp3", Copy("video-ac3-mono.rmvb", "in/Disc 2/v.rmvb")},
      {"Disc 2/caf\xff \"x\".mp3", Copy("aac.rm", "in/Disc 2/caf\xff \"x\".rm")}};
  Copy("ac3-stereo.rm", "in/.hidden/h.rm");
  Write("in/Disc 2/notes.txt", "not media");
  const QStringList before = FilesUnder(Path("in"));

  const CliResult result = cli.Run({"--json", "-o", Q(Path("out")), Q(Path("in"))});

  EXPECT_EQ(result.exitCode, 0) << result.err;
  // The folder's tree under its own name.
  QStringList expected;
  for (const auto& [mp3, source] : sources) expected << Q("in/" + mp3);
  EXPECT_EQ(FilesUnder(Path("out")), expected);
  EXPECT_EQ(FilesUnder(Path("in")), before);
  for (const auto& [mp3, source] : sources) ExpectMp3Of(source, Path("out/in/" + mp3));
  // A name that is not UTF-8 is kept byte for byte, and told as \udcXX.
  EXPECT_NE(result.out.find("caf\\udcff \\\"x\\\".rm\""), std::string::npos) << result.out;
}

// Good, far-short and damaged files: one JSON line each, no MP3 of a failed one, and the status.
TEST_F(ConvertCli, OutcomesAndExitStatuses) {
  const QString good = Q(Copy("ac3-stereo.rm", "media/good.rm")),
                noAudio = Q(Copy("video-only.rm", "media/none.rm"));
  const QString garbage = Q(Write("media/garbage.rm", std::string(3000, 'Z')));
  const QString runaway =
      Q(Write("media/runaway.rm", WithRealAudio4SampleRate(ReadWholeFile(TestDataFile("ra144.rm")), 7)));
  const QString cut = Q(MakeCutMusic(Path("media"), "cut.rm")), fifo = Q(Path("media/pipe.rm"));
  ASSERT_EQ(mkfifo(fifo.toStdString().c_str(), 0600), 0);
  std::vector<std::pair<QStringList, int>> rows = {
      {{good}, 0}, {{good, noAudio, fifo}, 1}, {{good, garbage, runaway}, 1}};
  if (!cut.isEmpty()) rows.insert(rows.end(), {{{good, cut}, 3}, {{cut, good, runaway}, 1}});
  const std::map<QString, QString> expected = {{good, "converted"}, {noAudio, "failed"}, {garbage, "failed"},
                                               {runaway, "failed"}, {cut, "short"},      {fifo, "failed"}};

  for (size_t r = 0; r < rows.size(); ++r) {
    SCOPED_TRACE("row " + std::to_string(r));
    const std::string out = Path("out" + std::to_string(r));
    const CliResult result = cli.Run(QStringList{"--json", "-j", "2", "-o", Q(out)} + rows[r].first);
    EXPECT_EQ(result.exitCode, rows[r].second) << result.err;
    const auto lines = result.Lines();
    EXPECT_EQ(lines.size(), rows[r].first.size()) << result.out;
    QStringList written;
    for (const auto& [input, line] : lines) {
      EXPECT_EQ(line["outcome"].toString(), expected.count(Q(input)) ? expected.at(Q(input)) : "?") << input;
      if (line["outcome"].toString() == "failed") {
        EXPECT_TRUE(line["output"].isNull());
        EXPECT_NE(result.err.find(line["message"].toString().toStdString()), std::string::npos) << result.err;
        continue;
      }
      const std::string mp3 = line["output"].toString().toStdString();
      written << Q(fs::path(mp3).filename().string());
      EXPECT_NEAR(line["seconds"].toDouble(), DecodeMedia(mp3).DecodedSeconds(), 0.2) << mp3;
    }
    // A failed file leaves nothing behind, temporary files included.
    written.sort();
    EXPECT_EQ(FilesUnder(out), written);
  }
}

// A partial download of a multi-rate file whose best stream is cut converts its complete lower-rate
// stream, and says so: converted, reason lower-rate, the message on standard error, status 0.
TEST_F(ConvertCli, ALowerRateTakenForACutBestStreamIsTold) {
  TOLVANE_REQUIRE_SAMPLE(sample, "multirate-cook.ra");
  const std::string whole = ReadWholeFile(sample);
  const std::string cut = Write("cut.ra", whole.substr(0, whole.size() * 8 / 10));

  const CliResult result = cli.Run({"--json", Q(cut)});

  EXPECT_EQ(result.exitCode, 0) << result.err;
  const QJsonObject line = result.Lines()[cut];
  EXPECT_EQ(line["outcome"].toString(), "converted");
  EXPECT_EQ(line["reason"].toString(), "lower-rate");
  EXPECT_EQ(
      line["message"].toString().toStdString(),
      "The file \"" + cut +
          "\" looks cut: its best-quality stream ends early, so its lower-rate stream, which holds more of "
          "the audio, was converted.");
  EXPECT_NE(result.err.find(line["message"].toString().toStdString()), std::string::npos) << result.err;
  EXPECT_NEAR(DecodeMedia(Mp3Of(cut)).DecodedSeconds(), 208, 1.0);
}

// An MP3 of the planned name exists, and a killed run's temporary file lies beside it.
TEST_F(ConvertCli, ExistingMp3sAreNumberedSkippedOrReplaced) {
  const std::vector<std::tuple<QStringList, QString, std::string>> rows = {
      {{}, "converted", "song(2).mp3"},
      {{"--skip-existing"}, "skipped", "song.mp3"},
      {{"--overwrite"}, "converted", "song.mp3"}};
  for (size_t r = 0; r < rows.size(); ++r) {
    const auto& [options, outcome, output] = rows[r];
    SCOPED_TRACE(options.join(' ').toStdString());
    const std::string folder = "case" + std::to_string(r) + "/";
    const std::string source = Copy("ac3-stereo.rm", folder + "song.rm");
    Write(folder + "song.mp3", "an older MP3");
    Write(folder + "." + output + ".part", "left by a killed run");

    const CliResult result = cli.Run(QStringList{"--json"} + options + QStringList{Q(source)});

    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.Lines()[source]["outcome"].toString(), outcome);
    EXPECT_EQ(result.Lines()[source]["output"].toString().toStdString(), Path(folder + output));
    EXPECT_EQ(ReadWholeFile(Path(folder + "song.mp3")) == "an older MP3",
              options != QStringList{"--overwrite"});
    if (outcome == "converted") ExpectMp3Of(source, Path(folder + output));
    QStringList files = {"song.mp3", "song.rm"};
    if (output != "song.mp3") files.prepend(Q(output));  // song(2).mp3 sorts first
    EXPECT_EQ(FilesUnder(Path(folder)), files);
  }
}

TEST_F(ConvertCli, AUsageErrorIsOneLineAndStatusTwo) {
  const QString in = Q(Copy("ac3-stereo.rm", "usage/a.rm"));
  const std::vector<std::pair<QStringList, std::string>> rows = {
      {{}, "no input"},
      {{"--nope", in}, "unknown option '--nope'"},
      {{"--bitrate", "100", in},
       "8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 192, 224, 256, 320"},
      {{"--vbr=128", in}, "MIN-MAX"},
      {{"--rate", "22050", in}, "32000, 44100, 48000"},
      {{"--mode", "surround", in}, "stereo, joint, dual, mono"},
      {{"--bitrate", "128", "--vbr", "128-256", "--jobs=3", in}, "together"},
      {{in, "-o"}, "-o needs a value"},
  };
  for (const auto& [arguments, reason] : rows) {
    const CliResult result = cli.Run(arguments);
    EXPECT_EQ(result.exitCode, 2) << arguments.join(' ').toStdString();
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1) << result.err;
    EXPECT_NE(result.err.find(reason), std::string::npos) << result.err;
  }
  EXPECT_EQ(FilesUnder(Path("usage")), QStringList{"a.rm"});
  EXPECT_EQ(cli.Run({"--version"}).out, "tolvane-convert " TOLVANE_VERSION "\n");
}

// Stopped in the middle: SIGKILL leaves the temporary file, Ctrl+C and SIGTERM remove it and end the
// program by the signal; every MP3 under a final name is whole, and a rerun with --skip-existing
// converts only what is missing and leaves nothing else.
TEST_F(ConvertCli, AStoppedRunLeavesNoHalfMp3AndTheRerunCompletesIt) {
  const std::string tone = Tone();
  for (const int signal : {SIGKILL, SIGINT, SIGTERM}) {
    SCOPED_TRACE(signal);
    const std::string folder = "tones" + std::to_string(signal) + "/";
    if (tone.empty()) GTEST_SKIP() << "the ffmpeg tool is missing";
    std::vector<std::string> sources;
    for (const char* name : {"t1.rm", "t2.rm", "t3.rm"}) sources.push_back(Write(folder + name, tone));
    const pid_t run = cli.Start({"--jobs", "1", Q(Path(folder))});
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(5);
    bool running = true;
    // t2's temporary file: .t2.mp3.HOST.PID.part.
    const auto writingT2 = [&] {
      return !FilesUnder(Path(folder)).filter(QRegularExpression("^\\.t2\\.mp3\\..*part$")).isEmpty();
    };
    while ((running = waitpid(run, nullptr, WNOHANG) == 0) && std::chrono::steady_clock::now() < deadline &&
           !(fs::exists(Path(folder + "t1.mp3")) && writingT2()))
      QThread::msleep(2);
    ASSERT_TRUE(running) << "the run ended before it could be stopped";
    ::kill(run, signal);
    EXPECT_EQ(cli.Wait(run).signal, signal);
    EXPECT_EQ(FilesUnder(Path(folder)).filter(".part").size(), signal == SIGKILL ? 1 : 0)
        << FilesUnder(Path(folder)).join(", ").toStdString();
    std::map<std::string, QString> expected;
    for (const std::string& source : sources) {
      if (fs::exists(Mp3Of(source))) ExpectMp3Of(source, Mp3Of(source));
      expected[source] = fs::exists(Mp3Of(source)) ? "skipped" : "converted";
    }

    const CliResult rerun = cli.Run({"--json", "--skip-existing", Q(Path(folder))});

    EXPECT_EQ(rerun.exitCode, 0) << rerun.err;
    std::map<std::string, QString> outcomes;
    for (const auto& [input, line] : rerun.Lines()) outcomes[input] = line["outcome"].toString();
    EXPECT_EQ(outcomes, expected);
    EXPECT_EQ(FilesUnder(Path(folder)),
              QStringList({"t1.mp3", "t1.rm", "t2.mp3", "t2.rm", "t3.mp3", "t3.rm"}));
    for (const std::string& source : sources) ExpectMp3Of(source, Mp3Of(source));
  }
}

}  // namespace
