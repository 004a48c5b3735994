#pragma once
// Drives modal windows for real, as a user would: a timer on the GUI thread waits for the active
// modal window of each step in turn and acts on it (presses a button, reads its text). The step
// list is worked through in order; a window that a step leaves open is simply acted on again.
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <deque>
#include <functional>

class QWidget;
class QAbstractButton;

class ModalDriver : public QObject {
  Q_OBJECT
 public:
  ModalDriver();
  ~ModalDriver() override;

  // Waits for a modal window (whose class name is className, when given) and runs act on it.
  ModalDriver& Then(std::function<void(QWidget*)> act, const char* className = nullptr);
  // Waits for a modal window and clicks its visible, enabled button captioned caption (exact text).
  ModalDriver& Press(const QString& caption, const char* className = nullptr);
  // Waits for the message box, records its kind and text, and presses caption.
  ModalDriver& Answer(const QString& caption);
  // Waits for a modal window and closes it by its title bar.
  ModalDriver& CloseByTitleBar(const char* className = nullptr);

  // Steps not yet carried out.
  int Remaining() const { return int(steps_.size()); }
  // What the message-box steps saw, in order.
  QStringList messages;
  QList<int> kinds;
  // Steps that timed out; such a step closes whatever modal window is open, so the test goes on.
  QStringList failures;
  // How long one step waits for its window, in milliseconds.
  int stepTimeoutMs = 15000;

 private:
  struct Step {
    std::function<void(QWidget*)> act;
    QByteArray className;
    int waitedMs = 0;
  };
  void Tick();

  std::deque<Step> steps_;
  QTimer timer_;
};

// The visible, enabled button of window captioned caption; null when there is none.
QAbstractButton* FindButton(QWidget* window, const QString& caption);
// Every visible modal window is closed (by its title bar) until none is left; for test tear-down.
void CloseAllModalWindows();
