#include "tests/e2e/DesktopDriver.h"

#include <signal.h>

#include <QDeadlineTimer>
#include <QThread>

#include "tests/support/TestEnvironment.h"

namespace {

constexpr int kPollMs = 100;
constexpr int kToolMs = 10000;
constexpr int kKeyPauseMs = 300;
ProgramRun* latestRun = nullptr;

// Polls until done() or the deadline; returns done()'s last answer.
template <typename Done>
bool PollUntil(int timeoutMs, Done done) {
  const QDeadlineTimer deadline(timeoutMs);
  while (true) {
    if (done()) return true;
    if (deadline.hasExpired()) return false;
    QThread::msleep(kPollMs);
  }
}

void EndProcess(QProcess& process) {
  if (process.state() == QProcess::NotRunning) return;
  process.kill();
  process.waitForFinished(5000);
}

}  // namespace

DesktopDriver::DesktopDriver(const VirtualDisplay& display) : environment_(display.Environment()) {}

QString DesktopDriver::Run(const QStringList& arguments) const {
  QProcess tool;
  tool.setProcessEnvironment(environment_);
  tool.start("xdotool", arguments);
  if (!tool.waitForFinished(kToolMs)) EndProcess(tool);
  return QString::fromUtf8(tool.readAllStandardOutput());
}

QStringList DesktopDriver::Windows(const QString& titlePattern) const {
  return Run({"search", "--onlyvisible", "--name", titlePattern}).split('\n', Qt::SkipEmptyParts);
}

QStringList DesktopDriver::AllWindows(const QString& titlePattern) const {
  return Run({"search", "--name", titlePattern}).split('\n', Qt::SkipEmptyParts);
}

QString DesktopDriver::WaitForWindow(const QString& titlePattern, int timeoutMs) const {
  QString found;
  PollUntil(timeoutMs, [&] {
    const QStringList windows = Windows(titlePattern);
    if (!windows.isEmpty()) found = windows.first();
    return !found.isEmpty();
  });
  return found;
}

bool DesktopDriver::WaitUntilGone(const QString& titlePattern, int timeoutMs) const {
  return PollUntil(timeoutMs, [&] { return Windows(titlePattern).isEmpty(); });
}

QString DesktopDriver::Title(const QString& window) const {
  QString title = Run({"getwindowname", window});
  if (title.endsWith(QLatin1Char('\n'))) title.chop(1);
  return title;
}

QRect DesktopDriver::Geometry(const QString& window) const {
  // --shell prints WINDOW=, X=, Y=, WIDTH=, HEIGHT=, SCREEN= lines.
  QRect geometry;
  for (const QString& line : Run({"getwindowgeometry", "--shell", window}).split('\n')) {
    const int equals = line.indexOf('=');
    if (equals < 0) continue;
    const QString name = line.left(equals);
    const int value = line.mid(equals + 1).toInt();
    if (name == "X") geometry.moveLeft(value);
    if (name == "Y") geometry.moveTop(value);
    if (name == "WIDTH") geometry.setWidth(value);
    if (name == "HEIGHT") geometry.setHeight(value);
  }
  return geometry;
}

void DesktopDriver::Focus(const QString& window) const {
  if (pointerFocus_) Run({"mousemove", "--sync", "--window", window, "40", "40"});
  // Without a window manager the keyboard stays where it was when a dialog closes: it is given here.
  Run({"windowfocus", "--sync", window});
}

bool DesktopDriver::Minimise(const QString& window) const {
  Run({"windowminimize", "--sync", window});
  return PollUntil(kWaitMs, [&] { return !Viewable(window); });
}

bool DesktopDriver::Restore(const QString& window) const {
  Run({"windowmap", "--sync", window});
  return PollUntil(kWaitMs, [&] { return Viewable(window); });
}

bool DesktopDriver::Viewable(const QString& window) const {
  QProcess info;
  info.setProcessEnvironment(environment_);
  info.start("xwininfo", {"-id", window});
  if (!info.waitForFinished(kToolMs)) EndProcess(info);
  return QString::fromUtf8(info.readAllStandardOutput()).contains("Map State: IsViewable");
}

