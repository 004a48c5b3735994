#include "convert/prg.h"

#include <sys/stat.h>
#include <unistd.h>

#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QGuiApplication>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QSystemTrayIcon>
#include <QTimer>
#include <algorithm>

#include "audio/Snd_DX9.h"
#include "audio/Snd_LAME.h"
#include "convert/ElidedLabel.h"
#include "convert/MinimisedPair.h"
#include "convert/ProgressLayout.h"
#include "convert/TrayPicture.h"
#include "core/Settings.h"
#include "core/TaskList.h"
#include "run/BackgroundStep.h"
#include "run/RunEngine.h"
#include "run/RunProgress.h"
#include "ui/RunReport.h"
#include "ui/ShellOpen.h"
#include "ui/lang.h"
#include "ui/msgbox.h"

TprgFrm* prgFrm = nullptr;

namespace {

constexpr int kTimerMs = 100;
// The system's text for error 110, shown for a checked task whose source is gone.
constexpr const char* kCannotOpenDevice = "The system cannot open the device or file specified.";

QString Q(const char* text) { return QString::fromUtf8(text); }

// Where the end report proposes to save its list, in the output folder.
constexpr const char* kReportFileName = "Tolvane report.txt";
// A file the run did not reach: it was cancelled first.
constexpr const char* kNotConverted = "Not converted: the conversion was canceled before it.";

// The line under the visible file lines when more tasks run than fit.
QString MoreRunningText(int count) { return QString("... and %1 more converting").arg(count); }

// "The file exists" as the run means it: something that is not a folder (a folder is no source).
bool SourceExists(const std::string& path) {
  struct stat info {};
  return stat(path.c_str(), &info) == 0 && !S_ISDIR(info.st_mode);
}

// The checked tasks whose sources are gone, looked at on a thread of their own: a dead network share
// must not freeze the windows. They go on answering meanwhile, but take no input.
std::vector<std::string> MissingSources(const std::vector<TEngineTask>& tasks) {
  std::vector<std::string> sources, missing;
  for (const TEngineTask& task : tasks) sources.push_back(task.Task.SourceFile);
  // The step's end is told on this thread, from the event loop.
  bool done = false;
  QEventLoop loop;
  {
    TBackgroundStep step(
        [&] {
          for (const std::string& source : sources)
            if (!SourceExists(source)) missing.push_back(source);
        },
        [&] {
          done = true;
          loop.quit();
        });
    if (!done) loop.exec(QEventLoop::ExcludeUserInputEvents);
  }
  return missing;
}

// A finished task shows its bar full; one of unknown length leaves its busy look for a full bar.
void ShowCurrentBarFull(QProgressBar* bar) {
  if (bar->maximum() == 0) bar->setMaximum(1);
  bar->setValue(bar->maximum());
}

}  // namespace

TprgFrm::TprgFrm(QWidget* parent) : QDialog(parent) {
  setObjectName("prgFrm");
  setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                 Qt::WindowStaysOnTopHint);
  setFixedSize(kProgressWidth, kProgressHeight);
  setModal(true);
  // Closing this window while the main window is hidden must not end the program.
  setAttribute(Qt::WA_QuitOnClose, false);

  engine_ = std::make_unique<TRunEngine>();  // raises when the encoder library is missing
  MP3Out = &engine_->Sink(0);
  OpenInput = engine_->OpenInput;
  OutputKey = engine_->OutputKey;
  StartSink = engine_->StartSink;

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

  rows_.push_back({fileLabel, curPrgbar});

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
  connect(Timer1, &QTimer::timeout, this, [this] { PollEngine(); });
  Timer2 = new QTimer(this);
  Timer2->setInterval(kTimerMs);
  connect(Timer2, &QTimer::timeout, this, [this] { RefreshProgress(); });
  wakeTimer_ = new QTimer(this);
  wakeTimer_->setInterval(0);
  wakeTimer_->setSingleShot(true);
  connect(wakeTimer_, &QTimer::timeout, this, [this] { PollEngine(); });
  engine_->OnWake = [this] { wakeTimer_->start(); };
  engine_->OnTaskStarted = [this](int32_t slot, int32_t task) { TaskStarted(slot, task); };
  engine_->OnTaskEnded = [this](int32_t slot, const TTaskResult& result) { TaskEnded(slot, result); };

  if (!prgFrm) prgFrm = this;
}

