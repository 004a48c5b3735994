#pragma once
// Driving real windows on a virtual X display from outside, as a user would: windows are found by their
// titles, keys and mouse buttons are pressed through the X test extension (xdotool), and every wait has
// a bound, so a program that hangs fails the test instead of stopping it.
#include <QPoint>
#include <QProcess>
#include <QRect>
#include <QString>
#include <QStringList>

#include "tests/support/VirtualDisplay.h"

class DesktopDriver {
 public:
  explicit DesktopDriver(const VirtualDisplay& display);

  // Visible windows whose whole title matches the regular expression (xdotool's syntax).
  QStringList Windows(const QString& titlePattern) const;
  // Every window with that title, also those made but not (or no longer) shown.
  QStringList AllWindows(const QString& titlePattern) const;
  // The first visible window with that title once there is one; empty after timeoutMs.
  QString WaitForWindow(const QString& titlePattern, int timeoutMs = kWaitMs) const;
  // True once no visible window has that title.
  bool WaitUntilGone(const QString& titlePattern, int timeoutMs = kWaitMs) const;
  QString Title(const QString& window) const;
  QRect Geometry(const QString& window) const;  // on the screen

  // Presses each key ("Return", "alt+y", ...) in turn, the window having the keyboard for each.
  void Keys(const QString& window, const QStringList& keys) const;
  // Presses the keys and waits until the window has been hidden, also when it is shown again at once
  // (the one message window of the program, reused for the next message). False after timeoutMs.
  // whereFocused: the keys go wherever the keyboard is, without giving it to the window first.
  bool KeysUntilHidden(const QString& window, const QStringList& keys, int timeoutMs = kWaitMs,
                       bool whereFocused = false) const;
  // Gives the window the keyboard and types the text.
  void Type(const QString& window, const QString& text) const;
  void Click(QPoint at) const;
  // Clicks at a point of the window's own area (its frame left out, whatever the window manager adds).
  void ClickIn(const QString& window, QPoint at) const;
  // With a window manager that gives the keyboard to the window under the pointer (twm), the pointer
  // rests on a window before keys go to it.
  void SetPointerFocus(bool on) { pointerFocus_ = on; }
  // Asks the window manager to minimise the window (the ICCCM iconify request) and waits until it has.
  bool Minimise(const QString& window) const;
  // Maps a minimised window again, as a task bar's button does: the window manager restores it.
  bool Restore(const QString& window) const;
  // Stacking position of the window's frame among the screen's windows: higher is further on top.
  int StackingPosition(const QString& window) const;
  // Place of the window in the window manager's own stacking list (_NET_CLIENT_LIST_STACKING, bottom
  // first); -1 when the list does not hold it (or there is no such list, as under twm).
  int ManagedStackingPosition(const QString& window) const;
  // The window that has the keyboard now (xdotool's id), and keys pressed there without moving it.
  QString FocusedWindow() const;
  void KeysWhereFocused(const QStringList& keys) const;
  // Sends the window the window manager's close request (WM_DELETE_WINDOW), as its close button does.
  bool RequestClose(const QString& window) const;
  // Presses the left button at from, moves in steps to to and lets go: a drag (and a drop) by hand.
  void Drag(QPoint from, QPoint to) const;

  static constexpr int kWaitMs = 20000;

 private:
  QString Run(const QStringList& arguments) const;
  void Focus(const QString& window) const;
  bool Viewable(const QString& window) const;

  QProcessEnvironment environment_;
  bool pointerFocus_ = false;
};

// The real program, started on the display with its own settings and data folders; ended by the
// watchdog of its destructor when a test leaves it running.
class ProgramRun {
 public:
  ProgramRun(const VirtualDisplay& display, const QString& program, const QStringList& arguments,
             const QString& configHome, const QString& dataHome, const QString& workingDir,
             const QStringList& extraEnvironment = {});
  ~ProgramRun();
  ProgramRun(const ProgramRun&) = delete;
  ProgramRun& operator=(const ProgramRun&) = delete;

  bool Started() const { return started_; }
  qint64 Pid() const { return process_.processId(); }
  bool Running() const { return StillRunning(process_); }
  // Sends SIGTERM (a session's end: the main window is closed as by its close button).
  void Terminate();
  // Waits for the end; false when the program still runs after timeoutMs (it is then killed).
  bool WaitForEnd(int timeoutMs = DesktopDriver::kWaitMs);
  int ExitCode() const { return process_.exitCode(); }
  bool EndedNormally() const { return process_.exitStatus() == QProcess::NormalExit; }
  QString Output();  // what it printed so far (standard output and error)
  // Where each of its threads is now (a debugger's backtrace), for the report of a failed wait.
  QString Backtrace() const;
  // The program run started last that still exists (for the report of a failed wait), or null.
  static ProgramRun* Latest();

 private:
  mutable QProcess process_;  // its state and output are taken in when asked
  bool started_ = false;
  QString output_;
};

// The drag source tool: its window at the top left, ready to drag the files.
class DragSourceRun {
 public:
  DragSourceRun(const VirtualDisplay& display, const DesktopDriver& desktop, const QStringList& files);
  ~DragSourceRun();
  DragSourceRun(const DragSourceRun&) = delete;
  DragSourceRun& operator=(const DragSourceRun&) = delete;
  QString Window() const { return window_; }  // empty when it did not show
  // Waits until the drag has ended and returns what the source printed: "drop: copy" or "drop: ignore".
  QString DropResult(int timeoutMs = DesktopDriver::kWaitMs);

  static constexpr const char* kTitle = "Tolvane test drag source";

 private:
  QProcess process_;
  QString window_;
  QString printed_;
};
