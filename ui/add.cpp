#include "ui/add.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QGroupBox>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QScreen>
#include <QStackedWidget>
#include <QToolButton>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "core/Exception.h"
#include "core/FolderChain.h"
#include "core/Format.h"
#include "core/OutputName.h"
#include "core/Profile.h"
#include "core/Settings.h"
#include "core/TaskDefaults.h"
#include "core/TaskList.h"
#include "core/TextUtils.h"
#include "probe/ProbeMedia.h"
#include "ui/FilePickers.h"
#include "ui/PickerKeys.h"
#include "ui/ReadNewFile.h"
#include "ui/TagHistory.h"
#include "ui/lang.h"
#include "ui/msgbox.h"

TaddFrm* addFrm = nullptr;

namespace {

constexpr int kClientWidth = 329;
constexpr int kClientHeight = 326;
constexpr const char* kFileExistsText = "The file exists.";  // the system's text for its error 80

QString Q(const std::string& text) { return QString::fromStdString(text); }
std::string S(const QString& text) { return text.toStdString(); }

// Selects the first item that reads value + suffix. Without one the list keeps its selection; a list
// that has none yet takes the item nearest to value, so the finish always finds a number.
void SelectNumber(QComboBox* list, int32_t value, const char* suffix) {
  const int exact = list->findText(QString::number(value) + QLatin1String(suffix), Qt::MatchExactly);
  if (exact >= 0) {
    list->setCurrentIndex(exact);
    return;
  }
  if (list->currentIndex() >= 0 || list->count() == 0) return;
  int nearest = 0;
  int64_t nearestDistance = std::numeric_limits<int64_t>::max();
  for (int i = 0; i < list->count(); ++i) {
    const int64_t distance = std::llabs(int64_t(LeadingNumber(S(list->itemText(i)))) - value);
    if (distance < nearestDistance) {
      nearest = i;
      nearestDistance = distance;
    }
  }
  list->setCurrentIndex(nearest);
}

void SelectPosition(QComboBox* list, int32_t position) {
  if (position >= 0 && position < list->count()) {
    list->setCurrentIndex(position);
  } else if (list->currentIndex() < 0 && list->count() > 0) {
    list->setCurrentIndex(position < 0 ? 0 : list->count() - 1);
  }
}

// A text longer than its field shows its start, as the title field does, not its end.
void ShowTextStarts(std::initializer_list<QComboBox*> lists) {
  for (QComboBox* list : lists) {
    if (QLineEdit* edit = list->lineEdit()) edit->setCursorPosition(0);
  }
}

int32_t SelectedNumber(const QComboBox* list) { return LeadingNumber(S(list->currentText())); }

int32_t EstimatedSizeKB(const TTaskRecord& task) {
  const int64_t seconds = task.Duration / 10000000;
  const int64_t kilobytes = task.UseVBR ? seconds * (int64_t(task.VbrMinBitrate) + task.VbrMaxBitrate) / 16
                                        : seconds * int64_t(task.Bitrate) / 8;
  if (kilobytes > std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
  if (kilobytes < 0) return 0;
  return int32_t(kilobytes);
}

std::string DefaultOutputName(const std::string& sourceFile) {
  return DefaultSettings.OutputFileDir + FileNameWithoutExtension(sourceFile) + ".mp3";
}

}  // namespace

TaddFrm::TaddFrm(QWidget* parent) : QDialog(parent) {
  setObjectName("addFrm");
  setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
  addPages = new QStackedWidget(this);
  addPages->setObjectName("addPages");
  BuildPage1();
  BuildPage2();
  BuildPage3();
  BuildButtons();
  AddFilesDlg = new QFileDialog(this);
  AddFilesDlg->setObjectName("AddFilesDlg");
  SetUpInputPicker(*AddFilesDlg);
  outFileDlg = new TOutFileDialog(this);
  outFileDlg->setObjectName("outFileDlg");

  srcFile->installEventFilter(this);
  dstFile->installEventFilter(this);
  connect(addFileBtn, &QToolButton::clicked, this, &TaddFrm::ChooseInputFile);
  connect(outFileBtn, &QToolButton::clicked, this, &TaddFrm::ChooseOutputFile);
  connect(VBRCheck, &QCheckBox::toggled, this, &TaddFrm::OnVBRClick);
  connect(nextBtn, &QPushButton::clicked, this, &TaddFrm::OnNext);
  connect(backBtn, &QPushButton::clicked, this, &TaddFrm::OnBack);
  connect(cancelBtn, &QPushButton::clicked, this, &TaddFrm::reject);

  // The captions that size the window are the ones it shows.
  SetCaptions();
  ShowPage(0);
  setFixedSize(sizeHint().expandedTo(QSize(kClientWidth, kClientHeight)));
  if (!addFrm) addFrm = this;
}

TaddFrm::~TaddFrm() {
  if (addFrm == this) addFrm = nullptr;
}

int TaddFrm::PageIndex() const { return addPages->currentIndex(); }

void TaddFrm::reject() {
  // The title bar's close while a picked file is read is let go: the read's end still fills the pages.
  if (reading_) return;
  done(2);
}

void TaddFrm::showEvent(QShowEvent* event) {
  // Every opening starts afresh from CurrentTask; a window restored by the desktop keeps its state.
  if (!event->spontaneous()) {
    Opening();
    if (QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen()) {
      const QRect area = screen->availableGeometry();
      move(area.center() - QPoint(width() / 2, height() / 2));
    }
  }
  QDialog::showEvent(event);
}

bool TaddFrm::eventFilter(QObject* watched, QEvent* event) {
  if ((watched == srcFile || watched == dstFile) && event->type() == QEvent::KeyPress) {
    const auto* key = static_cast<QKeyEvent*>(event);
    if (KeyOpensPicker(key->key(), key->modifiers())) {
      if (watched == srcFile)
        ChooseInputFile();
      else
        ChooseOutputFile();
      return true;
    }
  }
  return QDialog::eventFilter(watched, event);
}

void TaddFrm::SetCaptions() {
  setWindowTitle(QLatin1String(StrSettings) + QStringLiteral(" ..."));
  InputFileLabel->setText(QLatin1String(StrInputFile) + ':');
  inputFileInfoPanel->setTitle(QLatin1String(StrInputFileInfo));
  outFileLabel->setText(QLatin1String(StrOutputFile) + ':');
  tagPanel->setTitle(QLatin1String(StrTagEditor));
  cancelBtn->setText(QLatin1String(StrCancel));
  backBtn->setText(QStringLiteral("< ") + QLatin1String(StrBack));
  nextBtn->setText(QLatin1String(StrNext) + QStringLiteral(" >"));
}

void TaddFrm::Opening() {
  SetCaptions();
  ShowPage(0);
  FillPage1();

  const TTaskRecord& task = CurrentTask;
  dstFile->setText(Q(task.OutputFile));
  SelectNumber(bitRateSel, task.Bitrate, " kbps");
  SelectNumber(minBitrateSel, task.VbrMinBitrate, " kbps");
  SelectNumber(maxBitrateSel, task.VbrMaxBitrate, " kbps");
  SelectNumber(samplerateSel, task.SampleRate, " Hz");
  SelectPosition(ChannelModeSel, task.ChannelMode);
  VBRCheck->setChecked(task.UseVBR);
  BitrateSettingsPage->setCurrentIndex(task.UseVBR ? 1 : 0);

  FillPage3();
  LoadAllHistories(albumEdit, artistEdit, YearEdit, commentEdit);
  ShowTextStarts({albumEdit, artistEdit, GenreEdit, YearEdit, commentEdit});
}

void TaddFrm::FillPage1() {
  const TTaskRecord& task = CurrentTask;
  srcFile->setText(Q(task.SourceFile));
  srcFile->setCursorPosition(0);
  inFileInfoList->clear();
  inFileInfoList->addItem(Q(std::string(" ") + StrDuration + ": " + FormatDuration(task.Duration)));
  std::string audio = std::string(" ") + StrAudio + ": ";
  if (task.HasAudio) {
    const char* channels = task.SourceChannels == 1   ? StrSingleChannel
                           : task.SourceChannels == 2 ? StrDualChannels
                                                      : "";
    audio += std::to_string(task.SourceSampleRate) + "HZ, " + channels;
  } else {
    audio += "None";
  }
  inFileInfoList->addItem(Q(audio));
}

void TaddFrm::FillPage3() {
  const TTaskRecord& task = CurrentTask;
  titleEdit->setText(Q(task.Title));
  titleEdit->setCursorPosition(0);
  artistEdit->setEditText(Q(task.Artist));
  GenreEdit->setEditText(Q(task.Genre));
  YearEdit->setEditText(Q(task.Year));
  albumEdit->setEditText(Q(task.Album));
  commentEdit->setEditText(Q(task.Comment));
  ShowTextStarts({albumEdit, artistEdit, GenreEdit, YearEdit, commentEdit});
}

void TaddFrm::ShowPage(int page) {
  addPages->setCurrentIndex(page);
  backBtn->setEnabled(page > 0);
  nextBtn->setEnabled(true);
  nextBtn->setText(page == 2 ? QLatin1String(StrOK) : QLatin1String(StrNext) + QStringLiteral(" >"));
  // The keyboard lands where the page's work is: the tag fields start with the title, selected whole
  // as a field entered with Tab is.
  if (page == 0)
    nextBtn->setFocus();
  else if (page == 1)
    VBRCheck->setFocus();
  else {
    titleEdit->setFocus();
    titleEdit->selectAll();
  }
}

void TaddFrm::OnNext() {
  switch (PageIndex()) {
    case 0:
      if (CheckOutputFile()) ShowPage(1);
      break;
    case 1:
      ShowPage(2);
      break;
    default:
      Finish();
      break;
  }
}

void TaddFrm::OnBack() {
  if (PageIndex() > 0) ShowPage(PageIndex() - 1);
}

void TaddFrm::OnVBRClick() { BitrateSettingsPage->setCurrentIndex(VBRCheck->isChecked() ? 1 : 0); }

bool TaddFrm::CheckOutputFile() {
  // Native separators: a "/" is the separator here and is never turned into a backslash.
  const std::string output = S(QDir::toNativeSeparators(dstFile->text()));
  dstFile->setText(Q(output));
  const auto stayOnPage = [this] {
    dstFile->setFocus();
    return false;
  };
  if (NonFolderExists(output)) {
    const std::string question = std::string(kFileExistsText) + "\n" + StrAskReplace;
    if (ShowMessageBox(mkQuestion, question, StrNo, StrYes) != 1) return stayOnPage();
  }
  const std::string folder = FolderPart(output);
  if (FolderExists(folder) || (!RunMadeFolder.empty() && folder == RunMadeFolder)) return true;
  const std::string question = std::string(StrNoOutputFolder) + "\n " + folder + "\n" + StrAskCreateFolder;
  if (ShowMessageBox(mkQuestion, question, StrNo, StrYes) != 1) return stayOnPage();
  const TFolderChain chain = CreateFolderChain(folder);
  if (chain.folder.empty()) {
    ShowMessageBox(mkError,
                   "Cannot create folder \"" + chain.failedFolder + "\". " + std::strerror(chain.error),
                   StrHelp, StrOK);
    return stayOnPage();
  }
  dstFile->setText(Q(chain.folder + FileNamePart(output)));
  return true;
}

void TaddFrm::Finish() {
  TTaskRecord& task = CurrentTask;
  task.OutputFile = S(dstFile->text());
  task.Bitrate = SelectedNumber(bitRateSel);
  task.VbrMinBitrate = SelectedNumber(minBitrateSel);
  task.VbrMaxBitrate = SelectedNumber(maxBitrateSel);
  task.SampleRate = SelectedNumber(samplerateSel);
  task.ChannelMode = ChannelModeSel->currentIndex();
  task.UseVBR = VBRCheck->isChecked();
  task.Title = S(titleEdit->text());
  task.Artist = S(artistEdit->currentText());
  task.Comment = S(commentEdit->currentText());
  task.Genre = S(GenreEdit->currentText());
  task.Year = S(YearEdit->currentText());
  task.Album = S(albumEdit->currentText());
  task.EstimatedSize = EstimatedSizeKB(task);

  StoreTaskAsDefaults(task, DefaultSettings);

  SaveNewHistoryEntries(albumEdit, artistEdit, YearEdit, commentEdit);
  try {
    SaveSettings();
  } catch (const Exception& error) {
    // The task is complete: a settings file that refuses the write must not cost the user the task.
    ShowMessageBox(mkError, error.Message(), StrHelp, StrOK);
  }
  done(1);
}

void TaddFrm::ChooseInputFile() {
  const bool hadDefaultName = S(dstFile->text()) == DefaultOutputName(CurrentTask.SourceFile);
  StartPickerAt(*AddFilesDlg, srcFile->text());
  if (AddFilesDlg->exec() != QDialog::Accepted) return;
  const QStringList chosen = AddFilesDlg->selectedFiles();
  if (chosen.isEmpty()) return;

  // Read on the probe's own thread: a multi-rate file may take long, and meanwhile the window repaints
  // and answers the desktop, but takes no input. The task keeps its output name.
  ProbeFile = S(chosen.first());
  ProbeForNewTask = false;
  ProbeResult.store(-1, std::memory_order_relaxed);
  ProbeDone.store(false, std::memory_order_release);
  inFileInfoList->clear();
  inFileInfoList->addItem(QStringLiteral(" ") + QLatin1String(StrPleaseWait) + QStringLiteral("..."));
  reading_ = true;
  setEnabled(false);
  setCursor(Qt::WaitCursor);
  const bool probed = ProbeOffTheWindowThread();
  unsetCursor();
  setEnabled(true);
  reading_ = false;
  addFileBtn->setFocus();
  // A file that cannot be used changes nothing: the task and the pages keep the previous file.
  if (!probed || !ProbeDone.load(std::memory_order_acquire) ||
      ProbeResult.load(std::memory_order_relaxed) != 0) {
    FillPage1();
    return;
  }
  FillPage1();
  FillPage3();
  if (hadDefaultName) dstFile->setText(Q(UniqueOutputName(".mp3")));
}

void TaddFrm::ChooseOutputFile() {
  StartPickerAt(*outFileDlg, dstFile->text());
  if (outFileDlg->exec() != QDialog::Accepted) return;
  const QStringList chosen = outFileDlg->selectedFiles();
  if (!chosen.isEmpty()) dstFile->setText(chosen.first());
}
