// The report windows driven as a user would: the end-of-run report and the missing-inputs list, their
// list scrolled by the keyboard, copied, and saved through the real save dialog.
#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>

#include "tests/support/ModalDriver.h"
#include "tests/support/TestEnvironment.h"
#include "ui/ReportWindow.h"
#include "ui/RunReport.h"
#include "ui/lang.h"

namespace {

int argc = 1;
char programName[] = "test_ui";
char* argv[] = {programName, nullptr};

class ReportWindowTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (!QApplication::instance()) new QApplication(argc, argv);
  }
  void TearDown() override { CloseAllModalWindows(); }
};

// 200 files of a night's run: every tenth failed, every seventh cut short, one skipped.
std::vector<TReportedFile> LongRun() {
  std::vector<TReportedFile> files;
  for (int i = 0; i < 200; ++i) {
    TReportedFile file{"/archive/radio/2003/show " + std::to_string(i) + ".rm", TFileOutcome::Converted, ""};
    if (i % 10 == 3)
      file = {file.File, TFileOutcome::Failed, "The file is damaged.\nIts MP3 file is incomplete."};
    if (i % 7 == 5) file = {file.File, TFileOutcome::ConvertedInPart, "Only 18 s of 182 s could be read."};
    if (i == 199) file = {file.File, TFileOutcome::Skipped, "The conversion is canceled."};
    files.push_back(file);
  }
  return files;
}

}  // namespace

TEST_F(ReportWindowTest, TheHeadlineCountsEachOutcomeAndTheListGroupsTheFilesWithTheirReasons) {
  const std::vector<TReportedFile> files = {
      {"/m/a.rm", TFileOutcome::Converted, ""},
      {"/m/b.rm", TFileOutcome::ConvertedInPart, "Only part of b.rm could be read."},
      {"/m/c.rm", TFileOutcome::Failed, "c.rm cannot be opened.\n(Invalid data)"},
      {"/m/d.rm", TFileOutcome::ConvertedInPart, "Only part of d.rm could be read."},
      {"/m/e.rm", TFileOutcome::Skipped, "The input file is missing."}};
  EXPECT_EQ(RunReportHeadline(files, false),
            "5 files: 1 converted, 2 converted in part, 1 failed, 1 skipped.");
  EXPECT_EQ(RunReportHeadline({files[2]}, true),
            "The conversion is canceled. 1 file: 0 converted, 0 converted in part, 1 failed, 0 skipped.");
  EXPECT_EQ(RunReportList(files).toStdString(),
            "Failed:\n /m/c.rm\n    c.rm cannot be opened.\n    (Invalid data)\n"
            "Converted in part:\n /m/b.rm\n    Only part of b.rm could be read.\n /m/d.rm\n"
            "    Only part of d.rm could be read.\n"
            "Skipped:\n /m/e.rm\n    The input file is missing.");
  EXPECT_EQ(RunReportList({files[0]}), QString());
}