int DesktopDriver::StackingPosition(const QString& window) const {
  // The window's top-level ancestor (the window manager's frame), then its place among the root's
  // children, which X lists from the bottom up.
  const auto tree = [&](const QStringList& arguments) {
    QProcess info;
    info.setProcessEnvironment(environment_);
    info.start("xwininfo", arguments);
    if (!info.waitForFinished(kToolMs)) EndProcess(info);
    return QString::fromUtf8(info.readAllStandardOutput());
  };
  const auto idAfter = [](const QString& text, const QString& label) {
    const int at = text.indexOf(label);
    return at < 0 ? 0UL : text.mid(at + label.size()).section(' ', 0, 0).trimmed().toULong(nullptr, 16);
  };
  unsigned long current = window.toULong();
  for (int depth = 0; depth < 10; ++depth) {
    const QString text = tree({"-id", QString::number(current), "-tree"});
    const unsigned long root = idAfter(text, "Root window id: ");
    const unsigned long parent = idAfter(text, "Parent window id: ");
    if (parent == 0) return -1;
    if (parent == root) break;
    current = parent;
  }
  const QString hex = "0x" + QString::number(current, 16) + " ";
  // xwininfo lists the root's children from the top down.
  QStringList frames;
  for (const QString& line : tree({"-root", "-children"}).split('\n'))
    if (line.trimmed().startsWith("0x")) frames << line.trimmed();
  for (int i = 0; i < frames.size(); ++i)
    if (frames[i].startsWith(hex)) return int(frames.size()) - 1 - i;
  return -1;
}

int DesktopDriver::ManagedStackingPosition(const QString& window) const {
  QProcess info;
  info.setProcessEnvironment(environment_);
  info.start("xprop", {"-root", "_NET_CLIENT_LIST_STACKING"});
  if (!info.waitForFinished(kToolMs)) EndProcess(info);
  // "_NET_CLIENT_LIST_STACKING(WINDOW): window id # 0x400007, 0x600009"
  const QString text = QString::fromUtf8(info.readAllStandardOutput());
  const int hash = text.indexOf('#');
  if (hash < 0) return -1;
  const QStringList ids = text.mid(hash + 1).split(',', Qt::SkipEmptyParts);
  for (int i = 0; i < ids.size(); ++i)
    if (ids[i].trimmed().toULong(nullptr, 16) == window.toULong()) return i;
  return -1;
}

QString DesktopDriver::FocusedWindow() const { return Run({"getwindowfocus", "-f"}).trimmed(); }

void DesktopDriver::KeysWhereFocused(const QStringList& keys) const {
  for (const QString& key : keys) {
    Run({"key", key});
    QThread::msleep(kKeyPauseMs);
  }
}

bool DesktopDriver::RequestClose(const QString& window) const {
  QProcess tool;
  tool.setProcessEnvironment(environment_);
  tool.start(QString::fromStdString(BinDir() + "/tolvane-test-closerequest"), {window});
  if (!tool.waitForFinished(kToolMs)) EndProcess(tool);
  return tool.exitStatus() == QProcess::NormalExit && tool.exitCode() == 0;
}

void DesktopDriver::Keys(const QString& window, const QStringList& keys) const {
  // Focus before every key: the program may still move the keyboard to a window it activates late.
  for (const QString& key : keys) {
    Focus(window);
    Run({"key", key});
    // A button's Alt shortcut clicks it only when its pressed look has shown (100 ms); a second key
    // before that is dropped.
    QThread::msleep(kKeyPauseMs);
  }
}

bool DesktopDriver::KeysUntilHidden(const QString& window, const QStringList& keys, int timeoutMs,
                                    bool whereFocused) const {
  // xev reports the window's own events; a property set on the window shows that it is listening.
  QProcess events;
  events.setProcessEnvironment(environment_);
  events.start("xev", {"-id", window, "-event", "structure", "-event", "property"});
  if (!events.waitForStarted(kToolMs)) return false;
  QString seen;
  const auto saw = [&](const char* what) {
    events.waitForReadyRead(kPollMs);
    seen += QString::fromUtf8(events.readAllStandardOutput());
    return seen.contains(QLatin1String(what));
  };
  QProcess ping;
  ping.setProcessEnvironment(environment_);
  const bool listening = PollUntil(timeoutMs, [&] {
    ping.start("xprop", {"-id", window, "-f", "_TOLVANE_TEST_PING", "8s", "-set", "_TOLVANE_TEST_PING", "1"});
    ping.waitForFinished(kToolMs);
    return saw("PropertyNotify");
  });
  bool hidden = false;
  if (listening) {
    if (whereFocused)
      KeysWhereFocused(keys);
    else
      Keys(window, keys);
    hidden = PollUntil(timeoutMs, [&] { return saw("UnmapNotify") || saw("DestroyNotify"); });
  }
  EndProcess(events);
  return hidden;
}

void DesktopDriver::Type(const QString& window, const QString& text) const {
  Focus(window);
  Run({"type", "--delay", "20", text});
}

