#pragma once
// The progress window: runs over the checked tasks in list order, converts each into its MP3 file
// through the one MP3 sink, shows the progress, and lets the user pause, cancel or hide to the tray.
#include <QDateTime>
#include <QDialog>
#include <QPointer>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

#include "convert/RunMessages.h"

class QEventLoop;
class QLabel;
class QProgressBar;
class QPushButton;
class QSystemTrayIcon;
class QTimer;
class MainThreadCallQueue;
class TDX9In;
class TElidedLabel;
class TMP3Out;

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

  QLabel* timeLabel = nullptr;
  QProgressBar* totalPrgBar = nullptr;  // percent of the whole run
  TElidedLabel* fileLabel = nullptr;
  QProgressBar* curPrgbar = nullptr;  // milliseconds of the current file
  QPushButton* hideBtn = nullptr;
  QPushButton* pauseBtn = nullptr;
  QPushButton* cancelBtn = nullptr;
  QSystemTrayIcon* TrayIcon = nullptr;
  std::unique_ptr<TMP3Out> MP3Out;
  QTimer* Timer1 = nullptr;  // next-task step, once per arming
  QTimer* Timer2 = nullptr;  // progress refresh while a task converts

  // Whether the desktop has a notification area; without one, hiding minimises the windows instead.
  // Replaceable so that both ways can be tried where no tray exists.
  std::function<bool()> TrayAvailable;

 protected:
  void showEvent(QShowEvent* event) override;
  // Escape and the title bar's close button act as the cancel button.
  void reject() override;

 private:
  void NextTaskStep();
  void StartNextTask();
  void TaskDone();
  void RefreshProgress();
  void PauseClick();
  void CancelClick();
  void HideToTray();
  void TrayClick();
  void EndConversionRun();
  // A task failed: recorded on the user-interface thread; TaskFailed then skips the task.
  void NoteFailure(const TRunFailure& failure);
  void TaskFailed();
  void OnSinkException(const Exception& e);

  int32_t TaskIndex = -1;
  int32_t StartedCount = 0;
  int32_t CheckedCount = 0;
  int64_t TotalDuration = 0;  // 100-ns units
  int64_t DoneDuration = 0;
  QDateTime RunStartTime;
  std::unique_ptr<TDX9In> CurrentInput;
  bool PauseFlag = false;
  bool CancelFlag = false;

  bool running_ = false;
  int finishedTasks_ = 0;  // done or skipped, for the total bar when no duration is known
  int failedTasks_ = 0;
  int partialTasks_ = 0;  // converted only in part: far less audio than the file states
  bool askingCancel_ = false;
  bool stepDeferred_ = false;  // a next-task step came while the cancel question was open
  std::optional<TRunFailure> failure_;
  QTimer* failureTimer_ = nullptr;
  QEventLoop* runLoop_ = nullptr;
  QPointer<QWidget> mainWindow_;
  std::shared_ptr<MainThreadCallQueue> uiCalls_;
  std::atomic<bool> abandonCalls_{false};
};

// The program's progress window, registered by its constructor.
extern TprgFrm* prgFrm;
