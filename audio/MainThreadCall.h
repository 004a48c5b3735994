#pragma once
// Calls that a worker thread hands to the thread owning a component (the "main thread" of that
// component) and waits for. The owner runs them from its Qt event loop (woken through an eventfd
// watched by a QSocketNotifier that lives on the owner thread, so modal loops run them too) or,
// without an event loop, from ProcessMainThreadCalls. No Qt object is touched off the owner thread.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

class QSocketNotifier;

class MainThreadCallQueue {
 public:
  // The queue of the calling thread, made on first use; with a Qt application on this thread it is also
  // woken from the event loop.
  static std::shared_ptr<MainThreadCallQueue> ForCurrentThread();
  ~MainThreadCallQueue();
  MainThreadCallQueue(const MainThreadCallQueue&) = delete;
  MainThreadCallQueue& operator=(const MainThreadCallQueue&) = delete;

  std::thread::id Owner() const { return owner_; }

  // From another thread: runs fn on the owner thread and waits until it has run; an exception fn
  // raises is raised here again. Returns false, without running fn, when abandon is set before the
  // call starts (Cancel wakes the wait).
  bool Call(const std::function<void()>& fn, const void* tag, const std::atomic<bool>& abandon);
  // On the owner thread: drops the waiting calls of tag; their callers return false.
  void Cancel(const void* tag);
  // On the owner thread: runs the waiting calls; waits up to timeout for the first one. Returns how
  // many ran.
  int Process(std::chrono::milliseconds timeout);
  void Wake();
  // On the owner thread: starts watching the wake-up from the Qt event loop once an application
  // exists on this thread (a no-op otherwise and when already watching).
  void AttachToEventLoop();

 private:
  struct PendingCall;
  MainThreadCallQueue();
  void OnEventLoopWake();
  // Runs the first waiting call; lock is held on entry and on return. False when none waits.
  bool RunOne(std::unique_lock<std::mutex>& lock);

  const std::thread::id owner_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<std::shared_ptr<PendingCall>> calls_;
  int wakeFd_ = -1;
  // Owner thread only.
  QSocketNotifier* notifier_ = nullptr;
};

// Runs the calls waiting for the calling thread; waits up to timeoutMs for the first one. Returns how
// many ran. For tests and tools without an event loop.
int ProcessMainThreadCalls(int timeoutMs = 0);
