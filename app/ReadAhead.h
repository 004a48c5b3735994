#pragma once
// The files of an added folder tree that take the same settings, read on worker threads ahead of the
// window: the window takes each result in list order as soon as it is there, and the workers stay a
// bounded number of files ahead, so a tree of thousands of files costs the window almost nothing.
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "core/Settings.h"
#include "core/TaskList.h"
#include "ui/ThreadEndWait.h"

class TReadAhead {
 public:
  struct TRead {
    int32_t Result = 1;  // the probe's: 0 accepted, 1 cannot be read, 2 no audio stream
    TTaskRecord Task;    // the file's task without its output path, when accepted
  };

  // defaults: the MP3 settings every file starts from, copied (the window goes on changing its own).
  TReadAhead(std::vector<std::string> paths, const TDefaultSettings& defaults, int threads);
  // Stops the workers after the file each is reading.
  ~TReadAhead();
  TReadAhead(const TReadAhead&) = delete;
  TReadAhead& operator=(const TReadAhead&) = delete;

  // The result for paths[index], taken once each in ascending order; until it is there the window
  // waits in a local event loop.
  TRead Take(std::size_t index);

  // How many files the workers read ahead of the window at most.
  static constexpr std::size_t kAhead = 64;

 private:
  void Work();

  const std::vector<std::string> paths_;
  const TDefaultSettings defaults_;
  std::mutex mutex_;
  std::size_t next_ = 0;   // the next file a worker takes
  std::size_t taken_ = 0;  // the files the window has taken
  bool stop_ = false;
  std::map<std::size_t, TRead> ready_;
  std::condition_variable room_;
  TThreadEndWait arrived_;
  std::vector<std::thread> workers_;
};
