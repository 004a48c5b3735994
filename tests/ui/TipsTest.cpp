// The tips window on real tips files, driven through its buttons while it is modal.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>

#include "core/Profile.h"
#include "core/Settings.h"
#include "tests/support/ModalDriver.h"
#include "tests/support/TestEnvironment.h"
#include "ui/tips.h"

namespace {

int argc = 1;
char programName[] = "test_ui_windows";
char* argv[] = {programName, nullptr};

class TipsTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (!QApplication::instance()) new QApplication(argc, argv);
  }
  void SetUp() override {
    ASSERT_TRUE(root.isValid());
    QDir(root.path()).mkpath("bin");
    ProgramDir = root.path().toStdString() + "/bin/";
    AssignProductProfile();
    tips = 0;
  }
  std::string TipsPath() const { return ProgramDir + "tips-rm.txt"; }
  void WriteTips(const std::string& bytes) const { WriteWholeFile(TipsPath(), bytes); }
  // Shows the window modally and lets the driver act on it; returns the window's result.
  int ShowModally(TTipsFrm& window, ModalDriver& driver) {
    const int result = window.exec();
    EXPECT_TRUE(driver.failures.isEmpty()) << driver.failures.join("; ").toStdString();
    return result;
  }

  QTemporaryDir root;
};

TEST_F(TipsTest, TheFirstStartShowsTheSecondLineAndEachStartTheNext) {
  WriteTips("First tip\r\nSecond tip\r\nThird tip");  // the last line has no line end
  {
    TTipsFrm window;
    EXPECT_EQ(window.TipList().size(), 3u);
    EXPECT_EQ(window.TipLabel->text(), "Second tip");
    EXPECT_EQ(tips, 1);
  }
  {
    TTipsFrm window;
    EXPECT_EQ(window.TipLabel->text(), "Third tip");
    EXPECT_EQ(tips, 2);
  }
  // From the last position the next start wraps to the first line.
  TTipsFrm window;
  EXPECT_EQ(window.TipLabel->text(), "First tip");
  EXPECT_EQ(tips, 0);
}

TEST_F(TipsTest, APositionPastTheEndOrBelowZeroStartsAgain) {
  WriteTips("One\nTwo\nThree\n");
  tips = 57;  // the file was shortened since
  {
    TTipsFrm window;
    EXPECT_EQ(window.TipLabel->text(), "One");
    EXPECT_EQ(tips, 0);
  }
  {
    tips = -5;  // never written by the program; it would give a negative position: counts as 0
    TTipsFrm window;
    EXPECT_EQ(window.TipLabel->text(), "Two");
    EXPECT_EQ(tips, 1);
  }
  tips = -1;  // the next position is 0: the first tip
  TTipsFrm window;
  EXPECT_EQ(window.TipLabel->text(), "One");
  EXPECT_EQ(tips, 0);
}

TEST_F(TipsTest, AFileOfOneLineShowsThatLine) {
  WriteTips("The only tip\n");
  TTipsFrm window;
  EXPECT_EQ(window.TipLabel->text(), "The only tip");
  EXPECT_EQ(tips, 0);
}

TEST_F(TipsTest, NextTipStepsOnAndWrapsAfterTheLastTip) {
  WriteTips("A\nB\nC\n");
  TTipsFrm window;
  QStringList shown{window.TipLabel->text()};
  ModalDriver driver;
  for (int i = 0; i < 3; ++i)
    driver.Press("&Next Tip").Then([&](QWidget*) { shown << window.TipLabel->text(); });
  driver.Press("&OK");
  EXPECT_EQ(ShowModally(window, driver), 1);
  EXPECT_EQ(shown, QStringList({"B", "C", "A", "B"}));
  EXPECT_EQ(tips, 1);
}

TEST_F(TipsTest, WithoutTipsTheWindowSaysSoAndNextTipKeepsSaying) {
  // No file, an empty file, and a folder where the file should be.
  for (int variant = 0; variant < 3; ++variant) {
    SCOPED_TRACE(variant);
    QDir(QString::fromStdString(ProgramDir)).rmdir("tips-rm.txt");
    if (variant == 1) WriteTips("");
    if (variant == 2) {
      QFile::remove(QString::fromStdString(TipsPath()));
      QDir(QString::fromStdString(ProgramDir)).mkdir("tips-rm.txt");
    }
    tips = 3;
    TTipsFrm window;
    EXPECT_EQ(window.TipLabel->text(), "No tips found!");
    QString afterNext;
    ModalDriver driver;
    driver.Press("&Next Tip").Then([&](QWidget*) { afterNext = window.TipLabel->text(); }).Press("&OK");
    ShowModally(window, driver);
    EXPECT_EQ(afterNext, "No tips found!");
    EXPECT_EQ(tips, 0);
  }
}

TEST_F(TipsTest, TheTipsFileIsFoundInTheInstalledDataFolder) {
  QDir(root.path()).mkpath("share/tolvane");
  WriteWholeFile(root.path().toStdString() + "/share/tolvane/tips-rm.txt", "Installed one\nInstalled two\n");
  TTipsFrm window;
  EXPECT_EQ(window.TipLabel->text(), "Installed two");
}

