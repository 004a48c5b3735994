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

#include "audio/MainThreadCall.h"
#include "audio/Snd_DX9.h"
#include "audio/Snd_LAME.h"
#include "convert/ElidedLabel.h"
#include "convert/MinimisedPair.h"
#include "convert/ProgressDesign.h"
#include "convert/ProgressLayout.h"
#include "convert/RunProgress.h"
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
  MP3Out->OnDone = [this, &slot](TComponent*) { TaskDone(slot); };
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

  Timer1 = new QTimer(this);
  Timer1->setInterval(kTimerMs);
  Timer1->setSingleShot(true);
  connect(Timer1, &QTimer::timeout, this, [this] { NextTaskStep(); });
  Timer2 = new QTimer(this);
  Timer2->setInterval(kTimerMs);
  connect(Timer2, &QTimer::timeout, this, [this] { RefreshProgress(); });
  failureTimer_ = new QTimer(this);
  failureTimer_->setInterval(0);
  failureTimer_->setSingleShot(true);
  connect(failureTimer_, &QTimer::timeout, this, [this] { HandleFailures(); });

  if (!prgFrm) prgFrm = this;
}

TprgFrm::~TprgFrm() {
  if (prgFrm == this) prgFrm = nullptr;
  // A failure the worker is handing over now is dropped, so the worker can end.
  abandonCalls_ = true;
  uiCalls_->Cancel(this);
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
  for (const auto& task : Tasks) {
    if (!task->Checked) continue;
    if (!SourceExists(task->SourceFile)) ShowMessageBox(mkError, kCannotOpenDevice, StrHelp, StrOK);
    ++count;
    total += task->Duration;
  }
  if (count == 0) {
    ShowMessageBox(mkQuestion, std::string(StrNoTaskChecked) + "\n " + StrNothingToConvert, StrHelp, StrOK);
    return;
  }
  PrepareSlots(std::min(ParallelTaskCount(DefaultSettings.ParallelTasks), count));
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
  failures_.clear();
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
    const QString number = QString::number(slots_.size() + 1);
    slot->OwnSink = std::make_unique<TMP3Out>();  // the encoder library is already loaded: only counted
    slot->Sink = slot->OwnSink.get();
    ApplyProgressWindowDesign(*slot->Sink);
    TRunSlot& ref = *slot;
    slot->Sink->OnDone = [this, &ref](TComponent*) { TaskDone(ref); };
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

TRunSlot* TprgFrm::FreeSlot() const {
  for (const auto& slot : slots_)
    if (slot->TaskIndex < 0) return slot.get();
  return nullptr;
}

bool TprgFrm::AnyTaskRunning() const {
  return std::any_of(slots_.begin(), slots_.end(), [](const auto& slot) { return slot->TaskIndex >= 0; });
}

std::vector<TMP3Out*> TprgFrm::RunningSinks() const {
  std::vector<TMP3Out*> sinks;
  for (const auto& slot : slots_)
    if (slot->TaskIndex >= 0) sinks.push_back(slot->Sink);
  return sinks;
}

void TprgFrm::UpdateMoreLine() {
  if (!moreLabel->isVisible()) return;
  int hidden = 0;
  for (size_t row = size_t(visibleRows_); row < slots_.size(); ++row) hidden += slots_[row]->TaskIndex >= 0;
  moreLabel->setText(hidden > 0 ? MoreRunningText(hidden) : QString());
}

void TprgFrm::NextTaskStep() {
  Timer1->stop();
  // The cancel question is open: its answer decides whether the run goes on.
  if (askingCancel_) {
    stepDeferred_ = true;
    return;
  }
  const int32_t count = int32_t(Tasks.size());
  // Every free slot takes the next checked task in list order.
  while (!CancelFlag && TaskIndex < count) {
    TRunSlot* slot = FreeSlot();
    if (!slot) break;
    ++TaskIndex;
    if (TaskIndex == 0) {
      StartedCount = 0;
      RunStartTime = QDateTime::currentDateTimeUtc();
    }
    while (TaskIndex < count && !Tasks[TaskIndex]->Checked) ++TaskIndex;
    if (TaskIndex >= count) break;
    ++StartedCount;
    StartNextTask(*slot);
  }
  UpdateMoreLine();
  // The run ends once nothing converts any more; a message still open or queued ends it when it closes.
  if (!AnyTaskRunning() && !showingFailure_ && failureMessages_.empty()) EndConversionRun();
}

void TprgFrm::StartNextTask(TRunSlot& slot) {
  // PauseFlag is kept: a pause asked for between two tasks holds the next one too.
  CancelFlag = false;
  const bool alone = !AnyTaskRunning();
  slot.TaskIndex = TaskIndex;
  const TTaskRecord& task = *Tasks[TaskIndex];
  TMP3Out& sink = *slot.Sink;
  // A bitrate outside the table keeps the previous task's, whichever sink converted it.
  sink.BitRate = lastBitRate_;
  ApplyTaskToMP3Out(sink, task);
  lastBitRate_ = sink.BitRate;
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
    NoteFailure(slot, DescribeFailure(ESndException(cannotCreate, TSndFailure::CannotCreate, folderError),
                                      TRunStage::Opening));
    return;
  }
  slot.CurrentInput = std::make_unique<TDX9In>();
  slot.CurrentInput->FileName = task.SourceFile;
  sink.SetInput(slot.CurrentInput.get());
  try {
    // Opened here, so that the duration and position can be read from the start.
    slot.CurrentInput->OpenSource();
  } catch (const Exception& e) {
    NoteFailure(slot, DescribeFailure(e, TRunStage::Opening));
    return;
  }
  Timer2->start();
  try {
    // A failure while the output is prepared arrives through OnThreadException, on this thread.
    sink.Start();
  } catch (const Exception& e) {
    NoteFailure(slot, DescribeFailure(e, TRunStage::Starting));
    return;
  }
  if (PauseFlag && sink.Busy.load()) {
    sink.Pause();
    Timer2->stop();
  }
}

