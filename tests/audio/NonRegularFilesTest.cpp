// A FIFO, a folder or a device given as the source is refused at once with a clear error, by the PCM
// reader and the decoding input alike; before, opening a FIFO waited for a writer forever.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QDir>
#include <QTemporaryDir>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include "audio/AudioFileRead.h"
#include "audio/Snd_DX9.h"

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

INSTANTIATE_TEST_SUITE_P(Kinds, NonRegularFiles, ::testing::Values("fifo", "folder", "device"),
                         [](const ::testing::TestParamInfo<std::string>& info) { return info.param; });

TEST(MissingFile, IsReportedWithTheSystemsReason) {
  int32_t code = 0;
  EXPECT_EQ(ErrorWithWatchdog([] { TAudioFileReader reader("/nonexistent-folder/a.rm"); }, code),
            "No such file or directory");
  EXPECT_EQ(code, AVERROR(ENOENT));
}

}  // namespace
