#pragma once
// Calls a test holds where a dead network share would: a hook that waits until the test lets it go
// (or a minute, so that a program waiting for it fails its test rather than hangs it), and an input
// read that stalls until the run is stopped.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <utility>

class HeldCall {
 public:
  // Lets the held calls go and waits (up to a minute) until none is inside any more.
  ~HeldCall() {
    Release();
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait_for(lock, std::chrono::minutes(1), [this] { return inside_ == 0; });
  }
  // fn as a hook that first waits until Release.
  template <typename Fn>
  auto Around(Fn fn) {
    return [this, fn](auto&&... args) -> decltype(auto) {
      const Inside inside(*this);
      return fn(std::forward<decltype(args)>(args)...);
    };
  }
  bool Holding() const { return holding_.load() > 0; }
  void Release() {
    std::lock_guard<std::mutex> lock(mutex_);
    released_ = true;
    changed_.notify_all();
  }

 private:
  struct Inside {
    explicit Inside(HeldCall& held) : held(held) {
      std::unique_lock<std::mutex> lock(held.mutex_);
      ++held.inside_, ++held.holding_;
      held.changed_.wait_for(lock, std::chrono::minutes(1), [&] { return held.released_; });
      --held.holding_;
    }
    ~Inside() {
      std::lock_guard<std::mutex> lock(held.mutex_);
      --held.inside_;
      held.changed_.notify_all();
    }
    HeldCall& held;
  };
  std::mutex mutex_;
  std::condition_variable changed_;
  bool released_ = false;
  int inside_ = 0;
  std::atomic<int> holding_{0};
};

// The opened media's read hook: stalls until stopAsked (or a minute), and counts the reads after it.
namespace stalled_read {
inline std::atomic<bool> stopAsked{false}, readHeld{false};
inline std::atomic<int> readsAfterStop{0};

inline void Reset() { stopAsked = readHeld = false, readsAfterStop = 0; }

inline void Read() {
  if (stopAsked) {
    ++readsAfterStop;
    return;
  }
  readHeld = true;
  for (int i = 0; i < 30000 && !stopAsked; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(2));
}
}  // namespace stalled_read
