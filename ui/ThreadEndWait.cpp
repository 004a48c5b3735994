#include "ui/ThreadEndWait.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <cerrno>
#include <cstdint>

TThreadEndWait::TThreadEndWait() : fd_(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {
  if (fd_ < 0) return;
  notifier_ = std::make_unique<QSocketNotifier>(fd_, QSocketNotifier::Read);
  QObject::connect(notifier_.get(), &QSocketNotifier::activated, [this] {
    uint64_t count = 0;
    while (read(fd_, &count, sizeof count) < 0 && errno == EINTR) {
    }
    loop_.quit();
  });
}

TThreadEndWait::~TThreadEndWait() {
  notifier_.reset();
  if (fd_ >= 0) close(fd_);
}

void TThreadEndWait::Signal() const {
  const uint64_t one = 1;
  while (write(fd_, &one, sizeof one) < 0 && errno == EINTR) {
  }
}

void TThreadEndWait::Wait() {
  if (notifier_) loop_.exec();
}
