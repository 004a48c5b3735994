// Tasks that cannot be converted, between two good ones: the run goes on without a message, its end
// report names each such file with the reason, and the other tasks' files are untouched.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QPushButton>
#include <filesystem>

#include "tests/convert/RunFixture.h"
#include "tests/support/DamagedMedia.h"
#include "tests/support/MediaReader.h"
#include "tests/support/Permissions.h"
#include "ui/lang.h"

namespace {

namespace fs = std::filesystem;

bool IsCharDevice(const std::string& path) {
  struct stat info {};
  return stat(path.c_str(), &info) == 0 && S_ISCHR(info.st_mode);
}

bool Plays(const std::string& mp3, double seconds) {
  const DecodedMedia out = DecodeMedia(mp3);
  return out.ok && std::abs(out.DecodedSeconds() - seconds) < 0.2;
}

enum class Bad {
  SourceFifo,
  SourceDirectory,
  SourceEmpty,
  OutputFolderRemoved,
  OutputFolderReadOnly,
  OutputDevFull,
  OutputFifo
};

struct BadCase {
  Bad kind;
  const char* name;
  const char* words;  // what the message says happened
};

void PrintTo(const BadCase& c, std::ostream* os) { *os << c.name; }

class BadInput : public RunFixture, public ::testing::WithParamInterface<BadCase> {};

// A cut or bit-flipped copy of a test file, written over a task's source after the task was made.
struct DamageCase {
  const char* name;
  const char* file;
  int cutTo;     // bytes kept; 0: not cut
  int flipSeed;  // 0: no flips
};

void PrintTo(const DamageCase& c, std::ostream* os) { *os << c.name; }

std::string Damaged(std::string bytes, const DamageCase& c) {
  if (c.cutTo > 0) bytes.resize(std::min<size_t>(bytes.size(), size_t(c.cutTo)));
  uint32_t state = uint32_t(c.flipSeed) * 2654435761u;
  for (int i = 0; c.flipSeed > 0 && i < 24; ++i) {
    state = state * 1664525u + 1013904223u;
    const size_t at = 40 + (state >> 8) % std::min<size_t>(bytes.size() - 40, 900);
    bytes[at] = char(uint8_t(bytes[at]) ^ uint8_t(1u << ((state >> 4) % 8)));
  }
  return bytes;
}

class DamagedSource : public RunFixture, public ::testing::WithParamInterface<DamageCase> {};

}  // namespace

