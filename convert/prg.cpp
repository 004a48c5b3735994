#include "convert/prg.h"

#include <sys/stat.h>
#include <unistd.h>

#include <QApplication>
#include <QEventLoop>
#include <QGuiApplication>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QSystemTrayIcon>
#include <QTimer>
#include <algorithm>
#include <thread>

#include "audio/CoreBudget.h"
#include "audio/MainThreadCall.h"
#include "audio/Snd_DX9.h"
#include "audio/Snd_LAME.h"
#include "convert/ElidedLabel.h"
#include "convert/InputOpening.h"
#include "convert/MinimisedPair.h"
#include "convert/ProgressDesign.h"
#include "convert/ProgressLayout.h"
#include "convert/RunProgress.h"
#include "convert/RunSchedule.h"
#include "convert/TaskOutcome.h"
#include "convert/TaskSettings.h"
#include "convert/TrayPicture.h"
#include "core/FolderChain.h"
#include "core/Settings.h"
#include "core/TaskList.h"
#include "ui/ShellOpen.h"
#include "ui/lang.h"
#include "ui/msgbox.h"

TprgFrm* prgFrm = nullptr;

namespace {

constexpr int kTimerMs = 100;
// The system's text for error 110, shown for a checked task whose source is gone.
constexpr const char* kCannotOpenDevice = "The system cannot open the device or file specified.";

QString Q(const char* text) { return QString::fromUtf8(text); }

// The line under the visible file lines when more tasks run than fit.
QString MoreRunningText(int count) { return QString("... and %1 more converting").arg(count); }

// "The file exists" as the run means it: something that is not a folder (a folder is no source).
bool SourceExists(const std::string& path) {
  struct stat info {};
  return stat(path.c_str(), &info) == 0 && !S_ISDIR(info.st_mode);
}

// A finished task shows its bar full; one of unknown length leaves its busy look for a full bar.
void ShowCurrentBarFull(QProgressBar* bar) {
  if (bar->maximum() == 0) bar->setMaximum(1);
  bar->setValue(bar->maximum());
}

bool IsPlainFile(const std::string& path) {
  struct stat info {};
  return !path.empty() && lstat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

}  // namespace

TprgFrm::TprgFrm(QWidget* parent) : QDialog(parent), uiCalls_(MainThreadCallQueue::ForCurrentThread()) {
  setObjectName("prgFrm");
  setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                 Qt::WindowStaysOnTopHint);
  setFixedSize(kProgressWidth, kProgressHeight);
  setModal(true);
  // Closing this window while the main window is hidden must not end the program.
  setAttribute(Qt::WA_QuitOnClose, false);

  MP3Out = std::make_unique<TMP3Out>();  // raises when the encoder library is missing

  timeLabel = new QLabel(this);
  timeLabel->setObjectName("timeLabel");
  timeLabel->setGeometry(10, 10, 298, 40);
  timeLabel->setWordWrap(true);
  timeLabel->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  totalPrgBar = new QProgressBar(this);
  totalPrgBar->setObjectName("totalPrgBar");
  totalPrgBar->setGeometry(10, 56, 298, 24);
  totalPrgBar->setRange(0, 100);
  fileLabel = new TElidedLabel(this);
  fileLabel->setObjectName("fileLabel");
  fileLabel->setGeometry(10, 98, 298, 22);
  curPrgbar = new QProgressBar(this);
  curPrgbar->setObjectName("curPrgbar");
  curPrgbar->setGeometry(10, 124, 298, 24);
  moreLabel = new QLabel(this);
  moreLabel->setObjectName("moreLabel");
  moreLabel->hide();

  auto first = std::make_unique<TRunSlot>();
  first->Sink = MP3Out.get();
  first->Label = fileLabel;
  first->Bar = curPrgbar;
  TRunSlot& slot = *first;
  slots_.push_back(std::move(first));
  ApplyProgressWindowDesign(*MP3Out);
  lastBitRate_ = MP3Out->BitRate;
  MP3Out->OnDone = [this, &slot](TComponent*) { NoteEnded(slot, std::nullopt); };
  MP3Out->OnThreadException = [this, &slot](TComponent*, const Exception& e) { OnSinkException(slot, e); };

