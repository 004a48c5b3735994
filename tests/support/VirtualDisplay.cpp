#include "tests/support/VirtualDisplay.h"

#include <QStringList>

namespace {
constexpr int kStartWaitMs = 20000;
constexpr int kNumbersTried = 10;
}  // namespace

VirtualDisplay::VirtualDisplay(const QString& screen) {
  bool numbered = false;
  const int first = qEnvironmentVariableIntValue("TOLVANE_XVFB_FIRST_DISPLAY", &numbered);
  if (!numbered) {
    Start(screen, {});
    return;
  }
  for (int number = first; number < first + kNumbersTried; ++number) {
    if (Start(screen, {":" + QString::number(number)})) return;
  }
}

bool VirtualDisplay::Start(const QString& screen, const QStringList& displayArgument) {
  // -displayfd: the server writes its display number once it accepts clients.
  server_.setProgram("Xvfb");
  server_.setArguments(displayArgument +
                       QStringList{"-displayfd", "1", "-screen", "0", screen, "-nolisten", "tcp"});
  server_.setStandardErrorFile(QProcess::nullDevice());
  server_.start();
  if (server_.waitForReadyRead(kStartWaitMs)) {
    display_ = ":" + QString(server_.readLine()).trimmed();
    return true;
  }
  // A display number in use: the server ends at once.
  server_.kill();
  server_.waitForFinished(5000);
  return false;
}

VirtualDisplay::~VirtualDisplay() {
  if (server_.state() == QProcess::NotRunning) return;
  server_.terminate();
  if (!server_.waitForFinished(5000)) {
    server_.kill();
    server_.waitForFinished(5000);
  }
}

QProcessEnvironment VirtualDisplay::Environment() const {
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.insert("DISPLAY", display_);
  return environment;
}

QString FindWindowLine(const QString& display, const QString& titleStart) {
  QProcess tree;
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.insert("DISPLAY", display);
  tree.setProcessEnvironment(environment);
  tree.start("xwininfo", {"-root", "-tree"});
  if (!tree.waitForFinished(10000)) {
    tree.kill();
    tree.waitForFinished(5000);
  }
  for (const QString& line : QString::fromUtf8(tree.readAllStandardOutput()).split('\n'))
    if (line.contains("\"" + titleStart)) return line.trimmed();
  return QString();
}
