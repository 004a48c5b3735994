#pragma once
// The task editor: a modal window of three pages (input and output file, MP3 settings, tag texts)
// working on CurrentTask. Made once and reused; exec() returns 1 for OK and 2 for Cancel.
#include <QDialog>
#include <string>

class QCheckBox;
class QComboBox;
class QFileDialog;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QStackedWidget;
class QToolButton;
class TOutFileDialog;

class TaddFrm : public QDialog {
  Q_OBJECT
 public:
  explicit TaddFrm(QWidget* parent = nullptr);
  ~TaddFrm() override;

  // The page shown: 0, 1 or 2.
  int PageIndex() const;

  // A folder the conversion run makes itself (an added folder tree's place under the chosen output
  // folder): page 1 takes an output in it without asking to create it now. Set for one showing.
  std::string RunMadeFolder;

  QStackedWidget* addPages = nullptr;
  QWidget* addPage1 = nullptr;
  QWidget* addPage2 = nullptr;
  QWidget* addPage3 = nullptr;
  QPushButton* cancelBtn = nullptr;
  QPushButton* backBtn = nullptr;
  QPushButton* nextBtn = nullptr;

  QLabel* InputFileLabel = nullptr;
  QLineEdit* srcFile = nullptr;
  QToolButton* addFileBtn = nullptr;
  QLabel* outFileLabel = nullptr;
  QLineEdit* dstFile = nullptr;
  QToolButton* outFileBtn = nullptr;
  QGroupBox* inputFileInfoPanel = nullptr;
  QListWidget* inFileInfoList = nullptr;

  QCheckBox* VBRCheck = nullptr;
  QStackedWidget* BitrateSettingsPage = nullptr;
  QComboBox* bitRateSel = nullptr;
  QComboBox* minBitrateSel = nullptr;
  QComboBox* maxBitrateSel = nullptr;
  QComboBox* samplerateSel = nullptr;
  QComboBox* ChannelModeSel = nullptr;

  QGroupBox* tagPanel = nullptr;
  QLineEdit* titleEdit = nullptr;
  QComboBox* albumEdit = nullptr;
  QComboBox* artistEdit = nullptr;
  QComboBox* GenreEdit = nullptr;
  QComboBox* YearEdit = nullptr;
  QComboBox* commentEdit = nullptr;

  QFileDialog* AddFilesDlg = nullptr;
  TOutFileDialog* outFileDlg = nullptr;

 protected:
  void showEvent(QShowEvent* event) override;
  void reject() override;  // Cancel, Escape and the title bar's close button; not while reading
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void BuildPage1();
  void BuildPage2();
  void BuildPage3();
  void BuildButtons();

  void SetCaptions();
  void Opening();
  void ShowPage(int page);
  void FillPage1();
  void FillPage3();
  void OnNext();
  void OnBack();
  void OnVBRClick();
  bool CheckOutputFile();
  void Finish();
  void ChooseInputFile();
  void ChooseOutputFile();

  bool reading_ = false;  // a picked input file is being read off this thread
};

// The program's task editor: start-up makes it once; a window registers itself when it is made and
// unregisters when it goes.
extern TaddFrm* addFrm;
