#include "app/MainWindow.h"

#include <QBoxLayout>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QFileInfo>
#include <QGroupBox>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QMimeData>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>
#include <QTimer>
#include <QUrl>
#include <algorithm>
#include <thread>
#include <vector>

#include "convert/prg.h"
#include "core/Exception.h"
#include "core/FolderWalk.h"
#include "core/OutputName.h"
#include "core/Profile.h"
#include "core/Settings.h"
#include "core/TaskList.h"
#include "core/TextUtils.h"
#include "ui/ReadNewFile.h"
#include "ui/ShellOpen.h"
#include "ui/TaskInfo.h"
#include "ui/about.h"
#include "ui/add.h"
#include "ui/lang.h"
#include "ui/msgbox.h"
#include "ui/tips.h"

TmainFrm* mainFrm = nullptr;

namespace {

QString Q(const std::string& text) { return QString::fromStdString(text); }

QPushButton* MakeButton(QWidget* parent, const char* name, int y, int height) {
  auto* button = new QPushButton(parent);
  button->setObjectName(name);
  button->setGeometry(16, y, 97, height);
  return button;
}

// A panel that holds one widget inside fixed margins, as the window's areas are laid out.
QWidget* Framed(QWidget* parent, QWidget* inner, int left, int top, int right, int bottom) {
  auto* area = new QWidget(parent);
  auto* layout = new QVBoxLayout(area);
  layout->setContentsMargins(left, top, right, bottom);
  layout->addWidget(inner);
  return area;
}

}  // namespace

QStringList TmainFrm::NameFilters(const std::string& openFilter) {
  // "Text|*.a;*.b|Text 2|*.c" becomes "Text (*.a *.b)", "Text 2 (*.c)".
  std::vector<std::string> pieces;
  SplitText(openFilter, "|", pieces);
  QStringList filters;
  for (std::size_t i = 0; i + 1 < pieces.size(); i += 2) {
    QString patterns = Q(pieces[i + 1]);
    patterns.replace(';', ' ');
    filters << Q(pieces[i]) + " (" + patterns + ")";
  }
  return filters;
}

QStringList TmainFrm::DropExtensions(const std::string& openFilter) {
  QStringList result;
  for (const std::string& extension : FilterExtensions(openFilter)) result << Q(extension);
  return result;
}

TmainFrm::TmainFrm(QWidget* parent) : QMainWindow(parent) {
  if (!mainFrm) mainFrm = this;
  setObjectName("mainFrm");
  ProbeDone.store(true, std::memory_order_release);
  TipsShown = false;
  AddingFiles = false;
  setWindowTitle(Q(ApplicationTitle + "   (" + MakerCredit + ")"));
  CreateControls();
  AddFilesDlg->setNameFilters(NameFilters(OpenFilter));
  setAcceptDrops(true);
  resize(501, 451 + statusBar()->sizeHint().height());
  setMinimumSize(200, 50);
  if (QScreen* screen = QGuiApplication::primaryScreen()) {
    move(screen->availableGeometry().center() - rect().center());
  }
}

TmainFrm::~TmainFrm() {
  if (mainFrm == this) mainFrm = nullptr;
}

