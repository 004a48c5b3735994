// A FIFO, a folder or a device given as the source is refused at once with a clear error, by the PCM
// reader and the decoding input alike; before, opening a FIFO waited for a writer forever. The same
// holds for the sink's output file and the check that it plays, and the sink removes only the very
// file it created.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <unistd.h>

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include "audio/AudioFileRead.h"
#include "audio/FileStream.h"
#include "audio/PlayableMp3.h"
#include "audio/Snd_DX9.h"
#include "tests/support/TestEnvironment.h"

namespace {

// Runs open on a thread; a watchdog ends the whole test program if it has not returned in time, so
// a hang fails the test instead of blocking the suite. Returns the error raised, or "" for none.
std::string ErrorWithWatchdog(const std::function<void()>& open, int32_t& code) {
  std::mutex mutex;
  std::condition_variable finished;
  bool done = false;
  std::string message;
  int32_t error = 0;
  std::thread worker([&] {
    std::string text;
    int32_t raised = 0;
    try {
      open();
    } catch (const EAudioReadError& e) {
      text = e.what();
      raised = e.ErrorCode;
    } catch (const ESndException& e) {
      text = e.what();
      raised = int32_t(e.Failure);
    } catch (const std::exception& e) {
      text = std::string("unexpected: ") + e.what();
    }
    std::lock_guard<std::mutex> lock(mutex);
    message = text;
    error = raised;
    done = true;
    finished.notify_all();
  });
  {
    std::unique_lock<std::mutex> lock(mutex);
    if (!finished.wait_for(lock, std::chrono::seconds(20), [&] { return done; })) {
      ADD_FAILURE() << "opening did not return";
      std::_Exit(1);  // the blocked thread cannot be joined
    }
  }
  worker.join();
  code = error;
  return message;
}

class NonRegularFiles : public ::testing::TestWithParam<std::string> {
 protected:
  std::string PathFor(const std::string& kind) {
    if (kind == "fifo") {
      const std::string fifo = dir_.filePath("pipe.rm").toStdString();
      EXPECT_EQ(mkfifo(fifo.c_str(), 0600), 0);
      return fifo;
    }
    if (kind == "folder") return dir_.filePath("folder.rm").toStdString();
    return "/dev/zero";
  }
  void SetUp() override { ASSERT_TRUE(QDir(dir_.path()).mkdir("folder.rm")); }
  QTemporaryDir dir_;
};

TEST_P(NonRegularFiles, AreRefusedAtOnceByTheReaderAndTheInput) {
  const std::string path = PathFor(GetParam());
  const std::string expected = AudioReadErrorText(READER_E_NOTAFILE);
  EXPECT_EQ(expected, "This is a folder, a device or a pipe, not a media file.");
  int32_t code = 0;
  EXPECT_EQ(ErrorWithWatchdog([&] { TAudioFileReader reader(path); }, code), expected);
  EXPECT_EQ(code, READER_E_NOTAFILE);

  TDX9In input;
  input.FileName = path;
  EXPECT_EQ(ErrorWithWatchdog([&] { input.OpenSource(); }, code), expected);
  EXPECT_EQ(code, READER_E_NOTAFILE);
  EXPECT_EQ(input.OpenCount.load(), 0);
  EXPECT_EQ(input.Reader(), nullptr);
  // The format queries open the source too: they refuse the same way.
  EXPECT_EQ(ErrorWithWatchdog([&] { input.SampleBits(); }, code), expected);
}

TEST_P(NonRegularFiles, AreRefusedAtOnceAsTheSinksOutputAndLeftAsTheyAre) {
  const std::string path = PathFor(GetParam());
  struct stat before {};
  ASSERT_EQ(stat(path.c_str(), &before), 0);
  int32_t code = 0;
  EXPECT_EQ(ErrorWithWatchdog([&] { TFileStream::Create(path); }, code),
            "Cannot create file \"" + path + "\". It is not a regular file");
  EXPECT_EQ(code, int32_t(TSndFailure::CannotCreate));
  struct stat after {};
  ASSERT_EQ(stat(path.c_str(), &after), 0);
  EXPECT_EQ(after.st_mode, before.st_mode);
  EXPECT_EQ(after.st_ino, before.st_ino);
}

INSTANTIATE_TEST_SUITE_P(Kinds, NonRegularFiles, ::testing::Values("fifo", "folder", "device"),
                         [](const ::testing::TestParamInfo<std::string>& info) { return info.param; });

TEST(CreatedFile, IsRemovedOnlyWhileThePathStillNamesIt) {
  QTemporaryDir dir;
  const std::string path = dir.filePath("out.mp3").toStdString();
  TFileIdentity created;
  {
    auto stream = TFileStream::Create(path);
    created = stream->Identity();
  }
  ASSERT_TRUE(created.Known);
  // Another file put at the path meanwhile (a new file, then the old one renamed away) stays.
  ASSERT_EQ(std::rename(path.c_str(), (path + ".old").c_str()), 0);
  WriteWholeFile(path, "another program's file");
  EXPECT_FALSE(RemoveIfSameFile(path, created));
  EXPECT_EQ(ReadWholeFile(path), "another program's file");
  // A link to another file leaves both; a link to the created file, as the sink wrote through it,
  // removes that file and leaves the link.
  EXPECT_EQ(symlink(path.c_str(), (path + ".link").c_str()), 0);
  EXPECT_FALSE(RemoveIfSameFile(path + ".link", created));
  ASSERT_EQ(std::remove(path.c_str()), 0);
  ASSERT_EQ(std::rename((path + ".old").c_str(), path.c_str()), 0);
  EXPECT_TRUE(RemoveIfSameFile(path + ".link", created));
  EXPECT_FALSE(QFileInfo::exists(QString::fromStdString(path)));
  EXPECT_TRUE(QFileInfo(QString::fromStdString(path + ".link")).isSymLink());
  EXPECT_FALSE(RemoveIfSameFile("/dev/null", created));
}

TEST(PlayableCheck, RefusesAFifoAtOnce) {
  QTemporaryDir dir;
  const std::string fifo = dir.filePath("out.mp3").toStdString();
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  bool playable = true;
  int32_t code = 0;
  ErrorWithWatchdog([&] { playable = IsPlayableMp3(fifo); }, code);
  EXPECT_FALSE(playable);
}

TEST(MissingFile, IsReportedWithTheSystemsReason) {
  int32_t code = 0;
  EXPECT_EQ(ErrorWithWatchdog([] { TAudioFileReader reader("/nonexistent-folder/a.rm"); }, code),
            "No such file or directory");
  EXPECT_EQ(code, AVERROR(ENOENT));
}

}  // namespace
