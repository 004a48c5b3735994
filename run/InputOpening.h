#pragma once
// A task's input opened on a thread of its own: opening a file can take seconds (a large or hostile
// one), and the thread that drives the run must answer meanwhile. A stopped run cuts the open short.
#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>

#include "core/Settings.h"
#include "core/TaskList.h"
#include "run/RunMessages.h"

class TDX9In;

class TInputOpening {
 public:
  // How the input is opened on that thread: its OpenSource, or what a test holds it with.
  using TOpener = std::function<void(TDX9In&)>;

  // Starts opening sourceFile; finished is called on the opening thread once the input is open or the
  // opening has failed, as the thread's last act. With probeWith, the file is first probed as a new
  // task would be, with those MP3 settings. Raises std::system_error when no thread can be started.
  TInputOpening(const std::string& sourceFile, TOpener opener, std::function<void()> finished,
                const TDefaultSettings* probeWith = nullptr);
  // Waits for the thread: at once after finished, else until the opening in progress has ended.
  ~TInputOpening();
  TInputOpening(const TInputOpening&) = delete;
  TInputOpening& operator=(const TInputOpening&) = delete;

  // An open still reading the file gives up (the run was stopped).
  void GiveUp() { giveUp_.store(true, std::memory_order_release); }

  // Once finished has been called: the open input, or null when the opening failed.
  std::unique_ptr<TDX9In> TakeInput();
  const std::optional<TRunFailure>& Failure() const { return failure_; }
  // The probe's answer: 0 read, 1 unreadable, 2 no audio; and the task it made (when asked for).
  int32_t ProbeResult() const { return probeResult_; }
  const TTaskRecord& Probed() const { return probed_; }

 private:
  std::unique_ptr<TDX9In> input_;
  std::optional<TRunFailure> failure_;
  int32_t probeResult_ = 0;
  TTaskRecord probed_;
  std::atomic<bool> giveUp_{false};
  std::thread thread_;
};