  hideBtn = new QPushButton(Q(StrHideToTray), this);
  hideBtn->setObjectName("hideBtn");
  hideBtn->setGeometry(10, 186, 116, 30);
  pauseBtn = new QPushButton(Q(StrPause), this);
  pauseBtn->setObjectName("pauseBtn");
  pauseBtn->setGeometry(134, 186, 83, 30);
  cancelBtn = new QPushButton(Q(StrCancel), this);
  cancelBtn->setObjectName("cancelBtn");
  cancelBtn->setGeometry(225, 186, 83, 30);
  for (QPushButton* button : {hideBtn, pauseBtn, cancelBtn}) button->setAutoDefault(false);
  connect(hideBtn, &QPushButton::clicked, this, [this] { HideToTray(); });
  connect(pauseBtn, &QPushButton::clicked, this, [this] { PauseClick(); });
  connect(cancelBtn, &QPushButton::clicked, this, [this] { CancelClick(); });

  TrayIcon = new QSystemTrayIcon(TrayPicture(), this);
  // Any click on the icon brings the windows back, whichever button it was.
  connect(TrayIcon, &QSystemTrayIcon::activated, this,
          [this](QSystemTrayIcon::ActivationReason) { TrayClick(); });
  TrayAvailable = [] { return QSystemTrayIcon::isSystemTrayAvailable(); };
  OpenInput = [](TDX9In& input) { input.OpenSource(); };

  Timer1 = new QTimer(this);
  Timer1->setInterval(kTimerMs);
  Timer1->setSingleShot(true);
  connect(Timer1, &QTimer::timeout, this, [this] { NextTaskStep(); });
  Timer2 = new QTimer(this);
  Timer2->setInterval(kTimerMs);
  connect(Timer2, &QTimer::timeout, this, [this] { RefreshProgress(); });
  endTimer_ = new QTimer(this);
  endTimer_->setInterval(0);
  endTimer_->setSingleShot(true);
  connect(endTimer_, &QTimer::timeout, this, [this] { HandleEndedTasks(); });
  openedTimer_ = new QTimer(this);
  openedTimer_->setInterval(0);
  openedTimer_->setSingleShot(true);
  connect(openedTimer_, &QTimer::timeout, this, [this] { HandleOpenedInputs(); });

  if (!prgFrm) prgFrm = this;
}

TprgFrm::~TprgFrm() {
  if (prgFrm == this) prgFrm = nullptr;
  // A failure or an opening handed over now is dropped, so its thread can end.
  abandonCalls_ = true;
  uiCalls_->Cancel(this);
  for (auto& slot : slots_) slot->Opening.reset();
  // The sinks end first (a run in progress is finalised), then the inputs they read from.
  for (auto& slot : slots_) slot->OwnSink.reset();
  MP3Out.reset();
  for (auto& slot : slots_) slot->CurrentInput.reset();
  if (runLoop_) runLoop_->quit();
}

void TprgFrm::showEvent(QShowEvent* event) {
  setWindowTitle(Q(StrConversionProgress));
  hideBtn->setText(Q(StrHideToTray));
  if (QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen()) {
    const QRect area = screen->availableGeometry();
    move(area.center() - QPoint(width() / 2, height() / 2));
  }
  QDialog::showEvent(event);
}

void TprgFrm::reject() { CancelClick(); }

