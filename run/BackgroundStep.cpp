#include "run/BackgroundStep.h"

#include <system_error>

TBackgroundStep::TBackgroundStep(std::function<void()> work, std::function<void()> finished) {
  const auto both = [work = std::move(work), finished = std::move(finished)] {
    work();
    finished();
  };
  try {
    thread_ = std::thread(both);
  } catch (const std::system_error&) {
    both();  // the system's thread limit: the step is short enough to do on the caller's thread
  }
}

TBackgroundStep::~TBackgroundStep() {
  if (thread_.joinable()) thread_.join();
}
