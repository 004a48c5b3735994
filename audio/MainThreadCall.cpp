#include "audio/MainThreadCall.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QObject>
#include <QSocketNotifier>
#include <QThread>
#include <cerrno>
#include <cstdint>
#include <map>

struct MainThreadCallQueue::PendingCall {
  enum class Stage { Waiting, Running, Done, Cancelled };
  std::function<void()> fn;
  const void* tag = nullptr;
  Stage stage = Stage::Waiting;
  std::exception_ptr error;
};

namespace {

std::mutex registryMutex;
std::map<std::thread::id, std::shared_ptr<MainThreadCallQueue>>& Registry() {
  // Kept until the process ends: a worker may still hold a queue while its owner thread has ended.
  static auto* registry = new std::map<std::thread::id, std::shared_ptr<MainThreadCallQueue>>();
  return *registry;
}

}  // namespace

MainThreadCallQueue::MainThreadCallQueue() : owner_(std::this_thread::get_id()) {
  wakeFd_ = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
}

MainThreadCallQueue::~MainThreadCallQueue() {
  delete notifier_;
  if (wakeFd_ >= 0) close(wakeFd_);
}

std::shared_ptr<MainThreadCallQueue> MainThreadCallQueue::ForCurrentThread() {
  std::shared_ptr<MainThreadCallQueue> queue;
  {
    std::lock_guard<std::mutex> lock(registryMutex);
    auto& slot = Registry()[std::this_thread::get_id()];
    if (!slot) slot.reset(new MainThreadCallQueue());
    queue = slot;
  }
  queue->AttachToEventLoop();
  return queue;
}

void MainThreadCallQueue::AttachToEventLoop() {
  // Only on the application's own thread, and again after an application was replaced.
  QCoreApplication* app = QCoreApplication::instance();
  if (notifier_ || !app || wakeFd_ < 0 || app->thread() != QThread::currentThread()) return;
  notifier_ = new QSocketNotifier(wakeFd_, QSocketNotifier::Read, app);
  QObject::connect(notifier_, &QObject::destroyed, [this] { notifier_ = nullptr; });
  QObject::connect(notifier_, &QSocketNotifier::activated, [this] { OnEventLoopWake(); });
  notifier_->setEnabled(true);
}

void MainThreadCallQueue::OnEventLoopWake() {
  uint64_t count = 0;
  while (read(wakeFd_, &count, sizeof count) < 0 && errno == EINTR) {
  }
  Process(std::chrono::milliseconds(0));
}

void MainThreadCallQueue::Wake() {
  { std::lock_guard<std::mutex> lock(mutex_); }
  changed_.notify_all();
}

bool MainThreadCallQueue::Call(const std::function<void()>& fn, const void* tag,
                               const std::atomic<bool>& abandon) {
  auto call = std::make_shared<PendingCall>();
  call->fn = fn;
  call->tag = tag;
  std::unique_lock<std::mutex> lock(mutex_);
  if (abandon.load()) return false;
  calls_.push_back(call);
  changed_.notify_all();
  if (wakeFd_ >= 0) {
    const uint64_t one = 1;
    while (write(wakeFd_, &one, sizeof one) < 0 && errno == EINTR) {
    }
  }
  changed_.wait(lock, [&] {
    return call->stage == PendingCall::Stage::Done || call->stage == PendingCall::Stage::Cancelled;
  });
  if (call->stage == PendingCall::Stage::Cancelled) return false;
  if (call->error) std::rethrow_exception(call->error);
  return true;
}

void MainThreadCallQueue::Cancel(const void* tag) {
  std::lock_guard<std::mutex> lock(mutex_);
  for (auto it = calls_.begin(); it != calls_.end();) {
    if ((*it)->tag == tag) {
      (*it)->stage = PendingCall::Stage::Cancelled;
      it = calls_.erase(it);
    } else {
      ++it;
    }
  }
  changed_.notify_all();
}

bool MainThreadCallQueue::RunOne(std::unique_lock<std::mutex>& lock) {
  if (calls_.empty()) return false;
  std::shared_ptr<PendingCall> call = calls_.front();
  calls_.pop_front();
  call->stage = PendingCall::Stage::Running;
  lock.unlock();
  std::exception_ptr error;
  try {
    call->fn();
  } catch (...) {
    error = std::current_exception();
  }
  lock.lock();
  call->error = error;
  call->stage = PendingCall::Stage::Done;
  changed_.notify_all();
  return true;
}

int MainThreadCallQueue::Process(std::chrono::milliseconds timeout) {
  std::unique_lock<std::mutex> lock(mutex_);
  if (calls_.empty() && timeout.count() > 0) {
    changed_.wait_for(lock, timeout, [&] { return !calls_.empty(); });
  }
  int ran = 0;
  while (RunOne(lock)) ++ran;
  return ran;
}

int ProcessMainThreadCalls(int timeoutMs) {
  return MainThreadCallQueue::ForCurrentThread()->Process(std::chrono::milliseconds(timeoutMs));
}
