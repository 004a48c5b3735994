// The report windows driven as a user would: a long list scrolled by the keyboard, copied, and saved
// through the real save dialog.
#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QFileDialog>
#include <QLineEdit>
#include <QTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>

#include "tests/support/ModalDriver.h"
#include "tests/support/TestEnvironment.h"
#include "ui/ReportWindow.h"
#include "ui/RunReport.h"
#include "ui/lang.h"
#include "ui/msgbox.h"

namespace {

int argc = 1;
char programName[] = "test_ui";
char* argv[] = {programName, nullptr};

class ReportWindowTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (!QApplication::instance()) new QApplication(argc, argv);
  }
};

}  // namespace

TEST_F(ReportWindowTest, TheTextsCountEachOutcomeAndListTheFilesNotWholeOrNotedWithTheirReasons) {
  const std::vector<TReportedFile> files = {
      {"/m/a.rm", TFileOutcome::Converted, ""},
      {"/m/b.rm", TFileOutcome::ConvertedInPart, "Cut short."},
      {"/m/c.rm", TFileOutcome::Failed, "Cannot be opened.\n(Invalid data)"},
      {"/m/d.rm", TFileOutcome::Converted, "Its lower rate."},
      {"/m/e.rm", TFileOutcome::Skipped, "Missing."}};
  EXPECT_EQ(RunReportHeadline(files, false),
            "5 files: 2 converted, 1 converted in part, 1 failed, 1 skipped.");
  EXPECT_EQ(RunReportHeadline({files[2]}, true),
            "The conversion is canceled. 1 file: 0 converted, 0 converted in part, 1 failed, 0 skipped.");
  EXPECT_EQ(
      RunReportList(files).toStdString(),
      "Failed:\n /m/c.rm\n    Cannot be opened.\n    (Invalid data)\n"
      "Converted in part:\n /m/b.rm\n    Cut short.\nConverted with a note:\n /m/d.rm\n    Its lower rate.\n"
      "Skipped:\n /m/e.rm\n    Missing.");
  EXPECT_EQ(MissingInputsHeadline(2) + "\n" + MissingInputsList({"/m/x.rm", "/n/y.rm"}),
            "The system cannot open the device or file specified.\n"
            "These 2 checked input files cannot be found:\n /m/x.rm\n /n/y.rm");
}

TEST_F(ReportWindowTest, ALongListScrollsByKeyboardCopiesWholeAndEnterAnswersYes) {
  std::vector<TReportedFile> files(200, {"", TFileOutcome::Failed, "Damaged."});
  for (size_t i = 0; i < files.size(); ++i) files[i].File = "/archive/show " + std::to_string(i) + ".rm";
  bool scrolled = false, endInSight = false;
  QString copied, shown;
  ModalDriver driver;
  driver.Then(
      [&](QWidget* w) {
        auto* report = static_cast<TReportFrm*>(w);
        shown = report->Text();
        QScrollBar* bar = report->listBox->verticalScrollBar();
        report->listBox->setFocus();
        QTest::keyClick(report->listBox, Qt::Key_End, Qt::ControlModifier);
        scrolled = bar->maximum() > 0 && bar->value() > 0;
        endInSight = report->listBox->viewport()->rect().contains(report->listBox->cursorRect().center());
        QTest::keyClick(report->listBox, Qt::Key_Tab);  // on to Copy
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
        copied = QGuiApplication::clipboard()->text();
        report->okBtn->setFocus();
        QTest::keyClick(report, Qt::Key_Return);
      },
      "TReportFrm");
  EXPECT_EQ(ShowRunReport(files, false, StrAskOpenFolder), 1);
  EXPECT_TRUE(driver.failures.isEmpty()) << driver.failures.join("; ").toStdString();
  EXPECT_TRUE(scrolled && endInSight);
  EXPECT_EQ(copied.toStdString(), shown.toStdString());
  EXPECT_TRUE(shown.endsWith(" /archive/show 199.rm\n    Damaged.\n" + QString(StrAskOpenFolder)));
}

TEST_F(ReportWindowTest, SaveAsWritesTheReportThroughTheSaveDialog) {
  QTemporaryDir folder;
  TReportFrm report(mkInformation, "Head.", "Failed:\n /m/c.rm", QString(), StrNo, StrYes);
  report.suggestedFile = folder.path() + "/report.txt";
  QString proposed;
  ModalDriver driver;
  driver.Press("&Save As...", "TReportFrm")
      .Then(
          [&](QWidget* w) {
            proposed = static_cast<QFileDialog*>(w)->selectedFiles().value(0);
            auto* name = w->findChild<QLineEdit*>("fileNameEdit");
            name->setText(folder.path() + "/night run");  // the dialog adds .txt
            QTest::keyClick(name, Qt::Key_Return);
          },
          "QFileDialog")
      .Press(StrNo, "TReportFrm");
  EXPECT_EQ(report.Show(), 2);
  EXPECT_TRUE(driver.failures.isEmpty()) << driver.failures.join("; ").toStdString();
  EXPECT_EQ(proposed, folder.path() + "/report.txt");
  EXPECT_EQ(ReadWholeFile(folder.path().toStdString() + "/night run.txt"), "Head.\nFailed:\n /m/c.rm\n");
}
