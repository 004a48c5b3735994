#include "app/ReadAhead.h"

#include <system_error>

#include "probe/ProbeMedia.h"

TReadAhead::TReadAhead(std::vector<std::string> paths, const TDefaultSettings& defaults, int threads)
    : paths_(std::move(paths)), defaults_(defaults) {
  if (!arrived_.Valid()) return;  // no way to wake the window: Take reads each file itself
  for (int i = 0; i < threads && std::size_t(i) < paths_.size(); ++i) {
    try {
      workers_.emplace_back([this] { Work(); });
    } catch (const std::system_error&) {
      break;  // the threads made so far do the work; with none, Take reads each file itself
    }
  }
}

TReadAhead::~TReadAhead() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stop_ = true;
  }
  room_.notify_all();
  for (std::thread& worker : workers_) worker.join();
}

void TReadAhead::Work() {
  for (;;) {
    std::size_t index = 0;
    {
      std::unique_lock<std::mutex> lock(mutex_);
      room_.wait(lock, [this] { return stop_ || next_ >= paths_.size() || next_ < taken_ + kAhead; });
      if (stop_ || next_ >= paths_.size()) return;
      index = next_++;
    }
    TRead read;
    try {
      read.Result = ProbeTaskRecord(paths_[index], defaults_, read.Task);
    } catch (const std::exception&) {
      read.Result = 1;  // out of memory on a worker: the file is told as unreadable, the batch goes on
    }
    {
      std::lock_guard<std::mutex> lock(mutex_);
      ready_.emplace(index, std::move(read));
    }
    arrived_.Signal();
  }
}

TReadAhead::TRead TReadAhead::Take(std::size_t index) {
  TRead read;
  if (workers_.empty()) {
    try {
      read.Result = ProbeTaskRecord(paths_[index], defaults_, read.Task);
    } catch (const std::exception&) {
      read.Result = 1;
    }
    return read;
  }
  for (;;) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      const auto found = ready_.find(index);
      if (found != ready_.end()) {
        read = std::move(found->second);
        ready_.erase(found);
        taken_ = index + 1;
        break;
      }
    }
    arrived_.Wait();
  }
  room_.notify_all();
  return read;
}