void TprgFrm::TaskDone(TRunSlot& slot) {
  const TAudioFileReader* reader = slot.CurrentInput ? slot.CurrentInput->Reader() : nullptr;
  DoneDuration += reader ? reader->StreamDuration() : 0;
  ++finishedTasks_;
  // A file that gave far less audio than it states is told, and counted at the end.
  const TTaskRecord& task = *Tasks[slot.TaskIndex];
  const auto notice = CancelFlag || !slot.CurrentInput
                          ? std::nullopt
                          : JudgeFinishedTask(*slot.CurrentInput, task.Duration, task.SourceFile,
                                              task.OutputFile, slot.Sink->CreatedFile());
  if (notice) ++(notice->Playable ? partialTasks_ : failedTasks_);
  ReleaseSlot(slot);
  if (TotalDuration <= 0)
    totalPrgBar->setValue(TotalPercent(TotalDuration, DoneDuration, 0, finishedTasks_, CheckedCount));
  if (!notice) {
    Timer1->start();
    return;
  }
  // Shown once the sink's worker has been let go, as a failure's message is: the other tasks go on
  // behind it, and a task that ran alone lets the next one start after the answer.
  failureMessages_.push_back({notice->Playable ? mkWarning : mkError, notice->Text});
  if (AnyTaskRunning()) Timer1->start();
  failureTimer_->start();
}

void TprgFrm::ReleaseSlot(TRunSlot& slot) {
  slot.CurrentInput.reset();
  slot.TaskIndex = -1;
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
    NoteFailure(slot, failure);
    return;
  }
  uiCalls_->Call([this, &slot, &failure] { NoteFailure(slot, failure); }, this, abandonCalls_);
}

void TprgFrm::NoteFailure(TRunSlot& slot, const TRunFailure& failure) {
  failures_.emplace_back(&slot, failure);
  failureTimer_->start();
}

void TprgFrm::HandleFailures() {
  while (!failures_.empty()) {
    const auto [slot, failure] = failures_.front();
    failures_.pop_front();
    TaskFailed(*slot, failure);
  }
  ShowFailureMessages();
}

void TprgFrm::TaskFailed(TRunSlot& slot, const TRunFailure& failure) {
  if (slot.TaskIndex < 0) return;
  const TTaskRecord& task = *Tasks[slot.TaskIndex];
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
    if (slot->TaskIndex < 0 || !reader) continue;
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
  if (answer == 1 && running_) {
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
  if (stepDeferred_) {
    stepDeferred_ = false;
    Timer1->start();
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