void TmainFrm::CreateControls() {
  auto* client = new QWidget(this);
  setCentralWidget(client);
  auto* column = new QVBoxLayout(client);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(0);

  auto* upper = new QHBoxLayout();
  upper->setSpacing(0);
  taskPanel = new QGroupBox(client);
  taskPanel->setObjectName("taskPanel");
  TaskList = new QListWidget(taskPanel);
  TaskList->setObjectName("TaskList");
  TaskList->setSelectionMode(QAbstractItemView::SingleSelection);
  TaskList->setUniformItemSizes(true);
  TaskList->setStyleSheet("QListWidget#TaskList { border: 1px solid white; }");
  auto* taskLayout = new QVBoxLayout(taskPanel);
  taskLayout->addWidget(TaskList);
  upper->addWidget(Framed(client, taskPanel, 28, 24, 7, 11), 1);

  auto* rightPanel = new QWidget(client);
  rightPanel->setObjectName("rightPanel");
  rightPanel->setFixedWidth(141);
  addFileBtn = MakeButton(rightPanel, "addFileBtn", 24, 27);
  rmFileBtn = MakeButton(rightPanel, "rmFileBtn", 64, 27);
  editFileBtn = MakeButton(rightPanel, "editFileBtn", 104, 27);
  startBtn = MakeButton(rightPanel, "startBtn", 144, 41);
  helpBtn = MakeButton(rightPanel, "helpBtn", 200, 27);
  aboutBtn = MakeButton(rightPanel, "aboutBtn", 232, 27);
  QFont bold = startBtn->font();
  bold.setBold(true);
  startBtn->setFont(bold);
  rmFileBtn->setEnabled(false);
  editFileBtn->setEnabled(false);
  startBtn->setEnabled(false);
  // The captions of the design; showing the window sets the table's.
  addFileBtn->setText(StrAddFiles);
  rmFileBtn->setText(StrRemove);
  editFileBtn->setText("&Edit Task");
  startBtn->setText("&Start Convertion");
  helpBtn->setText(StrHelp);
  aboutBtn->setText(StrAboutButton);
  upper->addWidget(rightPanel);
  column->addLayout(upper, 1);

  infoPanel = new TTaskInfoPanel(client);
  QWidget* btmPanel = Framed(client, infoPanel, 28, 12, 28, 11);
  btmPanel->setObjectName("btmPanel");
  btmPanel->setFixedHeight(128);
  column->addWidget(btmPanel);

  statusPanel0 = new QLabel(this);
  statusPanel0->setObjectName("statusPanel0");
  // It names files: a name that looks like markup is shown as it is.
  statusPanel0->setTextFormat(Qt::PlainText);
  statusPanel0->setMinimumWidth(400);
  statusPanel1 = new QLabel(this);
  statusPanel1->setObjectName("statusPanel1");
  statusPanel1->setFixedWidth(50);
  statusPanel1->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  statusBar()->addWidget(statusPanel0, 1);
  statusBar()->addPermanentWidget(statusPanel1);
  statusBar()->setSizeGripEnabled(true);

  AddFilesDlg = new QFileDialog(this, "Select File(s) to Convert...");
  AddFilesDlg->setObjectName("AddFilesDlg");
  if (QGuiApplication::platformName() == "offscreen")
    AddFilesDlg->setOption(QFileDialog::DontUseNativeDialog);

  connect(addFileBtn, &QPushButton::clicked, this, [this] { AddFiles(false); });
  connect(rmFileBtn, &QPushButton::clicked, this, &TmainFrm::RemoveTask);
  connect(editFileBtn, &QPushButton::clicked, this, &TmainFrm::EditSelected);
  connect(startBtn, &QPushButton::clicked, this, &TmainFrm::StartConversion);
  connect(helpBtn, &QPushButton::clicked, this, [] { OpenHelp(); });
  connect(aboutBtn, &QPushButton::clicked, this, &TmainFrm::ShowAbout);
  connect(TaskList, &QListWidget::itemChanged, this, &TmainFrm::ListCheckClick);
  connect(infoPanel, &TTaskInfoPanel::LinkClicked, this, &TmainFrm::InfoLink);
  TaskList->viewport()->installEventFilter(this);
  TaskList->installEventFilter(this);
}

bool TmainFrm::Busy() const {
  const bool converting = prgFrm && (prgFrm->isVisible() || prgFrm->Converting());
  return !ProbeDone.load(std::memory_order_acquire) || converting || readingBatch_;
}

bool TmainFrm::CanDoAction() {
  if (!Busy()) return true;
  ShowMessageBox(mkInformation, StrBusy, StrHelp, StrOK);
  return false;
}

void TmainFrm::SetAddingFiles(bool on) {
  if (on) {
    addFileBtn->setEnabled(false);
    rmFileBtn->setEnabled(false);
    editFileBtn->setEnabled(false);
    startBtn->setEnabled(false);
    AddingFiles = true;
  } else {
    addFileBtn->setEnabled(true);
    AddingFiles = false;
    UpdateButtons();
  }
}

int TmainFrm::SelectedRow() const {
  const QList<QListWidgetItem*> selected = TaskList->selectedItems();
  return selected.isEmpty() ? -1 : TaskList->row(selected.first());
}

bool TmainFrm::UpdateButtons() {
  if (AddingFiles) return false;
  if (Tasks.empty()) {
    startBtn->setEnabled(false);
    return false;
  }
  startBtn->setEnabled(true);
  const int row = SelectedRow();
  const bool selected = row >= 0 && row < int(Tasks.size());
  rmFileBtn->setEnabled(selected);
  editFileBtn->setEnabled(selected);
  return selected;
}