TEST_P(BadInput, IsNamedInAMessageAndTheRunGoesOn) {
  const BadCase& c = GetParam();
  const int good1 = AddTask(CopyOfTestFile("ra144.rm", "good1.rm"));
  const std::string badSource = CopyOfTestFile("ac3-stereo.rm", "bad.rm");
  const int bad = AddTask(badSource);
  const int good2 = AddTask(CopyOfTestFile("aac.rm", "good2.rm"));
  const std::string badFolder = outputDir + "/only-for-bad";
  fs::create_directories(badFolder);
  if (c.kind == Bad::OutputFolderRemoved || c.kind == Bad::OutputFolderReadOnly) {
    Tasks[bad]->OutputFile = badFolder + "/bad.mp3";
  }
  if (c.kind == Bad::OutputDevFull) Tasks[bad]->OutputFile = "/dev/full";
  if (c.kind == Bad::OutputFifo) {
    // No program reads from it: opening it for writing the usual way would wait forever.
    Tasks[bad]->OutputFile = badFolder + "/pipe.mp3";
    ASSERT_EQ(mkfifo(Tasks[bad]->OutputFile.c_str(), 0644), 0);
  }

  switch (c.kind) {
    case Bad::SourceFifo:
      fs::remove(badSource);
      ASSERT_EQ(mkfifo(badSource.c_str(), 0644), 0);
      break;
    case Bad::SourceDirectory:
      fs::remove(badSource);
      fs::create_directory(badSource);
      break;
    case Bad::SourceEmpty:
      fs::resize_file(badSource, 0);
      break;
    case Bad::OutputFolderRemoved:
      // A missing folder is made again when the run starts; one taken by a file cannot be.
      fs::remove_all(badFolder);
      WriteWholeFile(badFolder, "a file where the folder was");
      break;
    case Bad::OutputFolderReadOnly:
      fs::permissions(badFolder, fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                                     fs::perms::group_exec | fs::perms::others_read | fs::perms::others_exec);
      break;
    case Bad::OutputDevFull:
    case Bad::OutputFifo:
      break;
  }
  const bool namesOutput = c.kind == Bad::OutputFolderRemoved || c.kind == Bad::OutputFolderReadOnly ||
                           c.kind == Bad::OutputDevFull || c.kind == Bad::OutputFifo;
  const std::string named = namesOutput ? Tasks[bad]->OutputFile : badSource;

  std::string firstFileAtSecondTask;
  // The bad task may end before the label is looked at: the first file is finished either way.
  WhenReady secondTask(
      [&] {
        const QString text = prg->fileLabel->text();
        return text.startsWith("Current File(") && !text.startsWith("Current File(1/3)");
      },
      [&] { firstFileAtSecondTask = ReadWholeFile(Tasks[good1]->OutputFile); });
  if (c.kind == Bad::SourceDirectory) driver.Answer(StrOK);  // a folder is no file: error 110 first
  AnswerReport();
  {
    ScopedNoPermissionOverride asAnyUser;
    Run();
  }
  if (c.kind == Bad::OutputFolderReadOnly)
    fs::permissions(badFolder, fs::perms::owner_all, fs::perm_options::add);

  EXPECT_EQ(driver.messages.size(), c.kind == Bad::SourceDirectory ? 1 : 0)
      << driver.messages.join(" | ").toStdString();
  ASSERT_EQ(reports.size(), 1);
  const QString failure = reports[0];
  EXPECT_TRUE(
      failure.startsWith("3 files: 2 converted, 0 converted in part, 1 failed, 0 skipped.\nFailed:\n"))
      << failure.toStdString();
  EXPECT_TRUE(failure.endsWith(QString("\n") + StrAskOpenFolder)) << failure.toStdString();
  EXPECT_TRUE(failure.contains(QString::fromStdString("\"" + named + "\""))) << failure.toStdString();
  EXPECT_TRUE(failure.contains(c.words, Qt::CaseInsensitive)) << failure.toStdString();
  EXPECT_TRUE(failure.contains('(')) << "the library's own text is missing: " << failure.toStdString();
  // The other tasks' files: the first untouched since it was finished, the last converted.
  EXPECT_FALSE(firstFileAtSecondTask.empty());
  EXPECT_EQ(ReadWholeFile(Tasks[good1]->OutputFile), firstFileAtSecondTask);
  EXPECT_TRUE(Plays(Tasks[good1]->OutputFile, 2.0));
  EXPECT_TRUE(Plays(Tasks[good2]->OutputFile, 2.1));
  if (c.kind == Bad::OutputDevFull) {
    EXPECT_TRUE(IsCharDevice("/dev/full"));
  } else if (c.kind == Bad::OutputFifo) {
    struct stat info {};
    EXPECT_TRUE(stat(Tasks[bad]->OutputFile.c_str(), &info) == 0 && S_ISFIFO(info.st_mode))
        << "left as it was";
    EXPECT_TRUE(failure.contains("It is not a regular file")) << failure.toStdString();
  } else {
    EXPECT_FALSE(fs::exists(Tasks[bad]->OutputFile)) << "a task that wrote nothing leaves no file";
  }
  EXPECT_FALSE(prg->Converting());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BadInput,
    ::testing::Values(BadCase{Bad::SourceFifo, "SourceFifo", "cannot be opened"},
                      BadCase{Bad::SourceDirectory, "SourceDirectory", "cannot be opened"},
                      BadCase{Bad::SourceEmpty, "SourceEmpty", "cannot be opened"},
                      BadCase{Bad::OutputFolderRemoved, "OutputFolderRemoved", "cannot be created"},
                      BadCase{Bad::OutputFolderReadOnly, "OutputFolderReadOnly", "cannot be created"},
                      BadCase{Bad::OutputDevFull, "OutputDevFull", "cannot be created"},
                      BadCase{Bad::OutputFifo, "OutputFifo", "cannot be created"}),
    [](const ::testing::TestParamInfo<BadCase>& info) { return std::string(info.param.name); });

