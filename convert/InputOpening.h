#pragma once
// A task's input opened on a thread of its own: opening a file can take seconds (a large or hostile
// one), and the window that runs the conversion must answer meanwhile.
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>

#include "convert/RunMessages.h"

class TDX9In;

class TInputOpening {
 public:
  // How the input is opened on that thread: its OpenSource, or what a test holds it with.
  using TOpener = std::function<void(TDX9In&)>;

  // Starts opening sourceFile; finished is called on the opening thread once the input is open or the
  // opening has failed, as the thread's last act. Raises std::system_error when no thread can be started.
  TInputOpening(const std::string& sourceFile, TOpener opener, std::function<void()> finished);
  // Waits for the thread: at once after finished, else until the opening in progress has ended.
  ~TInputOpening();
  TInputOpening(const TInputOpening&) = delete;
  TInputOpening& operator=(const TInputOpening&) = delete;

  // Once finished has been called: the open input, or null when the opening failed.
  std::unique_ptr<TDX9In> TakeInput();
  const std::optional<TRunFailure>& Failure() const { return failure_; }

 private:
  std::unique_ptr<TDX9In> input_;
  std::optional<TRunFailure> failure_;
  std::thread thread_;
};
