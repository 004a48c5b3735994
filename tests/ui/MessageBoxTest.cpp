// The message box driven as a user would: buttons pressed by a timer while the window is modal.
#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QDesktopServices>
#include <QDialog>
#include <QFontMetrics>
#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QUrl>

#include "core/Profile.h"
#include "tests/support/ModalDriver.h"
#include "tests/support/UrlRecorder.h"
#include "ui/lang.h"
#include "ui/msgbox.h"

namespace {

int argc = 1;
char programName[] = "test_ui";
char* argv[] = {programName, nullptr};

class MessageBoxTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (!QApplication::instance()) new QApplication(argc, argv);
  }
  void SetUp() override {
    ProgramDir = "/opt/tolvane/";
    AssignProductProfile();
    QDesktopServices::setUrlHandler("file", &recorder, "open");
  }
  void TearDown() override { QDesktopServices::unsetUrlHandler("file"); }
  UrlRecorder recorder;
  TmsgFrm window;  // registers itself as the program's message window
};

TEST_F(MessageBoxTest, FirstButtonGivesOneSecondGivesTwoAndTheTitleBarCountsAsNo) {
  ModalDriver driver;
  driver.Press(StrYes).Press(StrNo).CloseByTitleBar();
  EXPECT_EQ(ShowMessageBox(mkQuestion, "Replace?", StrNo, StrYes), 1);
  EXPECT_EQ(ShowMessageBox(mkQuestion, "Replace?", StrNo, StrYes), 2);
  EXPECT_EQ(ShowMessageBox(mkQuestion, "Replace?", StrNo, StrYes), 2);
  EXPECT_TRUE(driver.failures.isEmpty()) << driver.failures.join("; ").toStdString();
  EXPECT_EQ(window.windowTitle(), "   Message ...");
}

TEST_F(MessageBoxTest, HelpOpensTheHelpAndKeepsTheWindowOpen) {
  ModalDriver driver;
  bool stillOpen = false;
  driver.Press(StrHelp).Then([&](QWidget* w) {
    stillOpen = w == &window && w->isVisible();
    FindButton(w, StrOK)->click();
  });
  EXPECT_EQ(ShowMessageBox(mkError, "The file cannot be read.", StrHelp, StrOK), 1);
  EXPECT_TRUE(stillOpen);
  ASSERT_EQ(recorder.opened.size(), 1);
  EXPECT_EQ(recorder.opened[0], QUrl::fromLocalFile("/opt/tolvane/tolvane.html"));
}

TEST_F(MessageBoxTest, ASecondButtonThatDiffersFromHelpOnlyInCaseAnswersNo) {
  ModalDriver driver;
  driver.Press("&help");
  EXPECT_EQ(ShowMessageBox(mkInformation, "Text", "&help", StrOK), 2);
  EXPECT_TRUE(recorder.opened.isEmpty());
}

TEST_F(MessageBoxTest, EachMessageShowsTheIconOfItsKind) {
  QList<QImage> shown;
  ModalDriver driver;
  for (int k = 0; k < 4; ++k) {
    driver.Then([&](QWidget* w) {
      shown << static_cast<TmsgFrm*>(w)->icon->pixmap().toImage();
      static_cast<TmsgFrm*>(w)->okBtn->click();
    });
  }
  for (int kind : {mkError, mkInformation, mkQuestion, mkWarning})
    ShowMessageBox(kind, "Text", StrHelp, StrOK);
  ASSERT_EQ(shown.size(), 4);
  const QColor expected[] = {QColor(0xC6, 0x28, 0x28), QColor(0x15, 0x65, 0xC0), QColor(0x2E, 0x7D, 0x32),
                             QColor(0xF2, 0xB7, 0x05)};
  for (int k = 0; k < 4; ++k) {
    // A corner of the square carries the kind's colour; the centre carries the white sign.
    EXPECT_EQ(shown[k].pixelColor(6, 6).rgb(), expected[k].rgb()) << "kind " << k;
    for (int j = 0; j < k; ++j) EXPECT_NE(shown[k], shown[j]) << "kinds " << j << " and " << k;
  }
}

