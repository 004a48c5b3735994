#pragma once
// Lets the user-interface thread wait for a worker in a local event loop: the window keeps repainting
// and its timers keep firing, and the worker's end wakes the loop. The worker only writes to a file
// descriptor; it never touches a Qt object.
#include <QEventLoop>
#include <memory>

class QSocketNotifier;

class TThreadEndWait {
 public:
  TThreadEndWait();  // on the waiting thread
  ~TThreadEndWait();
  TThreadEndWait(const TThreadEndWait&) = delete;
  TThreadEndWait& operator=(const TThreadEndWait&) = delete;

  // False when the system gave no descriptor to wake with.
  bool Valid() const { return fd_ >= 0; }
  // From the worker, as its last step. A wake that comes before Wait() is not lost.
  void Signal() const;
  // Runs a local event loop until Signal() (or until the application quits every loop).
  void Wait();

 private:
  int fd_ = -1;
  std::unique_ptr<QSocketNotifier> notifier_;
  QEventLoop loop_;
};