TprgFrm::~TprgFrm() {
  if (prgFrm == this) prgFrm = nullptr;
  // The run's threads end and its sinks are finalised before the window's parts go.
  engine_.reset();
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
  if (running_ || preparing_) return;
  int32_t count = 0;
  int64_t total = 0;
  std::vector<TEngineTask> checked;
  listRows_.clear();
  for (size_t index = 0; index < Tasks.size(); ++index) {
    const TTaskRecord& task = *Tasks[index];
    if (!task.Checked) continue;
    ++count;
    total += task.Duration;
    checked.emplace_back();
    checked.back().Task = task;
    listRows_.push_back(int32_t(index));
  }
  preparing_ = true;
  const std::vector<std::string> missing = MissingSources(checked);
  preparing_ = false;
  // One missing input keeps the system's single message; more are listed in one window.
  if (missing.size() == 1) ShowMessageBox(mkError, kCannotOpenDevice, StrHelp, StrOK);
  if (missing.size() > 1) ShowMissingInputs(missing);
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
  TEngineSetup setup;
  setup.ParallelTasks = cores;
  setup.Cores = cores;
  setup.RecordSizes = false;  // the window shows no sizes
  engine_->OpenInput = OpenInput;
  engine_->OutputKey = OutputKey;
  engine_->StartSink = StartSink;
  // Returns at once: the outputs are compared, as the files and folders stand now, off this thread.
  engine_->Start(std::move(checked), setup);
  timeLabel->setText(Q(StrPleaseWait) + "...");
  for (const TRow& row : rows_) {
    row.Label->SetFullText(QString());
    row.Bar->setValue(0);
  }
  totalPrgBar->setValue(0);
  Timer1->start();
  TotalDuration = total;
  CheckedCount = count;
  cancelBtn->setText(Q(StrCancel));
  pauseBtn->setText(Q(StrPause));
  pauseBtn->setEnabled(true);
  TaskIndex = -1;
  CancelFlag = false;
  PauseFlag = false;
  failedTasks_ = 0;
  partialTasks_ = 0;
  noThreadMessage_.clear();
  running_ = true;
  ending_ = false;

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
  engine_->PrepareSlots(count);
  // Lines beyond this run's count go with their sinks.
  while (int(rows_.size()) > count) {
    const TRow row = rows_.back();
    rows_.pop_back();
    row.Label->hide();
    row.Bar->hide();
    row.Label->deleteLater();
    row.Bar->deleteLater();
  }
  while (int(rows_.size()) < count) {
    const QString number = QString::number(rows_.size() + 1);
    TRow row;
    row.Label = new TElidedLabel(this);
    row.Label->setObjectName("fileLabel" + number);
    row.Bar = new QProgressBar(this);
    row.Bar->setObjectName("curPrgbar" + number);
    rows_.push_back(row);
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
    const TRow& line = rows_[size_t(row)];
    line.Label->setGeometry(10, layout.LabelTop(row), 298, 22);
    line.Bar->setGeometry(10, layout.BarTop(row), 298, 24);
    line.Label->setVisible(row < visibleRows_);
    line.Bar->setVisible(row < visibleRows_);
  }
  moreLabel->setGeometry(10, layout.MoreLineTop(), 298, 22);
  moreLabel->setVisible(layout.MoreLine);
  moreLabel->clear();
  for (QPushButton* button : {hideBtn, pauseBtn, cancelBtn}) button->move(button->x(), layout.ButtonsTop());
  setFixedSize(kProgressWidth, layout.Height);
}

std::vector<TMP3Out*> TprgFrm::RunningSinks() const { return engine_->RunningSinks(); }

const TCoreBudget* TprgFrm::CoreBudget() const { return engine_->CoreBudget(); }