void TmainFrm::RefreshList() {
  const QSignalBlocker quiet(TaskList);
  TaskList->clear();
  if (Tasks.empty()) {
    auto* prompt = new QListWidgetItem(StrEmptyListHint);
    prompt->setFlags(Qt::ItemIsEnabled);  // a hint, not a task: no check box
    TaskList->addItem(prompt);
    rmFileBtn->setEnabled(false);
    editFileBtn->setEnabled(false);
    startBtn->setEnabled(false);
  } else {
    for (const auto& task : Tasks) {
      auto* row = new QListWidgetItem(Q(task->Title));
      row->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
      row->setCheckState(task->Checked ? Qt::Checked : Qt::Unchecked);
      TaskList->addItem(row);
    }
    startBtn->setEnabled(true);
  }
  TaskList->clearSelection();
  TaskList->setCurrentItem(nullptr, QItemSelectionModel::NoUpdate);
  UpdateButtons();
}

void TmainFrm::AddRow(int index) {
  const QSignalBlocker quiet(TaskList);
  const bool first = Tasks.size() == 1;
  if (first) TaskList->clear();
  if (TaskList->count() < index + 1) {
    auto* row = new QListWidgetItem(Q(CurrentTask.Title));
    row->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
    TaskList->addItem(row);
    index = TaskList->row(row);
  }
  TaskList->item(index)->setCheckState(Qt::Checked);
  // No row is current yet, so the first arrow key or Home selects one.
  if (first) TaskList->setCurrentItem(nullptr, QItemSelectionModel::NoUpdate);
}

TReadOutcome TmainFrm::AddOneFile(const std::string& path, bool sameSettings, bool quiet, int32_t* reason) {
  statusPanel0->setText(Q(std::string(StrReadingFileStatus) + ":" + path + " ..."));
  ProbeFile = path;
  ProbeForNewTask = true;
  ProbeResult.store(-1, std::memory_order_relaxed);
  ProbeDone.store(false, std::memory_order_release);
  const TReadOutcome outcome = ReadNewFileOutcome(path, sameSettings, quiet, reason);
  if (outcome == TReadOutcome::Added) AddRow(int(Tasks.size()) - 1);
  statusPanel0->clear();
  return outcome;
}

void TmainFrm::AddFiles(bool fromDrop) {
  if (!CanDoAction()) return;
  // A second batch never starts inside the first (a drop while the editor of the first is open).
  if (AddingFiles) {
    ShowMessageBox(mkInformation, StrBusy, StrHelp, StrOK);
    return;
  }
  SetAddingFiles(true);
  QStringList picked;
  if (fromDrop) {
    picked = droppedFiles_;
  } else {
    AddFilesDlg->setFileMode(QFileDialog::ExistingFiles);
    AddFilesDlg->setDirectory(Q(DefaultSettings.InputFileDir));
    if (AddFilesDlg->exec() != QDialog::Accepted) {
      SetAddingFiles(false);
      return;
    }
    picked = AddFilesDlg->selectedFiles();
  }
  TAddSummary summary;
  std::vector<TBatchFile> files;
  if (fromDrop) {
    std::vector<std::string> extensions;
    for (const QString& extension : DropExtensions(OpenFilter)) extensions.push_back(extension.toStdString());
    readingBatch_ = true;
    files = CollectBatchFiles(picked, extensions, summary, [this](const std::string& folder) {
      statusPanel0->setText(Q(std::string(StrReadingFileStatus) + ":" + folder + " ..."));
    });
    readingBatch_ = false;
    statusPanel0->clear();
  } else {
    for (const QString& file : picked) files.push_back({file.toStdString(), false, {}, {}});
  }
  AddBatch(files, summary);
  SetAddingFiles(false);
  // Once, after the last file: what the walked folders held that could not be used.
  if (summary.HasNews()) ShowAddSummary(summary);
}

namespace {

// The output folder the batch keeps is the root the user chose (or the input folder, when none is
// chosen), never the subfolder of the file last confirmed; saved at once, like the editor's own.
void KeepOutputFolder(const std::string& folder) {
  if (DefaultSettings.OutputFileDir == folder) return;
  DefaultSettings.OutputFileDir = folder;
  try {
    SaveSettings();
  } catch (const Exception&) {
    // The editor's finish has just said that the settings cannot be saved.
  }
}

}  // namespace