void DesktopDriver::Click(QPoint at) const {
  Run({"mousemove", "--sync", QString::number(at.x()), QString::number(at.y()), "click", "1"});
}

void DesktopDriver::ClickIn(const QString& window, QPoint at) const {
  Run({"mousemove", "--sync", "--window", window, QString::number(at.x()), QString::number(at.y()), "click",
       "1"});
}

void DesktopDriver::Drag(QPoint from, QPoint to) const {
  Run({"mousemove", "--sync", QString::number(from.x()), QString::number(from.y())});
  Run({"mousedown", "1"});
  // In steps, as a hand moves: the source follows the pointer and the target answers each position.
  constexpr int kSteps = 12;
  for (int step = 1; step <= kSteps; ++step) {
    const QPoint at = from + (to - from) * step / kSteps;
    Run({"mousemove", QString::number(at.x()), QString::number(at.y())});
    QThread::msleep(60);
  }
  // A last wiggle over the target, so its answer to the final position has arrived before the release.
  for (const int dx : {2, -2, 0}) {
    Run({"mousemove", QString::number(to.x() + dx), QString::number(to.y())});
    QThread::msleep(150);
  }
  Run({"mouseup", "1"});
}

ProgramRun::ProgramRun(const VirtualDisplay& display, const QString& program, const QStringList& arguments,
                       const QString& configHome, const QString& dataHome, const QString& workingDir,
                       const QStringList& extraEnvironment) {
  QProcessEnvironment environment = display.Environment();
  environment.insert("QT_QPA_PLATFORM", "xcb");
  environment.insert("XDG_CONFIG_HOME", configHome);
  environment.insert("XDG_DATA_HOME", dataHome);
  for (const QString& setting : extraEnvironment) {
    const int equals = setting.indexOf('=');
    environment.insert(setting.left(equals), setting.mid(equals + 1));
  }
  process_.setProcessEnvironment(environment);
  process_.setWorkingDirectory(workingDir);
  process_.setProcessChannelMode(QProcess::MergedChannels);
  process_.start(program, arguments);
  started_ = process_.waitForStarted(kToolMs);
  latestRun = this;
}

ProgramRun* ProgramRun::Latest() { return latestRun; }

ProgramRun::~ProgramRun() {
  if (latestRun == this) latestRun = nullptr;
  EndProcess(process_);
}

void ProgramRun::Terminate() {
  if (Running()) ::kill(static_cast<pid_t>(process_.processId()), SIGTERM);
}

bool ProgramRun::WaitForEnd(int timeoutMs) {
  if (!Running()) return true;
  if (process_.waitForFinished(timeoutMs)) return true;
  EndProcess(process_);
  return false;
}

QString ProgramRun::Backtrace() const {
  if (!Running()) return QString();
  QProcess gdb;
  gdb.setProcessChannelMode(QProcess::MergedChannels);
  gdb.start("gdb",
            {"-p", QString::number(process_.processId()), "-batch", "-nx", "-ex", "thread apply all bt 25"});
  if (!gdb.waitForFinished(60000)) EndProcess(gdb);
  const QString printed = QString::fromUtf8(gdb.readAllStandardOutput());
  QStringList frames;
  for (const QString& line : printed.split('\n'))
    if (line.startsWith('#') || line.startsWith("Thread ")) frames << line;
  // No frames: what gdb said instead (it could not attach, or it was too slow) tells why.
  return frames.isEmpty() ? "(no backtrace) " + printed.right(2000) : frames.join('\n');
}

QString ProgramRun::Output() {
  StillRunning(process_);
  output_ += QString::fromUtf8(process_.readAll());
  return output_;
}

DragSourceRun::DragSourceRun(const VirtualDisplay& display, const DesktopDriver& desktop,
                             const QStringList& files) {
  QProcessEnvironment environment = display.Environment();
  environment.insert("QT_QPA_PLATFORM", "xcb");
  process_.setProcessEnvironment(environment);
  process_.start(QString::fromStdString(BinDir() + "/tolvane-test-dragsource"), files);
  if (process_.waitForStarted(kToolMs)) window_ = desktop.WaitForWindow(QString("^") + kTitle + "$");
}

DragSourceRun::~DragSourceRun() { EndProcess(process_); }

QString DragSourceRun::DropResult(int timeoutMs) {
  PollUntil(timeoutMs, [&] {
    process_.waitForReadyRead(kPollMs);
    printed_ += QString::fromUtf8(process_.readAllStandardOutput());
    return printed_.contains("drop: ");
  });
  const int start = printed_.indexOf("drop: ");
  return start < 0 ? QString() : printed_.mid(start).section('\n', 0, 0);
}