void TprgFrm::RunConversion() {
  if (running_) return;
  int32_t count = 0;
  int64_t total = 0;
  std::vector<TRunTask> checked;
  for (size_t index = 0; index < Tasks.size(); ++index) {
    const TTaskRecord& task = *Tasks[index];
    if (!task.Checked) continue;
    if (!SourceExists(task.SourceFile)) ShowMessageBox(mkError, kCannotOpenDevice, StrHelp, StrOK);
    ++count;
    total += task.Duration;
    checked.push_back({int32_t(index), task.OutputFile});
  }
  if (count == 0) {
    ShowMessageBox(mkQuestion, std::string(StrNoTaskChecked) + "\n " + StrNothingToConvert, StrHelp, StrOK);
    return;
  }
  const int32_t cores = ParallelTaskCount(DefaultSettings.ParallelTasks);
  try {
    PrepareSlots(std::min(cores, count));
  } catch (const std::system_error& e) {
    ShowMessageBox(mkError, NoThreadMessage(e.code().message()), StrHelp, StrOK);
    return;
  }
  // Outputs are compared now, as the files and folders stand at Start.
  schedule_ = std::make_unique<TRunSchedule>(checked, int32_t(slots_.size()), cores);
  timeLabel->setText(Q(StrPleaseWait) + "...");
  for (auto& slot : slots_) {
    slot->Label->SetFullText(QString());
    slot->Bar->setValue(0);
  }
  totalPrgBar->setValue(0);
  Timer1->start();
  TotalDuration = total;
  CheckedCount = count;
  DoneDuration = 0;
  cancelBtn->setText(Q(StrCancel));
  pauseBtn->setText(Q(StrPause));
  pauseBtn->setEnabled(true);
  TaskIndex = -1;
  CancelFlag = false;
  PauseFlag = false;
  finishedTasks_ = 0;
  failedTasks_ = 0;
  partialTasks_ = 0;
  ended_.clear();
  failureMessages_.clear();
  running_ = true;

  // A finished window still shown from the tray, or a minimised one, opens anew as the run's window.
  if (isVisible()) hide();
  setWindowState(windowState() & ~Qt::WindowMinimized);
  setWindowModality(Qt::ApplicationModal);
  show();
  raise();
  activateWindow();
  // The run's own modal loop: hiding the window to the tray must not end it, as exec() would.
  QEventLoop loop;
  runLoop_ = &loop;
  loop.exec(QEventLoop::DialogExec);
  runLoop_ = nullptr;
}

void TprgFrm::PrepareSlots(int count) {
  count = std::max(1, count);
  // Sinks beyond this run's count go: no idle worker waits for tasks that will not come.
  while (int(slots_.size()) > count) {
    std::unique_ptr<TRunSlot> slot = std::move(slots_.back());
    slots_.pop_back();
    slot->OwnSink.reset();
    slot->CurrentInput.reset();
    slot->Label->hide();
    slot->Bar->hide();
    slot->Label->deleteLater();
    slot->Bar->deleteLater();
  }
  while (int(slots_.size()) < count) {
    auto slot = std::make_unique<TRunSlot>();
    slot->Index = int32_t(slots_.size());
    const QString number = QString::number(slots_.size() + 1);
    slot->OwnSink = std::make_unique<TMP3Out>();  // the encoder library is already loaded: only counted
    slot->Sink = slot->OwnSink.get();
    ApplyProgressWindowDesign(*slot->Sink);
    TRunSlot& ref = *slot;
    slot->Sink->OnDone = [this, &ref](TComponent*) { NoteEnded(ref, std::nullopt); };
    slot->Sink->OnThreadException = [this, &ref](TComponent*, const Exception& e) {
      OnSinkException(ref, e);
    };
    slot->Label = new TElidedLabel(this);
    slot->Label->setObjectName("fileLabel" + number);
    slot->Bar = new QProgressBar(this);
    slot->Bar->setObjectName("curPrgbar" + number);
    slots_.push_back(std::move(slot));
  }

  int maxHeight = kProgressHeight;
  if (QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen()) {
    // The frame's title bar takes its share of the screen too.
    const int frame = std::max(0, frameGeometry().height() - geometry().height());
    maxHeight = screen->availableGeometry().height() - std::max(frame, 32);
  }
  const TProgressLayout layout = LayoutForRows(count, maxHeight);
  visibleRows_ = layout.VisibleRows;
  for (int row = 0; row < count; ++row) {
    TRunSlot& slot = *slots_[row];
    slot.Label->setGeometry(10, layout.LabelTop(row), 298, 22);
    slot.Bar->setGeometry(10, layout.BarTop(row), 298, 24);
    slot.Label->setVisible(row < visibleRows_);
    slot.Bar->setVisible(row < visibleRows_);
  }
  moreLabel->setGeometry(10, layout.MoreLineTop(), 298, 22);
  moreLabel->setVisible(layout.MoreLine);
  moreLabel->clear();
  for (QPushButton* button : {hideBtn, pauseBtn, cancelBtn}) button->move(button->x(), layout.ButtonsTop());
  setFixedSize(kProgressWidth, layout.Height);
}

