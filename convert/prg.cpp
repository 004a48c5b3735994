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
#include "convert/RunProgress.h"
#include "convert/TaskSettings.h"
#include "convert/TrayPicture.h"
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

// "The file exists" as the run means it: something that is not a folder (a folder is no source).
bool SourceExists(const std::string& path) {
  struct stat info {};
  return stat(path.c_str(), &info) == 0 && !S_ISDIR(info.st_mode);
}

// A named pipe or socket as output would block the window in open() for ever.
bool IsPipeOrSocket(const std::string& path) {
  struct stat info {};
  return stat(path.c_str(), &info) == 0 && (S_ISFIFO(info.st_mode) || S_ISSOCK(info.st_mode));
}

// Removes the output of a task that wrote no audio; only a plain file, never a device or a link.
void RemoveEmptyOutput(const std::string& path) {
  struct stat info {};
  if (!path.empty() && lstat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode)) unlink(path.c_str());
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
  setFixedSize(318, 230);
  setModal(true);
  // Closing this window while the main window is hidden must not end the program.
  setAttribute(Qt::WA_QuitOnClose, false);

  MP3Out = std::make_unique<TMP3Out>();  // raises when the encoder library is missing
  ApplyProgressWindowDesign(*MP3Out);
  MP3Out->OnDone = [this](TComponent*) { TaskDone(); };
  MP3Out->OnThreadException = [this](TComponent*, const Exception& e) { OnSinkException(e); };

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
  connect(failureTimer_, &QTimer::timeout, this, [this] { TaskFailed(); });

  if (!prgFrm) prgFrm = this;
}