TEST_F(ReportWindowTest, ALongListScrollsByKeyboardCopiesWholeAndEnterAnswersYes) {
  const std::vector<TReportedFile> files = LongRun();
  int scrollMax = 0, scrolledTo = -1;
  QString copied, shown;
  bool allButtonsShown = false, endInSight = false;
  ModalDriver driver;
  driver.Then(
      [&](QWidget* w) {
        auto* report = static_cast<TReportFrm*>(w);
        allButtonsShown = report->copyBtn->isVisible() && report->saveBtn->isVisible() &&
                          report->okBtn->text() == StrYes && report->helpBtn->text() == StrNo &&
                          report->questionLabel->isVisible() && report->okBtn->hasFocus();
        shown = report->Text();
        report->listBox->setFocus();
        QTest::keyClick(report->listBox, Qt::Key_End, Qt::ControlModifier);
        scrollMax = report->listBox->verticalScrollBar()->maximum();
        scrolledTo = report->listBox->verticalScrollBar()->value();
        endInSight = report->listBox->viewport()->rect().contains(report->listBox->cursorRect().center());
        QTest::keyClick(report->listBox, Qt::Key_Tab);  // from the list to Copy
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
        copied = QGuiApplication::clipboard()->text();
        report->okBtn->setFocus();
        QTest::keyClick(report, Qt::Key_Return);
      },
      "TReportFrm");
  EXPECT_EQ(ShowRunReport(files, false, "Would you like to open the output folder?"), 1);
  EXPECT_TRUE(driver.failures.isEmpty()) << driver.failures.join("; ").toStdString();
  EXPECT_TRUE(allButtonsShown);
  EXPECT_GT(scrollMax, 0) << "200 files fit without scrolling?";
  EXPECT_GT(scrolledTo, 0);
  EXPECT_TRUE(endInSight);
  EXPECT_EQ(copied.toStdString(), shown.toStdString());
  EXPECT_TRUE(
      shown.startsWith("200 files: 154 converted, 28 converted in part, 17 failed, 1 skipped.\nFailed:"));
  EXPECT_TRUE(shown.contains(" /archive/radio/2003/show 193.rm\n    The file is damaged.\n"));
  EXPECT_TRUE(shown.endsWith(
      "show 199.rm\n    The conversion is canceled.\nWould you like to open the output folder?"));

  ModalDriver escape;
  escape.Then([](QWidget* w) { QTest::keyClick(w, Qt::Key_Escape); }, "TReportFrm");
  EXPECT_EQ(ShowRunReport(files, false, "Would you like to open the output folder?"), 2);
}

TEST_F(ReportWindowTest, SaveAsWritesTheReportThroughTheSaveDialogAndAFolderThatRefusesIsReported) {
  QTemporaryDir folder;
  ASSERT_TRUE(folder.isValid());
  const QString saved = folder.path() + "/night run";  // the dialog adds .txt
  TReportFrm report(1, "2 files: 1 converted, 0 converted in part, 1 failed, 0 skipped.",
                    "Failed:\n /m/c.rm\n    c.rm cannot be opened.", QString(), StrNo, StrYes);
  report.suggestedFile = folder.path() + "/report.txt";
  QString proposed;
  ModalDriver driver;
  driver.Press("&Save As...", "TReportFrm")
      .Then(
          [&](QWidget* w) {
            auto* dialog = static_cast<QFileDialog*>(w);
            proposed = dialog->selectedFiles().value(0);
            dialog->findChild<QLineEdit*>("fileNameEdit")->setText(saved);
            QTest::keyClick(dialog->findChild<QLineEdit*>("fileNameEdit"), Qt::Key_Return);
          },
          "QFileDialog")
      .Press(StrNo, "TReportFrm");
  EXPECT_EQ(report.Show(), 2);
  EXPECT_TRUE(driver.failures.isEmpty()) << driver.failures.join("; ").toStdString();
  EXPECT_EQ(proposed, folder.path() + "/report.txt");
  EXPECT_EQ(QString::fromStdString(ReadWholeFile(saved.toStdString() + ".txt")), report.Text() + "\n");

  std::string error;
  EXPECT_FALSE(report.SaveTo(folder.path() + "/no such folder/report.txt", &error));
  EXPECT_FALSE(error.empty());
}

TEST_F(ReportWindowTest, MissingInputsAreListedInOneBox) {
  const std::vector<std::string> missing = {"/m/gone one.rm", "/m/gone two.rm", "/net/share/three.rm"};
  QString text;
  ModalDriver driver;
  driver.Then(
      [&](QWidget* w) {
        text = static_cast<TReportFrm*>(w)->Text();
        FindButton(w, StrOK)->click();
      },
      "TReportFrm");
  ShowMissingInputs(missing);
  EXPECT_TRUE(driver.failures.isEmpty()) << driver.failures.join("; ").toStdString();
  EXPECT_EQ(
      text.toStdString(),
      "The system cannot open the device or file specified.\nThese 3 checked input files cannot be found:\n"
      " /m/gone one.rm\n /m/gone two.rm\n /net/share/three.rm");
}