int32_t TprgFrm::TaskOf(const TRunSlot& slot) const { return schedule_ ? schedule_->TaskIn(slot.Index) : -1; }

bool TprgFrm::AnyTaskRunning() const { return schedule_ && schedule_->RunningCount() > 0; }

std::vector<TMP3Out*> TprgFrm::RunningSinks() const {
  std::vector<TMP3Out*> sinks;
  for (const auto& slot : slots_)
    if (TaskOf(*slot) >= 0 && slot->CurrentInput) sinks.push_back(slot->Sink);
  return sinks;
}

const TCoreBudget* TprgFrm::CoreBudget() const { return schedule_ ? &schedule_->Cores() : nullptr; }

void TprgFrm::UpdateMoreLine() {
  if (!moreLabel->isVisible()) return;
  int hidden = 0;
  for (size_t row = size_t(visibleRows_); row < slots_.size(); ++row) hidden += TaskOf(*slots_[row]) >= 0;
  moreLabel->setText(hidden > 0 ? MoreRunningText(hidden) : QString());
}

void TprgFrm::NextTaskStep() {
  Timer1->stop();
  // The cancel question is open: its answer decides whether the run goes on.
  if (askingCancel_) {
    stepDeferred_ = true;
    return;
  }
  // Every free slot takes the next task the schedule lets run: list order, one writer per output.
  while (!CancelFlag && schedule_) {
    const auto start = schedule_->StartNext();
    if (!start) break;
    if (TaskIndex < 0) {
      StartedCount = 0;
      RunStartTime = QDateTime::currentDateTimeUtc();
    }
    TaskIndex = start->TaskIndex;
    ++StartedCount;
    StartNextTask(*slots_[size_t(start->Slot)]);
  }
  UpdateMoreLine();
  // The run ends once nothing converts any more; a message still open or queued ends it when it closes.
  if (!AnyTaskRunning() && ended_.empty() && !showingFailure_ && failureMessages_.empty()) EndConversionRun();
}

void TprgFrm::StartNextTask(TRunSlot& slot) {
  // PauseFlag is kept: a pause asked for between two tasks holds the next one too.
  CancelFlag = false;
  const bool alone = schedule_->RunningCount() == 1;
  const TTaskRecord& task = *Tasks[size_t(TaskOf(slot))];
  TMP3Out& sink = *slot.Sink;
  // A bitrate outside the table keeps the previous task's, whichever sink converted it.
  sink.BitRate = lastBitRate_;
  ApplyTaskToMP3Out(sink, task);
  lastBitRate_ = sink.BitRate;
  // One task at a time is one encoder, as it always was; with more, the sinks share the run's cores.
  TCoreBudget& cores = schedule_->Cores();
  sink.Cores = cores.Cores() > 1 ? &cores : nullptr;
  if (alone) timeLabel->setText(Q(StrPleaseWait) + " ...");
  slot.Label->SetFullText(Q(StrCurrentFile) + QString("(%1/%2): %3")
                                                  .arg(QString::number(StartedCount),
                                                       QString::number(CheckedCount),
                                                       QString::fromStdString(task.Title.str())));
  slot.Bar->setValue(0);
  // A task of unknown length (0) shows a busy bar.
  slot.Bar->setMaximum(CurrentBarValue(task.Duration));
  // A folder tree's subfolders under the output folder are made when their first file is converted.
  int folderError = 0;
  if (const std::string cannotCreate = CreateOutputFolders(task.OutputFile, folderError);
      !cannotCreate.empty()) {
    NoteEnded(slot, DescribeFailure(ESndException(cannotCreate, TSndFailure::CannotCreate, folderError),
                                    TRunStage::Opening));
    return;
  }
  BeginOpening(slot);
}

