#pragma once
// The progress window: runs over the checked tasks in list order, converts each into its MP3 file
// (ParallelTasks of them at once, each through its own MP3 sink), shows the progress, and lets the
// user pause, cancel or hide to the tray.
#include <QDateTime>
#include <QDialog>
#include <QPointer>
#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

#include "convert/RunMessages.h"

class QEventLoop;
class QLabel;
class QProgressBar;
class QPushButton;
class QSystemTrayIcon;
class QTimer;
class MainThreadCallQueue;
class TCoreBudget;
class TDX9In;
class TElidedLabel;
class TInputOpening;
class TMP3Out;
class TRunSchedule;
enum TMP3BitRate : int32_t;

// Where one task converts: its own sink and input, and its file line and bar in the window. Which
// task runs here is the run's schedule's to say.
struct TRunSlot {
  int32_t Index = 0;                       // the slot's number in the schedule, its row in the window
  TMP3Out* Sink = nullptr;                 // MP3Out for the first slot
  std::unique_ptr<TInputOpening> Opening;  // the task's input while it opens
  bool Opened = false;                     // the opening has handed its input over
  std::unique_ptr<TDX9In> CurrentInput;    // the task's input once open
  std::unique_ptr<TMP3Out> OwnSink;        // the sink of every further slot (ends before its input)
  TElidedLabel* Label = nullptr;           // fileLabel for the first slot
  QProgressBar* Bar = nullptr;             // curPrgbar for the first slot
};

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

  QLabel* timeLabel = nullptr;
  QProgressBar* totalPrgBar = nullptr;  // percent of the whole run
  TElidedLabel* fileLabel = nullptr;
  QProgressBar* curPrgbar = nullptr;  // milliseconds of the current file
  QPushButton* hideBtn = nullptr;
  QPushButton* pauseBtn = nullptr;
  QPushButton* cancelBtn = nullptr;
  QLabel* moreLabel = nullptr;  // how many more tasks run than the window has lines for
  QSystemTrayIcon* TrayIcon = nullptr;
  std::unique_ptr<TMP3Out> MP3Out;  // the first slot's sink
  QTimer* Timer1 = nullptr;         // next-task step, once per arming
  QTimer* Timer2 = nullptr;         // progress refresh while a task converts

  // Whether the desktop has a notification area; without one, hiding minimises the windows instead.
  // Replaceable so that both ways can be tried where no tray exists.
  std::function<bool()> TrayAvailable;
  // How a task's input is opened, on a thread of its own: its OpenSource. Replaceable so that a test
  // can hold an opening for as long as it needs.
  std::function<void(TDX9In&)> OpenInput;

 protected:
  void showEvent(QShowEvent* event) override;
  // Escape and the title bar's close button act as the cancel button.
  void reject() override;

 private:
  // A task that has ended and waits to be handled, in the order the tasks ended.
  struct TEndedTask {
    TRunSlot* Slot = nullptr;
    int32_t Task = -1;
    std::optional<TRunFailure> Failure;  // none: done (finished or stopped)
  };

  void NextTaskStep();
  // Sets the slot's task up in its sink and its line, and starts opening its input.
  void StartNextTask(TRunSlot& slot);
  void BeginOpening(TRunSlot& slot);
  // On the opening thread: hands the finished opening over to this thread.
  void InputOpened(TRunSlot& slot);
  void HandleOpenedInputs();
  // The slot's input is open (or failed to open): its task converts now, unless the run was cancelled.
  void FinishOpening(TRunSlot& slot);
  // A task has ended, done or failed: queued, and handled once the sink's worker has been let go.
  void NoteEnded(TRunSlot& slot, std::optional<TRunFailure> failure);
  void HandleEndedTasks();
  // Where a converting task ends: finished, or stopped by Cancel.
  void TaskDone(TRunSlot& slot);
  // Where a failed task ends: its slot is freed and its message queued.
  void TaskFailed(TRunSlot& slot, const TRunFailure& failure);
  // Shows the queued messages one after the other; the run goes on behind them.
  void ShowFailureMessages();
  void OnSinkException(TRunSlot& slot, const Exception& e);
  // A task has ended here, whatever way: its input goes, its bar shows full, the slot takes the next.
  void ReleaseSlot(TRunSlot& slot);
  // The run cannot start a thread for slot's task: the run ends as if cancelled, with a message.
  void EndRunWithoutThread(TRunSlot& slot, const std::system_error& error);
  // Stops every task and starts no other.
  void StopAllTasks();
  void RefreshProgress();
  void PauseClick();
  void CancelClick();
  void HideToTray();
  void TrayClick();
  void EndConversionRun();

  // Makes the run's slots (a sink, a file line and a bar each) and fits the window to them. Raises
  // std::system_error when a sink's worker cannot be started.
  void PrepareSlots(int count);
  int32_t TaskOf(const TRunSlot& slot) const;
  bool AnyTaskRunning() const;
  void UpdateMoreLine();

  int32_t TaskIndex = -1;
  int32_t StartedCount = 0;
  int32_t CheckedCount = 0;
  int64_t TotalDuration = 0;  // 100-ns units
  int64_t DoneDuration = 0;
  QDateTime RunStartTime;
  bool PauseFlag = false;
  bool CancelFlag = false;

  bool running_ = false;
  int finishedTasks_ = 0;  // done or skipped, for the total bar when no duration is known
  int failedTasks_ = 0;
  int partialTasks_ = 0;  // converted only in part: far less audio than the file states
  bool askingCancel_ = false;
  bool stepDeferred_ = false;                     // a next-task step came while the cancel question was open
  bool openDeferred_ = false;                     // an opening finished while the cancel question was open
  std::unique_ptr<TRunSchedule> schedule_;        // of the current or last run
  std::vector<std::unique_ptr<TRunSlot>> slots_;  // the run's slots; the first is always there
  int visibleRows_ = 1;
  TMP3BitRate lastBitRate_{};  // of the task started last: a bitrate outside the table keeps it
  std::deque<TEndedTask> ended_;
  std::deque<std::pair<int, std::string>> failureMessages_;  // kind and text, shown in turn
  bool showingFailure_ = false;
  QTimer* endTimer_ = nullptr;     // handles the ended tasks
  QTimer* openedTimer_ = nullptr;  // handles the finished openings
  QEventLoop* runLoop_ = nullptr;
  QPointer<QWidget> mainWindow_;
  std::shared_ptr<MainThreadCallQueue> uiCalls_;
  std::atomic<bool> abandonCalls_{false};
};

// The program's progress window, registered by its constructor.
extern TprgFrm* prgFrm;
