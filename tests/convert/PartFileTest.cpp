// The temporary file of an MP3 on storage several machines share: a name of this process's own,
// created exclusively, written through the descriptor that holds the claim, refused while another
// run holds one of the same MP3, and leftovers of killed runs removed; messages name the MP3. Where
// the file system gives no locks, the claim goes on and warns once.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <QTemporaryDir>
#include <filesystem>

#include "run/PartFile.h"
#include "tests/support/TestEnvironment.h"

// The lock call as a file system without locks answers it, while noLocks is set.
static bool noLocks = false;
extern "C" int flock(int fd, int operation) {
  if (!noLocks) return int(syscall(SYS_flock, fd, operation));
  errno = ENOLCK;
  return -1;
}

namespace {

QStringList Files(const QTemporaryDir& dir) {
  QStringList files;
  for (const auto& entry : std::filesystem::directory_iterator(dir.path().toStdString()))
    files << QString::fromStdString(entry.path().filename().string());
  files.sort();
  return files;
}

TEST(PartFile, ClaimsANameOfItsOwnWritesThroughItAndRefusesASecondWriterOfTheMp3) {
  QTemporaryDir dir;
  const std::string mp3 = dir.path().toStdString() + "/song.mp3";
  TPartFile part;
  ASSERT_EQ(part.Claim(mp3), "");
  char host[256] = {};
  gethostname(host, sizeof host - 1);
  const std::string tag = std::string(host).substr(0, 16) + "." + std::to_string(getpid());
  EXPECT_EQ(part.Path(), dir.path().toStdString() + "/.song.mp3." + tag + ".part");
  // Written through the descriptor that holds the claim.
  ASSERT_EQ(part.Stream()->Write("MP3 data", 8), 8);

  TPartFile second;
  EXPECT_EQ(second.Claim(mp3), "The MP3 file \"" + mp3 + "\" is being written by another run");
  EXPECT_FALSE(second.Claimed());

  ASSERT_EQ(part.Commit(mp3, false), 0);
  EXPECT_EQ(ReadWholeFile(mp3), "MP3 data");
  EXPECT_EQ(Files(dir), QStringList({"song.mp3"}));
}

TEST(PartFile, RemovesTheLeftoversNoRunHoldsAndGivesWayToOneThatIsHeld) {
  QTemporaryDir dir;
  const std::string folder = dir.path().toStdString() + "/";
  // Killed runs' leftovers of song.mp3 (an older version's among them), and another MP3's file.
  for (const char* name : {".song.mp3.part", ".song.mp3.node7.4242.part", ".song.mp3.x.mp3.node7.1.part"})
    WriteWholeFile(folder + name, "left");
  TPartFile part;
  ASSERT_EQ(part.Claim(folder + "song.mp3"), "");
  part.Remove();
  EXPECT_EQ(Files(dir), QStringList({".song.mp3.x.mp3.node7.1.part"}));

  // Another machine's run writing song.mp3 now holds its lock.
  const std::string held = folder + ".song.mp3.node9.12.part";
  const int fd = open(held.c_str(), O_RDWR | O_CREAT, 0600);
  ASSERT_EQ(flock(fd, LOCK_EX | LOCK_NB), 0);
  EXPECT_EQ(part.Claim(folder + "song.mp3"),
            "The MP3 file \"" + folder + "song.mp3\" is being written by another run");
  EXPECT_TRUE(RemoveLeftoverParts(folder + "song.mp3"));
  EXPECT_EQ(Files(dir), QStringList({".song.mp3.node9.12.part", ".song.mp3.x.mp3.node7.1.part"}));
  close(fd);
  EXPECT_FALSE(RemoveLeftoverParts(folder + "song.mp3"));
  EXPECT_EQ(Files(dir), QStringList({".song.mp3.x.mp3.node7.1.part"}));
}

TEST(PartFile, AnMp3NameWithoutRoomForItsTemporaryNameIsRefused) {
  QTemporaryDir dir;
  const long longest = pathconf(dir.path().toUtf8().constData(), _PC_NAME_MAX);
  // In a folder still to be made: its nearest existing parent's file system tells.
  const std::string folder = dir.path().toStdString() + "/not/yet/";
  const auto name = [&](long length) { return folder + std::string(size_t(length) - 4, 'x') + ".mp3"; };
  EXPECT_EQ(OutputNameProblem(name(longest - 32)), "");
  EXPECT_EQ(OutputNameProblem(name(longest - 31)),
            "The MP3 file \"" + name(longest - 31) + "\" has a name too long for its file system (" +
                std::to_string(longest - 31) + " bytes; at most " + std::to_string(longest - 32) + ").");
}

TEST(PartFile, WithoutLocksTheClaimGoesOnAndWarnsOnce) {
  QTemporaryDir dir;
  const std::string mp3 = dir.path().toStdString() + "/song.mp3";
  int warnings = 0;
  SetPartFileWarning([&](const std::string&) { ++warnings; });
  noLocks = true;
  for (int run = 0; run < 2; ++run) {
    TPartFile part;
    ASSERT_EQ(part.Claim(mp3), "");
    EXPECT_EQ(part.Commit(mp3, true), 0);
  }
  noLocks = false;
  SetPartFileWarning(nullptr);
  EXPECT_EQ(warnings, 1);
  EXPECT_EQ(Files(dir), QStringList({"song.mp3"}));
}

}  // namespace