TEST_P(DamagedSource, BetweenTwoGoodFilesIsNamedWhenItCannotBeConverted) {
  const DamageCase& c = GetParam();
  const int good1 = AddTask(CopyOfTestFile("ra144.ra", "good1.ra"));
  const std::string damagedPath = CopyOfTestFile(c.file, std::string("damaged-") + c.name + ".rm");
  const int damaged = AddTask(damagedPath);
  const int good2 = AddTask(CopyOfTestFile("aac.rm", "good2.rm"));
  WriteWholeFile(damagedPath, Damaged(ReadWholeFile(damagedPath), c));
  // Whatever the damage does, the run ends in one message: the old one, or the report naming the file.
  MessageResponder responder;

  Run();

  const QStringList& messages = responder.messages;
  ASSERT_EQ(messages.size(), 1) << messages.join(" | ").toStdString();
  const QString end = messages[0];
  if (responder.kinds[0] != kRunReport) {
    EXPECT_EQ(end, EndMessage(StrAllConverted));
    EXPECT_TRUE(DecodeMedia(Tasks[damaged]->OutputFile).ok);
  } else {
    EXPECT_TRUE(end.contains(QString::fromStdString(" " + damagedPath + "\n"))) << end.toStdString();
    if (end.contains("looks cut or damaged")) {
      // Far less audio than the file states: converted in part, and what is there plays.
      EXPECT_TRUE(end.startsWith("3 files: 2 converted, 1 converted in part, 0 failed")) << end.toStdString();
      EXPECT_TRUE(DecodeMedia(Tasks[damaged]->OutputFile).ok);
    } else {
      EXPECT_TRUE(end.startsWith("3 files: 2 converted, 0 converted in part, 1 failed")) << end.toStdString();
      // What is left of the damaged one plays.
      if (fs::exists(Tasks[damaged]->OutputFile)) {
        EXPECT_TRUE(DecodeMedia(Tasks[damaged]->OutputFile).ok);
      }
    }
  }
  RecordProperty("messages", messages.join(" | ").toStdString());
  EXPECT_TRUE(Plays(Tasks[good1]->OutputFile, 2.0));
  EXPECT_TRUE(Plays(Tasks[good2]->OutputFile, 2.1));
}

INSTANTIATE_TEST_SUITE_P(Copies, DamagedSource,
                         ::testing::Values(DamageCase{"CutInTheHeader", "ac3-stereo.rm", 200, 0},
                                           DamageCase{"CutInTheFirstPackets", "ac3-stereo.rm", 1200, 0},
                                           DamageCase{"CutInTheMiddle", "ac3-stereo.rm", 8000, 0},
                                           DamageCase{"FlippedA", "ac3-stereo.rm", 0, 1},
                                           DamageCase{"FlippedB", "aac.rm", 0, 2},
                                           DamageCase{"FlippedC", "video-ac3-mono.rmvb", 0, 3}),
                         [](const ::testing::TestParamInfo<DamageCase>& info) {
                           return std::string(info.param.name);
                         });

using DamagedSourceRun = RunFixture;

TEST_F(DamagedSourceRun, ADecoderThatRunsAwayIsReportedAsDamagedAndLeavesNoNoise) {
  TOLVANE_REQUIRE_SAMPLE(sample, "firstrun.rm");
  const int good1 = AddTask(CopyOfTestFile("ra144.rm", "good1.rm"));
  const std::string damagedPath = sourceDir + "/runaway.rm";
  WriteWholeFile(damagedPath, ReadWholeFile(sample));
  const int damaged = AddTask(damagedPath);
  const int good2 = AddTask(CopyOfTestFile("aac.rm", "good2.rm"));
  const std::string bytes = WithRunAwayCookHeader(ReadWholeFile(damagedPath));
  ASSERT_FALSE(bytes.empty());
  WriteWholeFile(damagedPath, bytes);
  AnswerReport();

  Run();

  EXPECT_TRUE(driver.messages.isEmpty()) << driver.messages.join(" | ").toStdString();
  ASSERT_EQ(reports.size(), 1);
  const QString message = reports[0];
  // Named by its name where the library's own text gives the whole path.
  EXPECT_TRUE(message.contains("\n    The file \"runaway.rm\" is damaged (")) << message.toStdString();
  EXPECT_TRUE(message.contains(QString::fromStdString("\"" + damagedPath + "\""))) << message.toStdString();
  EXPECT_TRUE(message.contains("18 seconds it holds.).\n")) << message.toStdString();
  // What the decoder made of the damage is noise: nothing of it is kept.
  EXPECT_FALSE(fs::exists(Tasks[damaged]->OutputFile));
  EXPECT_TRUE(Plays(Tasks[good1]->OutputFile, 2.0));
  EXPECT_TRUE(Plays(Tasks[good2]->OutputFile, 2.1));
}
