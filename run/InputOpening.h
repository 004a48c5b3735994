#pragma once
// A task's input opened on a thread of its own: opening a file can take seconds (a large or hostile
// one), and the thread that drives the run must answer meanwhile. A stopped run cuts the open short,
// and an open that does not give up (a read hung on a dead network share) is left to end on its own.
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "core/Settings.h"
#include "core/TaskList.h"
#include "run/RunMessages.h"

class TBackgroundStep;
class TDX9In;

class TInputOpening {
 public:
  // How the input is opened on that thread: its OpenSource, or what a test holds it with.
  using TOpener = std::function<void(TDX9In&)>;

  // Starts opening sourceFile; once the input is open or the opening has failed, finished is called
  // on the thread that made the opening (from its call queue). With probeWith, the file is first
  // probed as a new task would be, with those MP3 settings. Raises std::system_error when no thread
  // can be started.
  TInputOpening(const std::string& sourceFile, TOpener opener, std::function<void()> finished,
                const TDefaultSettings* probeWith = nullptr);
  // Waits for the thread (at once after finished), unless the opening was abandoned.
  ~TInputOpening();
  TInputOpening(const TInputOpening&) = delete;
  TInputOpening& operator=(const TInputOpening&) = delete;

  // An open still reading the file gives up (the run was stopped).
  void GiveUp();
  // Gives up and lets the thread end on its own: finished is not called, what it opens is freed
  // there, and this object may go at once.
  void Abandon();

  // Once finished has been called: the open input, or null when the opening failed.
  std::unique_ptr<TDX9In> TakeInput();
  const std::optional<TRunFailure>& Failure() const;
  // The probe's answer: 0 read, 1 unreadable, 2 no audio; and the task it made (when asked for).
  int32_t ProbeResult() const;
  const TTaskRecord& Probed() const;

 private:
  // Shared with the opening thread, which may outlive this object once abandoned.
  struct TState;
  std::shared_ptr<TState> state_;
  std::unique_ptr<TBackgroundStep> step_;
};
