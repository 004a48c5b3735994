#include "tests/support/VirtualDisplay.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QStringList>
#include <QThread>

namespace {
constexpr int kStartWaitMs = 20000;
constexpr int kNumbersTried = 10;

// twm without questions: windows are placed where they ask to be, no grab of the whole server.
constexpr const char* kTwmRc =
    "NoGrabServer\n"
    "RandomPlacement\n"
    "UsePPosition \"on\"\n"
    "DecorateTransients\n"
    "BorderWidth 1\n"
    // The fonts of xfonts-base; twm's own defaults are not installed everywhere.
    "TitleFont \"fixed\"\n"
    "ResizeFont \"fixed\"\n"
    "MenuFont \"fixed\"\n"
    "IconFont \"fixed\"\n"
    "IconManagerFont \"fixed\"\n";

// What a program on the display prints (standard output), or empty after the time limit.
QString Ask(const QProcessEnvironment& environment, const QString& program, const QStringList& arguments) {
  QProcess tool;
  tool.setProcessEnvironment(environment);
  tool.start(program, arguments);
  if (!tool.waitForFinished(10000)) {
    tool.kill();
    tool.waitForFinished(5000);
  }
  return QString::fromUtf8(tool.readAllStandardOutput());
}

}  // namespace

bool StillRunning(QProcess& process) {
  if (process.state() == QProcess::Running) process.waitForFinished(0);
  return process.state() == QProcess::Running;
}

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
  // -noreset: by default the server starts over each time its last client leaves (one xdotool call
  // between the program's starts is enough): it drops the clients that are connecting just then, so a
  // program or twm started at that moment ends at once with "could not connect to display".
  server_.setProgram("Xvfb");
  server_.setArguments(displayArgument + QStringList{"-displayfd", "1", "-noreset", "-screen", "0", screen,
                                                     "-nolisten", "tcp"});
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

WindowManager::WindowManager(const VirtualDisplay& display, Kind kind) {
  if (display.Display().isEmpty()) return;
  process_.setProcessEnvironment(display.Environment());
  process_.setProcessChannelMode(QProcess::MergedChannels);
  if (kind == Kind::Openbox) {
    process_.start("openbox", {"--sm-disable"});
  } else {
    rcFile_ = QDir::tempPath() + "/tolvane-twmrc-" + QString::number(QCoreApplication::applicationPid()) +
              "-" + QString(display.Display()).remove(':');
    QFile rc(rcFile_);
    if (!rc.open(QIODevice::WriteOnly) || rc.write(kTwmRc) < 0) return;
    rc.close();
    process_.start("twm", {"-f", rcFile_});
  }
  if (!process_.waitForStarted(kStartWaitMs)) return;
  const QDeadlineTimer deadline(kStartWaitMs * 6);
  while (!deadline.hasExpired() && StillRunning(process_)) {
    if (Started(display.Environment(), kind)) {
      running_ = true;
      return;
    }
    QThread::msleep(100);
  }
}

bool WindowManager::Started(const QProcessEnvironment& environment, Kind kind) const {
  // twm has taken over the display once its icon manager window exists; openbox once the root names
  // its check window.
  if (kind == Kind::Twm)
    return !Ask(environment, "xdotool", {"search", "--name", "^TWM Icon Manager$"}).isEmpty();
  return Ask(environment, "xprop", {"-root", "_NET_SUPPORTING_WM_CHECK"}).contains("window id");
}

QString WindowManager::Output() {
  // Its complaints about fonts it lacks are many and harmless; the rest tells why it stopped.
  QStringList lines;
  StillRunning(process_);
  for (const QString& line : QString::fromUtf8(process_.readAll()).split('\n'))
    if (!line.contains("is lacking") && !line.isEmpty()) lines << line;
  return lines.join('\n') + (StillRunning(process_) ? "" : "\n(the window manager has ended)");
}

WindowManager::~WindowManager() {
  if (process_.state() != QProcess::NotRunning) {
    process_.terminate();
    if (!process_.waitForFinished(5000)) {
      process_.kill();
      process_.waitForFinished(5000);
    }
  }
  if (!rcFile_.isEmpty()) QFile::remove(rcFile_);
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