TprgFrm::~TprgFrm() {
  if (prgFrm == this) prgFrm = nullptr;
  // A failure the worker is handing over now is dropped, so the worker can end.
  abandonCalls_ = true;
  uiCalls_->Cancel(this);
  MP3Out.reset();  // ends the worker; a run in progress is finalised
  CurrentInput.reset();
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
  timeLabel->setText(Q(StrPleaseWait) + "...");
  fileLabel->SetFullText(QString());
  totalPrgBar->setValue(0);
  curPrgbar->setValue(0);
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
  failure_.reset();
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

void TprgFrm::NextTaskStep() {
  Timer1->stop();
  // The cancel question is open: its answer decides whether the run goes on.
  if (askingCancel_) {
    stepDeferred_ = true;
    return;
  }
  if (CancelFlag) {
    EndConversionRun();
    return;
  }
  ++TaskIndex;
  if (TaskIndex == 0) {
    StartedCount = 0;
    RunStartTime = QDateTime::currentDateTimeUtc();
  }
  const int32_t count = int32_t(Tasks.size());
  while (TaskIndex < count && !Tasks[TaskIndex]->Checked) ++TaskIndex;
  if (TaskIndex >= count) {
    EndConversionRun();
    return;
  }
  ++StartedCount;
  StartNextTask();
}

void TprgFrm::StartNextTask() {
  // PauseFlag is kept: a pause asked for between two tasks holds the next one too.
  CancelFlag = false;
  const TTaskRecord& task = *Tasks[TaskIndex];
  ApplyTaskToMP3Out(*MP3Out, task);
  timeLabel->setText(Q(StrPleaseWait) + " ...");
  fileLabel->SetFullText(Q(StrCurrentFile) + QString("(%1/%2): %3")
                                                 .arg(QString::number(StartedCount),
                                                      QString::number(CheckedCount),
                                                      QString::fromStdString(task.Title.str())));
  curPrgbar->setValue(0);
  // A task of unknown length (0) shows a busy bar.
  curPrgbar->setMaximum(CurrentBarValue(task.Duration));

  CurrentInput = std::make_unique<TDX9In>();
  CurrentInput->FileName = task.SourceFile;
  MP3Out->SetInput(CurrentInput.get());
  try {
    // Opened here, so that the duration and position can be read from the start.
    CurrentInput->OpenSource();
  } catch (const Exception& e) {
    NoteFailure(DescribeFailure(e, TRunStage::Opening));
    return;
  }
  if (IsPipeOrSocket(task.OutputFile)) {
    NoteFailure(DescribeFailure(
        ESndException("Cannot create file \"" + task.OutputFile + "\". It is a pipe or a socket, not a file",
                      TSndFailure::CannotCreate),
        TRunStage::Starting));
    return;
  }
  Timer2->start();
  try {
    // A failure while the output is prepared arrives through OnThreadException, on this thread.
    MP3Out->Start();
  } catch (const Exception& e) {
    NoteFailure(DescribeFailure(e, TRunStage::Starting));
    return;
  }
  if (PauseFlag && MP3Out->Busy.load()) {
    MP3Out->Pause();
    Timer2->stop();
  }
}

void TprgFrm::TaskDone() {
  Timer2->stop();
  const TAudioFileReader* reader = CurrentInput ? CurrentInput->Reader() : nullptr;
  DoneDuration += reader ? reader->StreamDuration() : 0;
  ++finishedTasks_;
  CurrentInput.reset();
  Timer1->start();
  ShowCurrentBarFull(curPrgbar);
  timeLabel->setText(Q(StrPleaseWait) + "...");
  if (TotalDuration <= 0)
    totalPrgBar->setValue(TotalPercent(TotalDuration, DoneDuration, 0, finishedTasks_, CheckedCount));
}

void TprgFrm::OnSinkException(const Exception& e) {
  const bool onUiThread = std::this_thread::get_id() == uiCalls_->Owner();
  // Errors inside Start come on this thread; the others on the worker, which must only hand them over.
  const TRunFailure failure = DescribeFailure(e, onUiThread ? TRunStage::Starting : TRunStage::Running);
  if (onUiThread) {
    NoteFailure(failure);
    return;
  }
  uiCalls_->Call([this, &failure] { NoteFailure(failure); }, this, abandonCalls_);
}

void TprgFrm::NoteFailure(const TRunFailure& failure) {
  failure_ = failure;
  failureTimer_->start();
}

void TprgFrm::TaskFailed() {
  if (!failure_) return;
  const TRunFailure failure = *failure_;
  failure_.reset();
  Timer2->stop();
  const TTaskRecord& task = *Tasks[TaskIndex];
  // Once the sink has created the output, a task that delivered no audio leaves nothing behind.
  const bool outputCreated = failure.Stage == TRunStage::Running;
  const bool wroteAudio = CurrentInput && CurrentInput->Position.load() > 0;
  if (outputCreated && !wroteAudio) RemoveEmptyOutput(task.OutputFile);
  const bool partialOutput = outputCreated && wroteAudio && IsPlainFile(task.OutputFile);
  DoneDuration += task.Duration;
  ++finishedTasks_;
  ++failedTasks_;
  CurrentInput.reset();
  ShowCurrentBarFull(curPrgbar);
  timeLabel->setText(Q(StrPleaseWait) + "...");
  totalPrgBar->setValue(TotalPercent(TotalDuration, DoneDuration, 0, finishedTasks_, CheckedCount));
  ShowMessageBox(mkError, FailureMessage(failure, task.SourceFile, task.OutputFile, partialOutput), StrHelp,
                 StrOK);
  Timer1->start();
}

void TprgFrm::RefreshProgress() {
  const TAudioFileReader* reader = CurrentInput ? CurrentInput->Reader() : nullptr;
  if (!reader) return;
  const int64_t position = reader->StreamPosition();
  curPrgbar->setValue(std::min(CurrentBarValue(position), curPrgbar->maximum()));
  totalPrgBar->setValue(TotalPercent(TotalDuration, DoneDuration, position, finishedTasks_, CheckedCount));
  if (const auto text = RunTimeText(RunStartTime, QDateTime::currentDateTimeUtc(), DoneDuration + position,
                                    TotalDuration - DoneDuration - position, QLocale::system())) {
    timeLabel->setText(*text);
  }
  if (TrayIcon->isVisible()) TrayIcon->setToolTip(timeLabel->text() + "\n" + Q(StrTrayHint));
}

void TprgFrm::PauseClick() {
  if (!running_) return;
  if (!PauseFlag) {
    pauseBtn->setText(Q(StrResume));
    MP3Out->Pause();
    Timer2->stop();
    PauseFlag = true;
  } else {
    pauseBtn->setText(Q(StrPause));
    MP3Out->Resume();
    if (MP3Out->Busy.load()) Timer2->start();
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
      MP3Out->Resume();
      PauseFlag = false;
      pauseBtn->setText(Q(StrPause));
    }
    // A pause now would hold the stop for ever.
    pauseBtn->setEnabled(false);
    MP3Out->Stop();
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
  const std::string text = RunOutcomeText(CancelFlag, failedTasks_, CheckedCount) + "\n" + StrAskOpenFolder;
  if (ShowMessageBox(mkInformation, text, StrNo, StrYes) == 1) ShellOpen(DefaultSettings.OutputFileDir);
  if (!CancelFlag) {
    pauseBtn->setEnabled(false);
    cancelBtn->setText(Q(StrOK));
  }
  running_ = false;
  hide();
  if (runLoop_) runLoop_->quit();
}