TEST_F(MessageBoxTest, ALineBreakStartsASecondLineAndThePathWraps) {
  const std::string path = "/music/" + std::string(60, 'x') + "/" + std::string(60, 'y') + ".rm";
  int height = 0, lineHeight = 0;
  QString text;
  ModalDriver driver;
  driver.Then([&](QWidget* w) {
    auto* box = static_cast<TmsgFrm*>(w);
    text = box->Text();
    const QFontMetrics metrics(box->msgLabel->font());
    lineHeight = metrics.lineSpacing();
    height = box->msgLabel->heightForWidth(box->msgLabel->width());
    box->okBtn->click();
  });
  ShowMessageBox(mkError, std::string("The following file can NOT be read correctly.\n ") + path, StrHelp,
                 StrOK);
  EXPECT_EQ(text.toStdString(), "The following file can NOT be read correctly.\n " + path);
  // The first text line and at least two lines of path, none of it running off to the right.
  EXPECT_GE(height, 3 * lineHeight);
}

TEST_F(MessageBoxTest, APathCopiedOutOfAMessageIsThePlainPath) {
  const QString path = "/home/user/Music/Old Collection/1998/Concert/part 1.rm";
  const QString text = QString(StrCannotRead) + "\n " + path;
  QString copied, selection;
  ModalDriver driver;
  driver.Then([&](QWidget*) {
    // Selected with the mouse across the whole text, then Ctrl+C.
    QLabel* label = window.msgLabel;
    const QRect area = label->contentsRect();
    QTest::mousePress(label, Qt::LeftButton, {}, area.topLeft() + QPoint(1, 2));
    QTest::mouseMove(label, area.bottomRight() - QPoint(1, 1));
    QTest::mouseRelease(label, Qt::LeftButton, {}, area.bottomRight() - QPoint(1, 1));
    selection = label->selectedText();
    QTest::keyClick(label, Qt::Key_C, Qt::ControlModifier);
    copied = QGuiApplication::clipboard()->text();
    FindButton(&window, StrOK)->click();
  });
  QGuiApplication::clipboard()->clear();
  EXPECT_EQ(ShowMessageBox(mkError, text.toStdString(), StrHelp, StrOK), 1);
  EXPECT_TRUE(driver.failures.isEmpty()) << driver.failures.join("; ").toStdString();
  EXPECT_FALSE(selection.isEmpty());
  // The whole text was selected: the copy is the message as it was given, path and all.
  EXPECT_TRUE(selection.contains(QChar(0x200B)));
  EXPECT_EQ(copied.toStdString(), text.toStdString());
  // A text copied from elsewhere is left as it is.
  const QString other = QString("a") + QChar(0x200B) + "b";
  QGuiApplication::clipboard()->setText(other);
  EXPECT_EQ(QGuiApplication::clipboard()->text(), other);
}

TEST_F(MessageBoxTest, AMessageWhileAnotherIsOpenGetsItsOwnWindow) {
  ModalDriver driver;
  int inner = 0;
  driver.Then([&](QWidget* w) {
    EXPECT_EQ(w, &window);
    driver.Then([&](QWidget* second) {
      EXPECT_NE(second, &window);
      FindButton(second, StrOK)->click();
    });
    inner = ShowMessageBox(mkWarning, "Second", StrHelp, StrOK);
    window.okBtn->click();
  });
  EXPECT_EQ(ShowMessageBox(mkInformation, "First", StrHelp, StrOK), 1);
  EXPECT_EQ(inner, 1);
}

}  // namespace

// A message during a run belongs to the progress window, which stays on top: the message is its
// transient and stays on top too, so no window manager puts it beneath; afterwards it is free again.
TEST_F(MessageBoxTest, AMessageBelongsToTheModalWindowOnTopAndStaysOnTopWithIt) {
  QDialog progress;
  progress.setWindowFlags(Qt::Dialog | Qt::WindowStaysOnTopHint);
  progress.setWindowModality(Qt::ApplicationModal);
  progress.show();
  QWidget* owner = nullptr;
  bool onTop = false, active = false;
  ModalDriver driver;
  driver.Then([&](QWidget* w) {
    owner = w->parentWidget();
    onTop = w->windowFlags().testFlag(Qt::WindowStaysOnTopHint);
    active = QApplication::activeWindow() == w;
    FindButton(w, StrOK)->click();
  });
  EXPECT_EQ(ShowMessageBox(mkWarning, "Only part of the file could be read.", StrHelp, StrOK), 1);
  EXPECT_TRUE(driver.failures.isEmpty()) << driver.failures.join("; ").toStdString();
  EXPECT_EQ(owner, &progress);
  EXPECT_TRUE(onTop);
  EXPECT_TRUE(active);
  EXPECT_EQ(window.parentWidget(), nullptr);
  EXPECT_FALSE(window.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
}
