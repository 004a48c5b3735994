// The about window: its captions, the version as it is parsed, and the links and buttons that open
// the maker's pages, seen through the desktop's URL handlers.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDesktopServices>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTextDocument>
#include <QUrl>

#include "core/Profile.h"
#include "tests/support/ModalDriver.h"
#include "tests/support/UrlRecorder.h"
#include "ui/about.h"

namespace {

int argc = 1;
char programName[] = "test_ui_windows";
char* argv[] = {programName, nullptr};

QString PlainText(const QLabel* label) {
  QTextDocument document;
  document.setHtml(label->text());
  return document.toPlainText();
}

// Clicks a label whose whole text is one link, in the middle of its text.
void ClickLink(QLabel* label) {
  const QPoint at(
      label->contentsMargins().left() + label->fontMetrics().horizontalAdvance(PlainText(label)) / 2,
      label->height() / 2);
  QTest::mouseClick(label, Qt::LeftButton, Qt::NoModifier, at);
}

class AboutTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (!QApplication::instance()) new QApplication(argc, argv);
  }
  void SetUp() override {
    ProgramDir = "/opt/tolvane/";
    AssignProductProfile();
    SetApplicationTitle();
    for (const char* scheme : {"file", "https", "mailto"})
      QDesktopServices::setUrlHandler(scheme, &recorder, "open");
  }
  void TearDown() override {
    for (const char* scheme : {"file", "https", "mailto"}) QDesktopServices::unsetUrlHandler(scheme);
  }
  UrlRecorder recorder;
};

TEST(VersionCaptions, FollowTheVersionValue) {
  const TVersionCaptions four = VersionCaptions("3.4.0.217");
  EXPECT_EQ(four.version, "3.4");
  EXPECT_EQ(four.build, "(Build 217)");
  const TVersionCaptions three = VersionCaptions("2.5.31");
  EXPECT_EQ(three.version, "2");
  EXPECT_EQ(three.build, "(Build 31)");
  const TVersionCaptions two = VersionCaptions("1.9");
  EXPECT_EQ(two.version, "1");
  EXPECT_EQ(two.build, "(Build 9)");
  const TVersionCaptions five = VersionCaptions("1.2.3.4.5");
  EXPECT_EQ(five.version, "1.2.3");
  EXPECT_EQ(five.build, "(Build 5)");
  const TVersionCaptions none = VersionCaptions("");
  EXPECT_EQ(none.version, "No info");
  EXPECT_FALSE(none.build.has_value());
  // No dot: all of it is the version, and there is no build to show.
  const TVersionCaptions plain = VersionCaptions("2026beta");
  EXPECT_EQ(plain.version, "2026beta");
  EXPECT_EQ(plain.build, "");
}

TEST(VersionCaptions, TheProgramCarriesTheProjectVersion) {
  EXPECT_EQ(ProgramVersion(), TOLVANE_PROJECT_VERSION);
}

TEST_F(AboutTest, ShowsEveryCaptionAndTheProgramsVersion) {
  TaboutFrm window;
  QStringList seen;
  ModalDriver driver;
  driver.Then([&](QWidget* w) {
    EXPECT_EQ(w, &window);
    for (QLabel* label :
         {window.titleLabel, window.versionLabel, window.versionLabel2, window.buildLabel,
          window.HomepageLabel, window.supportEmailLabel, window.copyLabel1, window.copyLabel2})
      seen << label->text();
    seen << PlainText(window.homePageUrlLabel) << PlainText(window.support_Email);
    for (QPushButton* button : {window.homePageBtn, window.helpBtn, window.okBtn}) seen << button->text();
  });
  driver.Press("&OK");
  EXPECT_EQ(window.exec(), 1);
  EXPECT_TRUE(driver.failures.isEmpty()) << driver.failures.join("; ").toStdString();
  const TVersionCaptions compiled = VersionCaptions(TOLVANE_PROJECT_VERSION);
  EXPECT_EQ(seen, QStringList({"Tolvane", "Version:", compiled.version, *compiled.build,
                               "Home Page:", "Support Email:", "Copyright (C) 2026 Zarnok Software",
                               "All Rights Reserved", "https://www.zarnok.example/tolvane",
                               "support@zarnok.example", "Home &Page", "&Help", "&OK"}));
  EXPECT_EQ(window.windowTitle(), "About Tolvane");
  EXPECT_EQ(window.size(), QSize(471, 380));
  EXPECT_EQ(window.Image1->pixmap().size(), QSize(166, 308));
}

TEST_F(AboutTest, VersionLabelsFollowTheValueAndKeepTheBuildWithoutOne) {
  TaboutFrm window;
  window.ShowVersion("3.4.0.217");
  EXPECT_EQ(window.versionLabel2->text(), "3.4");
  EXPECT_EQ(window.buildLabel->text(), "(Build 217)");
  window.ShowVersion("2.5.31");
  EXPECT_EQ(window.versionLabel2->text(), "2");
  EXPECT_EQ(window.buildLabel->text(), "(Build 31)");
  window.ShowVersion("");
  EXPECT_EQ(window.versionLabel2->text(), "No info");
  EXPECT_EQ(window.buildLabel->text(), "(Build 31)");
  // Markup in a version is shown as written.
  window.ShowVersion("<b>7</b>");
  EXPECT_EQ(window.versionLabel2->text(), "<b>7</b>");
  EXPECT_EQ(window.versionLabel2->textFormat(), Qt::PlainText);
  EXPECT_EQ(window.buildLabel->text(), "");
}

TEST_F(AboutTest, LinksAndButtonsOpenTheMakersPagesAndTheHelpAndOnlyOkCloses) {
  TaboutFrm window;
  bool openAfterHelp = false;
  ModalDriver driver;
  driver.Press("Home &Page")
      .Then([&](QWidget*) { ClickLink(window.homePageUrlLabel); })
      .Then([&](QWidget*) { ClickLink(window.support_Email); })
      .Press("&Help")
      .Then([&](QWidget* w) { openAfterHelp = w == &window && window.isVisible(); })
      .Press("&OK");
  EXPECT_EQ(window.exec(), 1);
  EXPECT_TRUE(driver.failures.isEmpty()) << driver.failures.join("; ").toStdString();
  EXPECT_TRUE(openAfterHelp);
  ASSERT_EQ(recorder.opened.size(), 4);
  EXPECT_EQ(recorder.opened[0], QUrl("https://www.zarnok.example/tolvane"));
  EXPECT_EQ(recorder.opened[1], QUrl("https://www.zarnok.example/tolvane"));
  EXPECT_EQ(recorder.opened[2], QUrl("mailto:support@zarnok.example"));
  EXPECT_EQ(recorder.opened[3], QUrl::fromLocalFile("/opt/tolvane/tolvane.html"));
}

TEST_F(AboutTest, TheTitleBarClosesWithoutResultOne) {
  TaboutFrm window;
  ModalDriver driver;
  driver.CloseByTitleBar();
  EXPECT_NE(window.exec(), 1);
  EXPECT_TRUE(recorder.opened.isEmpty());
}

}  // namespace
