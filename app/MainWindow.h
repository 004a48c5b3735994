#pragma once
// The main window: the task list with its check marks, the buttons that add, remove, edit and convert
// tasks, help and about, the information panel of the selected task and the reading status. Files
// dropped from a file manager are added like files picked in the open dialog.
#include <QMainWindow>
#include <QStringList>
#include <memory>
#include <string>

#include <unordered_set>
#include <vector>

#include "app/AddSummary.h"
#include "app/BatchFiles.h"
#include "app/ReadAhead.h"
#include "core/OutputTree.h"
#include "ui/ReadNewFile.h"

class QFileDialog;
class QGroupBox;
class QLabel;
class QListWidget;
class QListWidgetItem;
class QPushButton;
class TTaskInfoPanel;
class TaboutFrm;

class TmainFrm : public QMainWindow {
  Q_OBJECT
 public:
  explicit TmainFrm(QWidget* parent = nullptr);
  ~TmainFrm() override;

  // True when no file is being read and no conversion runs; otherwise says so and returns false.
  bool CanDoAction();
  // A file is being read or a conversion runs (what CanDoAction refuses, without its message).
  bool Busy() const;
  // Adds files as a drop of them would, in the given order: files with an accepted extension, and
  // folders, each walked for its files with those extensions.
  void AddDroppedFiles(const QStringList& paths);
  // Files and folders named on the command line ("Open with" from a file manager): added like a drop
  // once the window is on screen and the tip of the day, if any, has been closed.
  void SetStartFiles(const QStringList& paths) { startFiles_ = paths; }
  // A batch of added files is being read.
  bool IsAddingFiles() const { return AddingFiles; }
  // The extensions a drop accepts, from the open dialog's filter: ".rm", ".rma", ".ra", ".rmvb".
  static QStringList DropExtensions(const std::string& openFilter);
  // The open dialog's filter as Qt name filters.
  static QStringList NameFilters(const std::string& openFilter);

  QPushButton* addFileBtn = nullptr;
  QPushButton* rmFileBtn = nullptr;
  QPushButton* editFileBtn = nullptr;
  QPushButton* startBtn = nullptr;
  QPushButton* helpBtn = nullptr;
  QPushButton* aboutBtn = nullptr;
  QGroupBox* taskPanel = nullptr;
  QListWidget* TaskList = nullptr;
  TTaskInfoPanel* infoPanel = nullptr;  // the captioned panel with the selected task's information
  QLabel* statusPanel0 = nullptr;       // the status bar's two panels
  QLabel* statusPanel1 = nullptr;
  QFileDialog* AddFilesDlg = nullptr;

 signals:
  // The window was allowed to close: the program ends.
  void Closed();

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void CreateControls();
  void SetAddingFiles(bool on);
  bool UpdateButtons();
  void RefreshList();
  void AddRow(int index);
  TReadOutcome AddOneFile(const std::string& path, bool sameSettings, bool quiet = false,
                          int32_t* reason = nullptr);
  void AddFiles(bool fromDrop);
  void AddBatch(const std::vector<TBatchFile>& files, TAddSummary& summary);
  void AddSameSettingsRest(const std::vector<TBatchFile>& files, size_t first, const TOutputTree& tree,
                           TAddSummary& summary);
  void AddReadFile(TReadAhead::TRead read, const std::string& outputFolder,
                   std::unordered_set<std::string>& outputs);
  void RemoveTask();
  void EditTask(int index);
  void EditSelected();
  void StartConversion();
  void ListClick();
  void ListDoubleClick();
  void ListKeyDown();
  void ListCheckClick(QListWidgetItem* item);
  void OpenSourceFile(int index);
  void OpenOutputFile(int index);
  void InfoLink(const QString& name);
  void ShowAbout();
  void AfterFirstShow();
  int SelectedRow() const;
  QStringList AcceptedDrop(const QStringList& paths) const;

  bool AddingFiles = false;
  bool readingBatch_ = false;  // a dropped folder is being walked, or its files read ahead
  bool TipsShown = false;
  QStringList droppedFiles_;  // the dialog's file list after a drop
  QStringList startFiles_;
  std::unique_ptr<TaboutFrm> aboutFrm_;
};

extern TmainFrm* mainFrm;