void TprgFrm::BeginOpening(TRunSlot& slot) {
  const TTaskRecord& task = *Tasks[size_t(TaskOf(slot))];
  slot.Opened = false;
  try {
    // Opened before the output starts, so that the duration and position can be read from the start.
    slot.Opening =
        std::make_unique<TInputOpening>(task.SourceFile, OpenInput, [this, &slot] { InputOpened(slot); });
  } catch (const std::system_error& e) {
    EndRunWithoutThread(slot, e);
  }
}

void TprgFrm::InputOpened(TRunSlot& slot) {
  uiCalls_->Call(
      [this, &slot] {
        slot.Opened = true;
        openedTimer_->start();
      },
      this, abandonCalls_);
}

void TprgFrm::HandleOpenedInputs() {
  if (askingCancel_) {
    openDeferred_ = true;
    return;
  }
  for (auto& slot : slots_)
    if (slot->Opening && slot->Opened) FinishOpening(*slot);
}

void TprgFrm::FinishOpening(TRunSlot& slot) {
  std::unique_ptr<TDX9In> input = slot.Opening->TakeInput();
  const std::optional<TRunFailure> failure = slot.Opening->Failure();
  slot.Opening.reset();  // its thread has handed over and ends
  slot.Opened = false;
  if (CancelFlag) {
    // Cancelled while it opened: the task ends here, before it wrote anything.
    input.reset();
    ReleaseSlot(slot);
    Timer1->start();
    return;
  }
  if (!input) {
    NoteEnded(slot, failure);
    return;
  }
  TMP3Out& sink = *slot.Sink;
  slot.CurrentInput = std::move(input);
  sink.SetInput(slot.CurrentInput.get());
  Timer2->start();
  try {
    // A failure while the output is prepared arrives through OnThreadException, on this thread.
    sink.Start();
  } catch (const Exception& e) {
    NoteEnded(slot, DescribeFailure(e, TRunStage::Starting));
    return;
  }
  if (PauseFlag && sink.Busy.load()) {
    sink.Pause();
    Timer2->stop();
  }
  UpdateMoreLine();
}

void TprgFrm::NoteEnded(TRunSlot& slot, std::optional<TRunFailure> failure) {
  ended_.push_back({&slot, TaskOf(slot), std::move(failure)});
  endTimer_->start();
}

void TprgFrm::HandleEndedTasks() {
  while (!ended_.empty()) {
    const TEndedTask ended = std::move(ended_.front());
    ended_.pop_front();
    if (TaskOf(*ended.Slot) != ended.Task || ended.Task < 0) continue;
    if (ended.Failure) {
      TaskFailed(*ended.Slot, *ended.Failure);
    } else {
      TaskDone(*ended.Slot);
    }
  }
  ShowFailureMessages();
}