void TmainFrm::AddBatch(const std::vector<TBatchFile>& files, TAddSummary& summary) {
  // Where the MP3s of walked folders go: decided by the output folder chosen before the batch, and
  // again by each task the editor confirms.
  TOutputTree tree = OutputTreeFromDefaults(DefaultSettings);
  bool walkedAny = false, confirmed = false, sameSettings = false, asked = false;
  size_t i = 0;
  for (; i < files.size(); ++i) {
    const TBatchFile& file = files[i];
    // With the same settings, the rest of the batch is read ahead on worker threads.
    if (sameSettings && file.Walked) break;
    walkedAny = walkedAny || file.Walked;
    ProbeOutputFolder = file.Walked ? TreeOutputFolder(tree, file.Path, file.Subfolder) : std::string();
    int32_t reason = 0;
    // A file that cannot be used is skipped: one bad file in an old collection must not drop the rest.
    // Its message is shown now, or, for a file of a walked folder, gathered for the summary. Only a
    // cancelled editor ends the batch.
    const TReadOutcome outcome = AddOneFile(file.Path, sameSettings, file.Walked, &reason);
    ProbeOutputFolder.clear();
    if (outcome == TReadOutcome::Cancelled) break;
    if (outcome == TReadOutcome::Skipped && file.Walked) summary.LeftOut.push_back({file.Shown, reason});
    if (outcome == TReadOutcome::Added && !sameSettings) {
      // The editor has stored the task's own output folder as OutputFileDir: for a walked file that is
      // a subfolder of the tree, under which every later file would nest.
      confirmed = true;
      tree = OutputTreeFromConfirmedTask(*Tasks.back(), file.Walked ? file.Subfolder : std::string());
      if (tree.Chosen) KeepOutputFolder(tree.Root);
    }
    // The question follows the first file that went through the editor, when files are left.
    if (outcome == TReadOutcome::Added && !asked && i + 1 < files.size()) {
      asked = true;
      sameSettings = ShowMessageBox(mkQuestion, StrAskSameSettings, StrNo, StrYes) == 1;
    }
  }
  if (sameSettings && i < files.size()) {
    walkedAny = true;
    AddSameSettingsRest(files, i, tree, summary);
  }
  // A tree written beside its inputs chose no output folder; the files added one by one with it may
  // have moved OutputFileDir to their own folders, which would count as chosen for the next batch.
  if (walkedAny && confirmed && !tree.Chosen) KeepOutputFolder(DefaultSettings.InputFileDir);
}

void TmainFrm::AddSameSettingsRest(const std::vector<TBatchFile>& files, size_t first,
                                   const TOutputTree& tree, TAddSummary& summary) {
  std::vector<std::string> walked;
  for (size_t i = first; i < files.size(); ++i)
    if (files[i].Walked) walked.push_back(files[i].Path);
  const int threads = int(std::clamp(std::thread::hardware_concurrency(), 1u, 4u));
  readingBatch_ = true;
  TReadAhead ahead(std::move(walked), DefaultSettings, threads);
  // The outputs already given, so that each new name is checked against them at once.
  std::unordered_set<std::string> outputs;
  for (const auto& task : Tasks) outputs.insert(task->OutputFile);
  QElapsedTimer sinceEvents;
  sinceEvents.start();
  size_t taken = 0;
  for (size_t i = first; i < files.size(); ++i) {
    const TBatchFile& file = files[i];
    if (!file.Walked) {
      // A file dropped by itself is read as it always is, with its own message when it cannot be used.
      readingBatch_ = false;
      const TReadOutcome outcome = AddOneFile(file.Path, true);
      readingBatch_ = true;
      if (outcome == TReadOutcome::Cancelled) break;
      if (outcome == TReadOutcome::Added) outputs.insert(Tasks.back()->OutputFile);
      continue;
    }
    statusPanel0->setText(Q(std::string(StrReadingFileStatus) + ":" + file.Path + " ..."));
    TReadAhead::TRead read = ahead.Take(taken++);
    if (read.Result != 0) {
      summary.LeftOut.push_back({file.Shown, read.Result});
    } else {
      AddReadFile(std::move(read), TreeOutputFolder(tree, file.Path, file.Subfolder), outputs);
    }
    // Results that are already there are taken without a wait: the window answers in between.
    if (sinceEvents.elapsed() >= 20) {
      QCoreApplication::processEvents();
      sinceEvents.restart();
    }
  }
  readingBatch_ = false;
  statusPanel0->clear();
}