TEST_F(TipsTest, UntickingAndOkSwitchesTipsOffButTheTitleBarKeepsThemOn) {
  WriteTips("A\nB\n");
  {
    TTipsFrm window;
    EXPECT_TRUE(window.ifShowTips->isChecked());
    ModalDriver driver;
    driver.Then([&](QWidget*) { window.ifShowTips->setChecked(false); }).CloseByTitleBar();
    ShowModally(window, driver);
    EXPECT_EQ(tips, 1);
  }
  {
    TTipsFrm window;
    ModalDriver driver;
    driver.Press("&OK");  // still ticked
    EXPECT_EQ(ShowModally(window, driver), 1);
    EXPECT_EQ(tips, 0);
  }
  TTipsFrm window;
  ModalDriver driver;
  driver.Then([&](QWidget*) { window.ifShowTips->setChecked(false); }).Press("&OK");
  ShowModally(window, driver);
  EXPECT_EQ(tips, 10000);
  // Switched off: a further step changes nothing.
  const QString shown = window.TipLabel->text();
  window.ShowNextTip();
  EXPECT_EQ(tips, 10000);
  EXPECT_EQ(window.TipLabel->text(), shown);
}

TEST_F(TipsTest, TheWindowRegistersItselfAndShowsItsCaptions) {
  WriteTips("A\nB\n");
  EXPECT_EQ(TipsFrm, nullptr);
  {
    TTipsFrm window;
    EXPECT_EQ(TipsFrm, &window);
    EXPECT_EQ(window.windowTitle(), "Tip of the Day");
    EXPECT_EQ(window.Label1->text(), "Did you know?");
    EXPECT_EQ(window.ifShowTips->text(), "Show &Tips on Startup");
    EXPECT_EQ(window.skinButton1->text(), "&Next Tip");
    EXPECT_EQ(window.skinButton2->text(), "&OK");
    EXPECT_EQ(window.TipLabel->size(), QSize(277, 129));
    EXPECT_FALSE(window.Image1->pixmap().isNull());
  }
  EXPECT_EQ(TipsFrm, nullptr);
}

TEST_F(TipsTest, BadTipsFilesGiveReadableTipsAndAQuickWindow) {
  // Windows-1252 bytes, NUL bytes, something that looks like markup, and one line of ten megabytes.
  const std::string huge(10 * 1024 * 1024, 'x');
  std::string bytes = "skipped\nCaf\xe9 cr\xe8me\r\nA";
  bytes += '\0';
  bytes += "B\n<b>not bold</b> & more\n" + huge + "\n";
  WriteTips(bytes);
  TTipsFrm window;
  EXPECT_EQ(window.TipLabel->text().toStdString(), "Caf\u00e9 cr\u00e8me");
  QStringList shown;
  ModalDriver driver;
  for (int i = 0; i < 3; ++i)
    driver.Press("&Next Tip").Then([&](QWidget*) { shown << window.TipLabel->text(); });
  driver.Press("&OK");
  ShowModally(window, driver);
  ASSERT_EQ(shown.size(), 3);
  EXPECT_EQ(shown[0], "A B");
  EXPECT_EQ(shown[1], "<b>not bold</b> & more");  // plain text, shown as written
  EXPECT_EQ(window.CurrentTip().size(), huge.size());
  // The label shows the start of the long line only, with break chances, and an ellipsis at the cut.
  QString shownLong = shown[2];
  EXPECT_TRUE(shownLong.endsWith(QChar(0x2026)));
  shownLong.remove(QChar(0x200B));
  EXPECT_EQ(shownLong.size(), TTipsFrm::TipDisplayLimit + 1);
}

TEST_F(TipsTest, EveryShippedTipFitsTheTipLabelWhole) {
  const std::string shipped = ReadWholeFile(SourceDir() + "/data/tips-rm.txt");
  WriteTips(shipped);
  tips = -1;
  TTipsFrm window;
  const std::vector<std::string> list = window.TipList();
  EXPECT_GE(list.size(), 15u);
  for (const std::string& tip : list) {
    EXPECT_FALSE(tip.empty());
    window.TipLabel->setText(DisplayedTip(tip));
    EXPECT_LE(window.TipLabel->heightForWidth(window.TipLabel->width()), window.TipLabel->height()) << tip;
  }
}

TEST(DisplayedTip, CutsAtACharacterAndBreaksOnlyLongRuns) {
  EXPECT_EQ(DisplayedTip("Drop files on the list."), "Drop files on the list.");
  // A cut never splits a character made of two UTF-16 units.
  std::string emoji = "a";  // puts the first unit of a pair right at the cut
  for (int i = 0; i < TTipsFrm::TipDisplayLimit; ++i) emoji += "\xF0\x9F\x8E\xB5 ";
  QString shown = DisplayedTip(emoji);
  ASSERT_TRUE(shown.endsWith(QChar(0x2026)));
  shown.chop(1);
  EXPECT_FALSE(shown.back().isHighSurrogate());
  EXPECT_EQ(shown.toUtf8().toStdString(), emoji.substr(0, shown.toUtf8().size()));
  const QString run = DisplayedTip(std::string(65, 'y'));
  EXPECT_EQ(run.count(QChar(0x200B)), 2);
}

}  // namespace
