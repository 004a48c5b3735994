#include "TerminationSignals.h"

#include <unistd.h>
#include <QSocketNotifier>
#include <QWidget>
#include <csignal>

namespace {
int signalPipe[2] = {-1, -1};

void OnSignal(int) {
  const char byte = 1;
  // Only async-signal-safe work here: the main loop does the rest.
  [[maybe_unused]] const auto written = ::write(signalPipe[1], &byte, 1);
}
}  // namespace

void CloseWindowOnTerminationSignals(QWidget* window) {
  if (::pipe(signalPipe) != 0) return;
  auto* notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, window);
  QObject::connect(notifier, &QSocketNotifier::activated, window, [window] {
    char byte = 0;
    [[maybe_unused]] const auto got = ::read(signalPipe[0], &byte, 1);
    window->close();
  });
  struct sigaction action {};
  action.sa_handler = OnSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (int signal : {SIGTERM, SIGINT, SIGHUP}) ::sigaction(signal, &action, nullptr);
}