void TmainFrm::AddReadFile(TReadAhead::TRead read, const std::string& outputFolder,
                           std::unordered_set<std::string>& outputs) {
  // What the probe does for a new task: the output name in its folder, numbered past existing files and
  // the other tasks' outputs; then the task is stored as the reading of a same-settings file stores it.
  read.Task.OutputFile =
      UniqueOutputPath(outputFolder, read.Task.SourceFile, ".mp3",
                       [&outputs](const std::string& name) { return outputs.count(name) > 0; });
  outputs.insert(read.Task.OutputFile);
  CurrentTask = std::move(read.Task);
  StoreTask(true, 0);
  AddRow(int(Tasks.size()) - 1);
}

void TmainFrm::RemoveTask() {
  if (!CanDoAction() || !UpdateButtons()) return;
  const int row = SelectedRow();
  if (row < 0) return;
  DeleteTask(row);
  RefreshList();
}

void TmainFrm::EditTask(int index) {
  if (AddingFiles) {
    ShowMessageBox(mkInformation, StrBusy, StrHelp, StrOK);
    return;
  }
  if (index < 0 || index >= int(Tasks.size())) return;
  CurrentTask = *Tasks[index];
  if (!addFrm || addFrm->exec() != 1) return;
  StoreTask(false, index);
  if (QListWidgetItem* row = TaskList->item(index)) {
    const QSignalBlocker quiet(TaskList);
    if (row->text() != Q(CurrentTask.Title)) row->setText(Q(CurrentTask.Title));
  }
  infoPanel->ShowTaskInfo(index);
}

void TmainFrm::EditSelected() {
  if (!CanDoAction() || !UpdateButtons()) return;
  const int row = SelectedRow();
  if (row >= 0) EditTask(row);
}

void TmainFrm::StartConversion() {
  if (!CanDoAction()) return;
  if (Tasks.empty()) {
    ShowMessageBox(mkQuestion, std::string(StrBusy) + "\n" + StrNothingToConvert, StrHelp, StrOK);
    return;
  }
  if (prgFrm) prgFrm->RunConversion();
}

void TmainFrm::ListClick() {
  if (Tasks.empty()) {
    infoPanel->ShowTaskInfo(-1);
    AddFiles(false);
  }
  if (UpdateButtons()) {
    const int row = SelectedRow();
    if (row >= 0) infoPanel->ShowTaskInfo(row);
  }
}

void TmainFrm::ListDoubleClick() {
  if (!UpdateButtons()) return;
  const int row = SelectedRow();
  if (row >= 0) EditTask(row);
}

void TmainFrm::ListKeyDown() {
  if (!UpdateButtons()) return;
  const int row = SelectedRow();
  if (row >= 0) infoPanel->ShowTaskInfo(row);
}

void TmainFrm::ListCheckClick(QListWidgetItem* item) {
  // The box belongs to its own row, selected or not (Space on a row that is current but not
  // selected toggles it too). During a batch the task keeps its mark (the row shows the click until
  // the list is rebuilt).
  UpdateButtons();
  if (!item || AddingFiles) return;
  const int row = TaskList->row(item);
  if (row < 0 || row >= int(Tasks.size())) return;
  Tasks[row]->Checked = item->checkState() == Qt::Checked;
}

void TmainFrm::OpenSourceFile(int index) {
  if (index >= 0 && index < int(Tasks.size())) ShellOpen(Tasks[index]->SourceFile);
}

void TmainFrm::OpenOutputFile(int index) {
  if (index >= 0 && index < int(Tasks.size())) ShellOpen(Tasks[index]->OutputFile);
}

void TmainFrm::InfoLink(const QString& name) {
  if (name == "aa") {
    AddFiles(false);
  } else if (name == "bb") {
    OpenSourceFile(SelectedRow());
  } else if (name == "cc") {
    EditSelected();
  } else if (name == "dd") {
    OpenOutputFile(SelectedRow());
  }
}

void TmainFrm::ShowAbout() {
  if (!aboutFrm_) aboutFrm_ = std::make_unique<TaboutFrm>(this);
  aboutFrm_->exec();
}

