#pragma once
// One piece of a task's work done on a thread of its own (judging and publishing a finished MP3
// reads and renames files), so the thread that drives the run answers meanwhile.
#include <functional>
#include <thread>

class TBackgroundStep {
 public:
  // Runs work, then finished, on a new thread; without a thread both run here and now.
  TBackgroundStep(std::function<void()> work, std::function<void()> finished);
  ~TBackgroundStep();  // waits for the thread
  TBackgroundStep(const TBackgroundStep&) = delete;
  TBackgroundStep& operator=(const TBackgroundStep&) = delete;

 private:
  std::thread thread_;
};