void TprgFrm::TaskDone(TRunSlot& slot) {
  const TAudioFileReader* reader = slot.CurrentInput ? slot.CurrentInput->Reader() : nullptr;
  DoneDuration += reader ? reader->StreamDuration() : 0;
  ++finishedTasks_;
  // A file that gave far less audio than it states is told, and counted at the end.
  const TTaskRecord& task = *Tasks[size_t(TaskOf(slot))];
  const auto notice = CancelFlag || !slot.CurrentInput
                          ? std::nullopt
                          : JudgeFinishedTask(*slot.CurrentInput, task.Duration, task.SourceFile,
                                              task.OutputFile, slot.Sink->CreatedFile());
  if (notice) ++(notice->Playable ? partialTasks_ : failedTasks_);
  ReleaseSlot(slot);
  if (TotalDuration <= 0)
    totalPrgBar->setValue(TotalPercent(TotalDuration, DoneDuration, 0, finishedTasks_, CheckedCount));
  if (notice) failureMessages_.push_back({notice->Playable ? mkWarning : mkError, notice->Text});
  // The other tasks go on behind a message; a task that ran alone lets the next one start after the answer.
  if (!notice || AnyTaskRunning()) Timer1->start();
}

void TprgFrm::ReleaseSlot(TRunSlot& slot) {
  slot.CurrentInput.reset();
  slot.Sink->Cores = nullptr;  // the sink's run has ended: the budget may go with this run
  schedule_->Ended(slot.Index);
  ShowCurrentBarFull(slot.Bar);
  if (!AnyTaskRunning()) {
    Timer2->stop();
    timeLabel->setText(Q(StrPleaseWait) + "...");
  }
}

void TprgFrm::OnSinkException(TRunSlot& slot, const Exception& e) {
  const bool onUiThread = std::this_thread::get_id() == uiCalls_->Owner();
  // Errors inside Start come on this thread; the others on the worker, which must only hand them over.
  const TRunFailure failure = DescribeFailure(e, onUiThread ? TRunStage::Starting : TRunStage::Running);
  if (onUiThread) {
    NoteEnded(slot, failure);
    return;
  }
  uiCalls_->Call([this, &slot, &failure] { NoteEnded(slot, failure); }, this, abandonCalls_);
}

void TprgFrm::TaskFailed(TRunSlot& slot, const TRunFailure& failure) {
  const TTaskRecord& task = *Tasks[size_t(TaskOf(slot))];
  // Once the sink has created the output, a task that delivered no audio leaves nothing behind.
  const bool outputCreated = failure.Stage == TRunStage::Running;
  const bool wroteAudio = slot.CurrentInput && slot.CurrentInput->Position.load() > 0;
  if (outputCreated && !wroteAudio) RemoveIfSameFile(task.OutputFile, slot.Sink->CreatedFile());
  const bool partialOutput = outputCreated && wroteAudio && IsPlainFile(task.OutputFile);
  DoneDuration += task.Duration;
  ++finishedTasks_;
  ++failedTasks_;
  ReleaseSlot(slot);
  totalPrgBar->setValue(TotalPercent(TotalDuration, DoneDuration, 0, finishedTasks_, CheckedCount));
  failureMessages_.push_back(
      {mkError, FailureMessage(failure, task.SourceFile, task.OutputFile, partialOutput)});
  // The other tasks go on behind the message; a free slot takes the next task.
  if (AnyTaskRunning()) Timer1->start();
}

void TprgFrm::EndRunWithoutThread(TRunSlot& slot, const std::system_error& error) {
  ReleaseSlot(slot);
  StopAllTasks();
  failureMessages_.push_back({mkError, NoThreadMessage(error.code().message())});
  endTimer_->start();
}

void TprgFrm::StopAllTasks() {
  if (PauseFlag) {
    for (const auto& slot : slots_) slot->Sink->Resume();
    PauseFlag = false;
    pauseBtn->setText(Q(StrPause));
  }
  // A pause now would hold the stop for ever.
  pauseBtn->setEnabled(false);
  for (const auto& slot : slots_) slot->Sink->Stop();
  CancelFlag = true;
}

void TprgFrm::ShowFailureMessages() {
  if (showingFailure_) return;  // the message loop below shows it after the one that is open
  showingFailure_ = true;
  while (!failureMessages_.empty()) {
    const auto [kind, text] = failureMessages_.front();
    failureMessages_.pop_front();
    ShowMessageBox(kind, text, StrHelp, StrOK);
  }
  showingFailure_ = false;
  Timer1->start();
}