void TmainFrm::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  // A window restored from the task bar keeps its list, selection and buttons; the window's Show is
  // a hide followed by a show (also the return from the tray).
  if (event->spontaneous()) return;
  TaskList->setStyleSheet("QListWidget#TaskList { border: 1px solid white; }");
  taskPanel->setTitle(StrTaskList);
  infoPanel->setTitle(StrConversionSettings);
  addFileBtn->setText(StrAddFiles);
  rmFileBtn->setText(StrRemove);
  editFileBtn->setText(StrEditButton);
  startBtn->setText(StrStart);
  helpBtn->setText(StrHelp);
  aboutBtn->setText(StrAboutButton);
  RefreshList();
  infoPanel->ShowTaskInfo(-1);
  if (!TipsShown) {
    TipsShown = true;
    // After the window is on screen, so the tip opens over it.
    QTimer::singleShot(0, this, &TmainFrm::AfterFirstShow);
  }
}

void TmainFrm::AfterFirstShow() {
  if (tips <= 9999 && TipsFrm) TipsFrm->exec();
  const QStringList files = std::move(startFiles_);
  startFiles_.clear();
  if (!files.isEmpty()) AddDroppedFiles(files);
}

void TmainFrm::closeEvent(QCloseEvent* event) {
  if (!CanDoAction()) {
    event->ignore();
    return;
  }
  try {
    SaveSettings();
  } catch (const Exception& error) {
    // Said, but no reason to keep the program open: a settings file that refuses every write would
    // otherwise never let it close.
    ShowMessageBox(mkError, error.Message(), StrHelp, StrOK);
  }
  event->accept();
  emit Closed();
}

QStringList TmainFrm::AcceptedDrop(const QStringList& paths) const {
  const QStringList extensions = DropExtensions(OpenFilter);
  QStringList accepted;
  for (const QString& path : paths) {
    const QFileInfo info(path);
    // A folder is walked for its files once the drop has been answered.
    if (info.isDir()) {
      accepted << path;
      continue;
    }
    if (!info.isFile()) continue;
    const QString name = info.fileName();
    const int dot = name.lastIndexOf('.');
    if (dot < 0) continue;
    if (extensions.contains(name.mid(dot), Qt::CaseInsensitive)) accepted << path;
  }
  return accepted;
}

namespace {
QStringList LocalFiles(const QMimeData* data) {
  QStringList paths;
  if (!data || !data->hasUrls()) return paths;
  for (const QUrl& url : data->urls()) {
    if (url.isLocalFile()) paths << url.toLocalFile();
  }
  return paths;
}
}  // namespace

void TmainFrm::dragEnterEvent(QDragEnterEvent* event) {
  if (!AcceptedDrop(LocalFiles(event->mimeData())).isEmpty()) event->acceptProposedAction();
}

void TmainFrm::dragMoveEvent(QDragMoveEvent* event) { event->acceptProposedAction(); }

void TmainFrm::dropEvent(QDropEvent* event) {
  const QStringList files = AcceptedDrop(LocalFiles(event->mimeData()));
  if (files.isEmpty()) return;
  event->acceptProposedAction();
  AddDroppedFiles(files);
}

void TmainFrm::AddDroppedFiles(const QStringList& paths) {
  const QStringList files = AcceptedDrop(paths);
  if (files.isEmpty()) return;
  raise();
  activateWindow();
  // The batch runs after the drop has been answered, so the file manager is not kept waiting.
  QTimer::singleShot(0, this, [this, files] {
    droppedFiles_ = files;
    AddFiles(true);
  });
}

bool TmainFrm::eventFilter(QObject* watched, QEvent* event) {
  // The list's own handling (selection, check marks) comes first; ours follows from the event loop.
  if (watched == TaskList->viewport()) {
    // A click is the left button's; the others open nothing.
    if (event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
      QTimer::singleShot(0, this, &TmainFrm::ListClick);
    } else if (event->type() == QEvent::MouseButtonDblClick) {
      QTimer::singleShot(0, this, &TmainFrm::ListDoubleClick);
    }
  } else if (watched == TaskList && event->type() == QEvent::KeyPress) {
    QTimer::singleShot(0, this, &TmainFrm::ListKeyDown);
  }
  return QMainWindow::eventFilter(watched, event);
}