std::vector<TTaskResult> TprgFrm::Outcomes() const {
  std::vector<TTaskResult> outcomes = engine_->Outcomes();
  for (TTaskResult& outcome : outcomes)
    if (outcome.Task >= 0 && size_t(outcome.Task) < listRows_.size())
      outcome.Task = listRows_[size_t(outcome.Task)];
  return outcomes;
}

void TprgFrm::UpdateMoreLine() {
  if (!moreLabel->isVisible()) return;
  int hidden = 0;
  for (size_t row = size_t(visibleRows_); row < rows_.size(); ++row)
    hidden += engine_->TaskIn(int32_t(row)) >= 0;
  moreLabel->setText(hidden > 0 ? MoreRunningText(hidden) : QString());
}

void TprgFrm::PollEngine() {
  // The cancel question is open: its answer decides whether the run goes on.
  if (askingCancel_) {
    pollDeferred_ = true;
    return;
  }
  if (!running_ || ending_) return;
  const bool going = engine_->Poll();
  UpdateMoreLine();
  // The run ends once nothing converts any more.
  if (!going && running_ && !ending_) EndConversionRun();
}

void TprgFrm::TaskStarted(int32_t slot, int32_t task) {
  if (TaskIndex < 0) {
    StartedCount = 0;
    RunStartTime = QDateTime::currentDateTimeUtc();
  }
  TaskIndex = listRows_[size_t(task)];
  ++StartedCount;
  const TTaskRecord& record = engine_->Task(task).Task;
  if (engine_->RunningCount() == 1) timeLabel->setText(Q(StrPleaseWait) + " ...");
  const TRow& row = rows_[size_t(slot)];
  row.Label->SetFullText(Q(StrCurrentFile) + QString("(%1/%2): %3")
                                                 .arg(QString::number(StartedCount),
                                                      QString::number(CheckedCount),
                                                      QString::fromStdString(record.Title.str())));
  row.Bar->setValue(0);
  // A task of unknown length (0) shows a busy bar.
  row.Bar->setMaximum(CurrentBarValue(record.Duration));
  if (!PauseFlag) Timer2->start();
}

void TprgFrm::TaskEnded(int32_t slot, const TTaskResult& result) {
  ShowCurrentBarFull(rows_[size_t(slot)].Bar);
  if (engine_->RunningCount() == 0) {
    Timer2->stop();
    timeLabel->setText(Q(StrPleaseWait) + "...");
  }
  const TRunSnapshot snapshot = engine_->Snapshot();
  const int ended = snapshot.Ended;
  if (result.Reason == TReason::NoThread) {
    // The run cannot go on: it ends as if cancelled, with the message.
    StopAllTasks();
    noThreadMessage_ = result.Message;
    return;
  }
  // Failures and cut files open nothing while the run goes on: the end of the run tells them all.
  const bool told = result.Outcome == TOutcome::Short ||
                    (result.Outcome == TOutcome::Failed && result.Reason != TReason::Stopped);
  if (result.Outcome == TOutcome::Short)
    ++partialTasks_;
  else if (told)
    ++failedTasks_;
  if (told || TotalDuration <= 0)
    totalPrgBar->setValue(TotalPercent(TotalDuration, snapshot.DoneHns, 0, ended, CheckedCount));
}

void TprgFrm::StopAllTasks() {
  if (PauseFlag) {
    PauseFlag = false;
    pauseBtn->setText(Q(StrPause));
  }
  // A pause now would hold the stop for ever.
  pauseBtn->setEnabled(false);
  engine_->Stop();
  CancelFlag = true;
}

