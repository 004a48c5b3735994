// The reader's position is read by the main thread while a worker reads the stream; readers of one
// multi-rate file opened on several threads at once share its walked layout.
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

TEST(ReaderThreads, OneMultiRateFileOpenedOnSeveralThreadsAtOnce) {
  TOLVANE_REQUIRE_SAMPLE(sample, "multirate-cook.ra");
  std::atomic<int> best{0};
  std::vector<std::thread> threads;
  for (int k = 0; k < 4; ++k) {
    threads.emplace_back([&] {
      TAudioFileReader reader(sample);
      std::vector<uint8_t> block(32768);
      if (reader.ReadBlock(block.data(), 32768) > 0 && reader.StreamFormat().nSamplesPerSec == 44100) ++best;
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(best.load(), 4);
}
