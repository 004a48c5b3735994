#include <gtest/gtest.h>

#include <QApplication>
#include <QSettings>

#include "core/Profile.h"
#include "core/Settings.h"
#include "core/TaskList.h"
#include "tests/support/TestEnvironment.h"
#include "app/MainWindow.h"

namespace {

int argc = 1;
char programName[] = "test_ui";
char* argv[] = {programName, nullptr};

class MainWindowTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (!QApplication::instance()) new QApplication(argc, argv);
  }
  void SetUp() override {
    ProgramDir = "/opt/tolvane/";
    AssignProductProfile();
    SetApplicationTitle();
    LoadSettings();
  }
  ScopedConfigHome home;
};

TEST_F(MainWindowTest, CaptionIsTheTitleThreeBlanksAndTheMakerCredit) {
  TmainFrm window;
  EXPECT_EQ(window.windowTitle(), QString("Tolvane   (") + MakerCredit + ")");
  EXPECT_TRUE(ProbeDone.load());
}

TEST_F(MainWindowTest, ClosingSavesTheSettings) {
  TmainFrm window;
  window.show();
  DefaultSettings.AudioBitrate = 96;
  tips = 10000;
  EXPECT_TRUE(window.close());
  QSettings stored(QString::fromStdString(home.SettingsFile()), QSettings::IniFormat);
  EXPECT_EQ(stored.value("AudioBitrate").toInt(), 96);
  EXPECT_EQ(stored.value("tips").toInt(), 10000);
}

TEST_F(MainWindowTest, ClosingIsRefusedWhileAFileIsRead) {
  TmainFrm window;
  window.show();
  ProbeDone.store(false);
  DefaultSettings.AudioBitrate = 64;
  EXPECT_FALSE(window.close());
  EXPECT_TRUE(window.isVisible());
  ProbeDone.store(true);
  QSettings stored(QString::fromStdString(home.SettingsFile()), QSettings::IniFormat);
  EXPECT_EQ(stored.value("AudioBitrate").toInt(), 192);
}

}  // namespace