void TprgFrm::RefreshProgress() {
  const TRunSnapshot snapshot = engine_->Snapshot();
  int64_t positions = 0;
  for (const TRunningTask& task : snapshot.Running) {
    QProgressBar* bar = rows_[size_t(task.Slot)].Bar;
    bar->setValue(std::min(CurrentBarValue(task.PositionHns), bar->maximum()));
    positions += task.PositionHns;
  }
  if (snapshot.Running.empty()) return;
  totalPrgBar->setValue(
      TotalPercent(TotalDuration, snapshot.DoneHns, positions, snapshot.Ended, CheckedCount));
  if (const auto text =
          RunTimeText(RunStartTime, QDateTime::currentDateTimeUtc(), snapshot.DoneHns + positions,
                      TotalDuration - snapshot.DoneHns - positions, QLocale::system())) {
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
    engine_->Pause();
    Timer2->stop();
    PauseFlag = true;
  } else {
    pauseBtn->setText(Q(StrPause));
    engine_->Resume();
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
  if (pollDeferred_) {
    pollDeferred_ = false;
    wakeTimer_->start();
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
  ending_ = true;
  Timer2->stop();
  // Minimised without a tray, the outcome would go unseen: the windows come back to show it.
  RestoreMinimisedTogether(this);
  totalPrgBar->setValue(totalPrgBar->maximum());
  totalPrgBar->repaint();
  if (!noThreadMessage_.empty()) ShowMessageBox(mkError, noThreadMessage_, StrHelp, StrOK);
  if (ShowRunEnd() == 1) ShellOpen(DefaultSettings.OutputFileDir);
  if (!CancelFlag) {
    pauseBtn->setEnabled(false);
    cancelBtn->setText(Q(StrOK));
  }
  running_ = false;
  ending_ = false;
  hide();
  if (runLoop_) runLoop_->quit();
}

std::vector<TReportedFile> TprgFrm::ReportedFiles() const {
  std::vector<TReportedFile> files(listRows_.size());
  for (size_t task = 0; task < files.size(); ++task) {
    files[task].File = engine_->Task(int32_t(task)).Task.SourceFile;
    // Not reached before the run was cancelled (or stopped while it ran): left as it was.
    files[task].Outcome = TFileOutcome::Skipped;
    files[task].Message = kNotConverted;
  }
  for (const TTaskResult& result : engine_->Outcomes()) {
    if (result.Task < 0 || size_t(result.Task) >= files.size() || result.Reason == TReason::Stopped) continue;
    TReportedFile& file = files[size_t(result.Task)];
    file.Message = result.Message;
    switch (result.Outcome) {
      case TOutcome::Converted:
        file.Outcome = TFileOutcome::Converted;
        break;
      case TOutcome::Short:
        file.Outcome = TFileOutcome::ConvertedInPart;
        break;
      case TOutcome::Skipped:
        file.Outcome = TFileOutcome::Skipped;
        break;
      case TOutcome::Failed:
        file.Outcome = TFileOutcome::Failed;
        break;
    }
  }
  return files;
}

int TprgFrm::ShowRunEnd() {
  const std::string question = StrAskOpenFolder;
  const std::vector<TTaskResult>& outcomes = engine_->Outcomes();
  // A file converted whole from a lower-rate stream makes no clean run: the user is told of it.
  const auto noted = std::count_if(outcomes.begin(), outcomes.end(),
                                   [](const TTaskResult& r) { return r.Reason == TReason::LowerRate; });
  const int notWhole = failedTasks_ + partialTasks_ + int(noted);
  if (notWhole > 0 && CheckedCount > 1) {
    // Without an output folder (each MP3 beside its input) the save dialog starts in the home folder.
    const QString folder = QString::fromStdString(DefaultSettings.OutputFileDir);
    return ShowRunReport(ReportedFiles(), CancelFlag, question,
                         folder.isEmpty() ? QString() : QDir(folder).filePath(kReportFileName));
  }
  // A clean run, and a run of one file, tell it as they always did: the file's own message first.
  if (notWhole > 0) {
    for (const TTaskResult& result : outcomes)
      if (result.Outcome == TOutcome::Short || result.Reason == TReason::LowerRate ||
          (result.Outcome == TOutcome::Failed && !result.Message.empty() &&
           result.Reason != TReason::Stopped))
        ShowMessageBox(result.Outcome == TOutcome::Failed ? mkError : mkWarning, result.Message, StrHelp,
                       StrOK);
  }
  const std::string text =
      RunOutcomeText(CancelFlag, failedTasks_, CheckedCount, partialTasks_) + "\n" + question;
  return ShowMessageBox(mkInformation, text, StrNo, StrYes);
}
