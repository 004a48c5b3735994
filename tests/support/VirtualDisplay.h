#pragma once
// A virtual X display (Xvfb) for tests that start the real program in a real window.
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>

// Without an event loop a QProcess takes in what its child printed, and that the child has ended, only
// inside its waitFor* calls: this takes in both without waiting. True while the child runs.
bool StillRunning(QProcess& process);

class VirtualDisplay {
 public:
  // screen: Xvfb's WIDTHxHEIGHTxDEPTH. The server takes a free display number; when
  // TOLVANE_XVFB_FIRST_DISPLAY is set (machines shared by several people), it tries numbers from there.
  explicit VirtualDisplay(const QString& screen = "1024x768x24");
  ~VirtualDisplay();
  VirtualDisplay(const VirtualDisplay&) = delete;
  VirtualDisplay& operator=(const VirtualDisplay&) = delete;

  QString Display() const { return display_; }  // ":N", empty when no server started
  bool Running() const { return StillRunning(server_); }
  // The system environment with DISPLAY set to this display.
  QProcessEnvironment Environment() const;

 private:
  bool Start(const QString& screen, const QStringList& displayArgument);

  mutable QProcess server_;  // its state is taken in when asked
  QString display_;
};

// A window manager on a virtual display, for tests that minimise and restore windows as a desktop
// does: it places new windows itself (no click asked for). twm gives the keyboard to the window under
// the pointer and knows nothing of the EWMH; openbox gives it on a click or an activation and keeps the
// EWMH's lists (_NET_CLIENT_LIST_STACKING).
class WindowManager {
 public:
  enum class Kind { Twm, Openbox };
  explicit WindowManager(const VirtualDisplay& display, Kind kind = Kind::Twm);
  ~WindowManager();
  WindowManager(const WindowManager&) = delete;
  WindowManager& operator=(const WindowManager&) = delete;

  // True once it manages the display's windows.
  bool Running() const { return running_; }
  // What it printed (its font warnings left out), for the report of a failed start.
  QString Output();

 private:
  bool Started(const QProcessEnvironment& environment, Kind kind) const;

  QProcess process_;
  QString rcFile_;
  bool running_ = false;
};

// The line of `xwininfo -root -tree` that shows a window whose name starts with titleStart, or empty
// when there is none (yet).
QString FindWindowLine(const QString& display, const QString& titleStart);
