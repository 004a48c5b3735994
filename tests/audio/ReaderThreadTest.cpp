// The reader's position is read by the main thread while a worker reads the stream.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "audio/AudioFileRead.h"
#include "tests/support/TestEnvironment.h"

TEST(ReaderThreads, PositionReadWhileAnotherThreadDecodes) {
  TAudioFileReader reader(TestDataFile("ac3-stereo.rm"));  // made on this thread, read on another
  std::atomic<bool> done{false};
  std::thread worker([&] {
    std::vector<uint8_t> block(4096);
    while (reader.ReadBlock(block.data(), 4096) != 0) {
    }
    done.store(true);
  });
  int64_t last = 0;
  bool went_backwards = false;
  while (!done.load()) {
    const int64_t now = reader.StreamPosition();
    went_backwards |= now < last;
    last = now;
    std::this_thread::yield();
  }
  worker.join();
  EXPECT_FALSE(went_backwards);
  EXPECT_NEAR(reader.StreamPosition(), reader.StreamDuration(), 300000);
}