void TprgFrm::RefreshProgress() {
  int64_t positions = 0;
  bool reading = false;
  for (const auto& slot : slots_) {
    const TAudioFileReader* reader = slot->CurrentInput ? slot->CurrentInput->Reader() : nullptr;
    if (TaskOf(*slot) < 0 || !reader) continue;
    const int64_t position = reader->StreamPosition();
    slot->Bar->setValue(std::min(CurrentBarValue(position), slot->Bar->maximum()));
    positions += position;
    reading = true;
  }
  if (!reading) return;
  totalPrgBar->setValue(TotalPercent(TotalDuration, DoneDuration, positions, finishedTasks_, CheckedCount));
  if (const auto text = RunTimeText(RunStartTime, QDateTime::currentDateTimeUtc(), DoneDuration + positions,
                                    TotalDuration - DoneDuration - positions, QLocale::system())) {
    timeLabel->setText(*text);
  }
  UpdateMoreLine();
  if (TrayIcon->isVisible()) TrayIcon->setToolTip(timeLabel->text() + "\n" + Q(StrTrayHint));
}

void TprgFrm::PauseClick() {
  if (!running_) return;
  // Pause only asks each sink to halt after its current step: the window never waits for one.
  if (!PauseFlag) {
    pauseBtn->setText(Q(StrResume));
    for (const auto& slot : slots_) slot->Sink->Pause();
    Timer2->stop();
    PauseFlag = true;
  } else {
    pauseBtn->setText(Q(StrPause));
    for (const auto& slot : slots_) slot->Sink->Resume();
    if (!RunningSinks().empty()) Timer2->start();
    PauseFlag = false;
  }
}

void TprgFrm::CancelClick() {
  // "&OK" after a completed run, and a finished run whatever the caption: the button closes the window.
  if (cancelBtn->text() != Q(StrCancel) || !running_) {
    hide();
    return;
  }
  if (askingCancel_) return;
  askingCancel_ = true;
  const int answer = ShowMessageBox(mkQuestion, StrAskCancel, StrNo, StrYes);
  askingCancel_ = false;
  if (answer == 1 && running_) StopAllTasks();
  if (stepDeferred_) {
    stepDeferred_ = false;
    Timer1->start();
  }
  if (openDeferred_) {
    openDeferred_ = false;
    openedTimer_->start();
  }
}

void TprgFrm::HideToTray() {
  if (TrayAvailable && TrayAvailable()) {
    TrayIcon->setToolTip(Q(StrTrayHint));
    TrayIcon->show();
    hide();
    if (mainWindow_) mainWindow_->hide();
    return;
  }
  // No notification area: an icon could never be clicked, so the windows are minimised instead, and
  // restoring either brings back both.
  MinimiseTogether(this, mainWindow_);
}

void TprgFrm::TrayClick() {
  if (mainWindow_) mainWindow_->show();
  show();
  raise();
  activateWindow();
  // A message that came while hidden stays above the window it belongs to.
  if (QWidget* modal = QApplication::activeModalWidget(); modal && modal != this) modal->raise();
  TrayIcon->hide();
}

void TprgFrm::EndConversionRun() {
  Timer2->stop();
  // Minimised without a tray, the outcome would go unseen: the windows come back to show it.
  RestoreMinimisedTogether(this);
  totalPrgBar->setValue(totalPrgBar->maximum());
  totalPrgBar->repaint();
  const std::string text =
      RunOutcomeText(CancelFlag, failedTasks_, CheckedCount, partialTasks_) + "\n" + StrAskOpenFolder;
  if (ShowMessageBox(mkInformation, text, StrNo, StrYes) == 1) ShellOpen(DefaultSettings.OutputFileDir);
  if (!CancelFlag) {
    pauseBtn->setEnabled(false);
    cancelBtn->setText(Q(StrOK));
  }
  running_ = false;
  hide();
  if (runLoop_) runLoop_->quit();
}
