#pragma once
// The progress window: the window's face on the run engine. It hands the checked tasks to the engine
// and shows what the engine reports (bars, labels, tray, messages), and lets the user pause, cancel
// or hide to the tray. Who runs when, the cores and what a failure is are the engine's.
#include <QDateTime>
#include <QDialog>
#include <QPointer>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "run/OutputIdentity.h"
#include "run/RunOutcome.h"
#include "ui/RunReport.h"

class QEventLoop;
class QLabel;
class QProgressBar;
class QPushButton;
class QSystemTrayIcon;
class QTimer;
class TCoreBudget;
class TDX9In;
class TElidedLabel;
class TMP3Out;
class TRunEngine;

class TprgFrm : public QDialog {
  Q_OBJECT
 public:
  // Creates the MP3 sink; raises ESndException "libmp3lame.so.0 library could not be loaded." when the
  // encoder library is missing. Registers itself as prgFrm.
  explicit TprgFrm(QWidget* parent = nullptr);
  ~TprgFrm() override;

  // Prepares a run over the checked tasks and shows the window modally until the run has ended.
  void RunConversion();
  // A run is in progress, also while the window is hidden to the tray.
  bool Converting() const { return running_; }
  // The main window, hidden and shown back with the progress window.
  void SetMainWindow(QWidget* window) { mainWindow_ = window; }
  // The sinks of the tasks converting now (their inputs open), in the order of their lines.
  std::vector<TMP3Out*> RunningSinks() const;
  // The core budget of the current or last run; null before the first.
  const TCoreBudget* CoreBudget() const;
  // How each task of the current or last run ended, in the order they ended (Task: its row in the
  // task list).
  std::vector<TTaskResult> Outcomes() const;

  QLabel* timeLabel = nullptr;
  QProgressBar* totalPrgBar = nullptr;  // percent of the whole run
  TElidedLabel* fileLabel = nullptr;
  QProgressBar* curPrgbar = nullptr;  // milliseconds of the current file
  QPushButton* hideBtn = nullptr;
  QPushButton* pauseBtn = nullptr;
  QPushButton* cancelBtn = nullptr;
  QLabel* moreLabel = nullptr;  // how many more tasks run than the window has lines for
  QSystemTrayIcon* TrayIcon = nullptr;
  TMP3Out* MP3Out = nullptr;  // the first line's sink
  QTimer* Timer1 = nullptr;   // the run's next step, once per arming
  QTimer* Timer2 = nullptr;   // progress refresh while a task converts

  // Whether the desktop has a notification area; without one, hiding minimises the windows instead.
  // Replaceable so that both ways can be tried where no tray exists.
  std::function<bool()> TrayAvailable;
  // How a task's input is opened, on a thread of its own: its OpenSource. Replaceable so that a test
  // can hold an opening for as long as it needs.
  std::function<void(TDX9In&)> OpenInput;
  // How the outputs are told apart at the run's start, and how a sink creates its MP3 and starts, each
  // off the window's thread. Replaceable so that a test can hold them as a dead network share would.
  std::function<TOutputKey(const std::string&)> OutputKey;
  std::function<void(TMP3Out&)> StartSink;

 protected:
  void showEvent(QShowEvent* event) override;
  // Escape and the title bar's close button act as the cancel button.
  void reject() override;

 private:
  // A running task's file line and bar; the first row is fileLabel and curPrgbar.
  struct TRow {
    TElidedLabel* Label = nullptr;
    QProgressBar* Bar = nullptr;
  };

  // Serves the engine and shows the messages its tasks left; ends the run once all is done.
  void PollEngine();
  void TaskStarted(int32_t slot, int32_t task);
  void TaskEnded(int32_t slot, const TTaskResult& result);
  // The end message: the old one for a clean run or a run of one file, else one report listing every
  // file not converted whole. 1 when the user wants the output folder opened.
  int ShowRunEnd();
  // Every task of the run with how it ended, in the run's order.
  std::vector<TReportedFile> ReportedFiles() const;
  // Stops every task and starts no other.
  void StopAllTasks();
  void RefreshProgress();
  void PauseClick();
  void CancelClick();
  void HideToTray();
  void TrayClick();
  void EndConversionRun();

  // Makes the run's lines (a sink, a file line and a bar each) and fits the window to them. Raises
  // std::system_error when a sink's worker cannot be started.
  void PrepareSlots(int count);
  void UpdateMoreLine();

  std::unique_ptr<TRunEngine> engine_;
  std::vector<int32_t> listRows_;  // the task list's row of each of the run's tasks
  int32_t TaskIndex = -1;
  int32_t StartedCount = 0;
  int32_t CheckedCount = 0;
  int64_t TotalDuration = 0;  // 100-ns units
  QDateTime RunStartTime;
  bool PauseFlag = false;
  bool CancelFlag = false;

  bool running_ = false;
  bool preparing_ = false;  // the checked sources are being looked at
  bool ending_ = false;
  int failedTasks_ = 0;
  int partialTasks_ = 0;  // converted only in part: far less audio than the file states
  bool askingCancel_ = false;
  bool pollDeferred_ = false;  // the engine had news while the cancel question was open
  std::vector<TRow> rows_;
  int visibleRows_ = 1;
  std::string noThreadMessage_;  // the run ended for want of a thread: told before the end message
  QTimer* wakeTimer_ = nullptr;  // serves the engine once it has news
  QEventLoop* runLoop_ = nullptr;
  QPointer<QWidget> mainWindow_;
};

// The program's progress window, registered by its constructor.
extern TprgFrm* prgFrm;
