// A run with two cut files and one that fails opens no box while it goes on: under openbox and under
// twm, its one report at the end is stacked above the progress window (which stays on top) and has the
// keyboard, so that Enter alone answers it.
#include <QDir>
#include <QFile>
#include <iostream>

#include "tests/e2e/E2eFixture.h"
#include "tests/support/CutMusic.h"
#include "tests/support/TestEnvironment.h"

namespace {

const char* Name(WindowManager::Kind kind) {
  return kind == WindowManager::Kind::Openbox ? "openbox" : "twm";
}

}  // namespace

class RunMessages : public E2eTest, public ::testing::WithParamInterface<WindowManager::Kind> {
 protected:
  // Higher is further on top: the window manager's own list where it keeps one, else the X tree's order.
  int Stacking(const QString& window) const {
    return GetParam() == WindowManager::Kind::Openbox ? desktop_.ManagedStackingPosition(window)
                                                      : desktop_.StackingPosition(window);
  }
};

TEST_P(RunMessages, OneReportAtTheEndIsAboveTheProgressWindowAndEnterAnswersIt) {
  TOLVANE_REQUIRE_SAMPLE(sample, "firstrun.rm");
  ASSERT_NO_FATAL_FAILURE(StartWindowManager(GetParam()));
  const std::string cut = MakeCutMusic(MediaPath("").toStdString(), "cut one.rm");
  ASSERT_TRUE(!cut.empty() && QFile::copy(QString::fromStdString(cut), MediaPath("cut two.rm")));
  const QString broken = CopyTestFile("ra144.rm");
  // The desktop's opener, standing in for a file manager: records what it was asked to open.
  const QString opened = MediaPath("opened.txt");
  ASSERT_TRUE(QDir().mkpath(MediaPath("bin")));
  WriteWholeFile(MediaPath("bin/xdg-open").toStdString(),
                 "#!/bin/sh\necho \"$1\" >> '" + opened.toStdString() + "'\n");
  QFile::setPermissions(MediaPath("bin/xdg-open"), QFile::ReadOwner | QFile::ExeOwner);

  StoreSetting("tips", 10000);
  auto program = StartProgram({QString::fromStdString(cut), MediaPath("cut two.rm"), broken},
                              {"PATH=" + MediaPath("bin") + ":" + qEnvironmentVariable("PATH")});
  const QString main = WaitForMainWindow(/*expectTip=*/false);
  ASSERT_FALSE(main.isEmpty());
  ASSERT_NO_FATAL_FAILURE(ConfirmEditor());
  ASSERT_NO_FATAL_FAILURE(AnswerMessage({"alt+y"}));  // the same settings for the other two
  // Added whole, then spoilt: its conversion cannot open it.
  WriteWholeFile(broken.toStdString(), std::string(4096, 'Z'));

  desktop_.Keys(main, {"alt+s"});
  const QString progress = desktop_.WaitForWindow(titles::kProgress);
  ASSERT_FALSE(progress.isEmpty()) << "the progress window did not appear";
  QStringList answered;
  while (!desktop_.Windows(titles::kProgress).isEmpty() && answered.size() < 8) {
    const QString box = desktop_.WaitForWindow(titles::kMessage, 120000);
    if (box.isEmpty()) break;
    SCOPED_TRACE(QString("box %1 under %2").arg(answered.size() + 1).arg(Name(GetParam())).toStdString());
    if (!desktop_.Windows(titles::kProgress).isEmpty()) {
      EXPECT_GT(Stacking(box), Stacking(progress)) << "the message opened beneath the progress window";
    }
    EXPECT_TRUE(desktop_.KeysUntilHidden(box, {"Return"}, DesktopDriver::kWaitMs, /*whereFocused=*/true))
        << "Enter did not reach the message; the keyboard is at " << desktop_.FocusedWindow().toStdString();
    answered << box;
    // The next box, or the progress window's close, follows the answer.
    desktop_.WaitUntilGone(titles::kMessage, 2000);
  }
  ASSERT_TRUE(desktop_.WaitUntilGone(titles::kProgress)) << "the run did not end";
  std::cout << answered.size() << " boxes answered under " << Name(GetParam()) << "\n";
  // No failure or far-short warning of its own: one report for all three; Enter there said yes to
  // opening the folder.
  EXPECT_EQ(answered.size(), 1);
  EXPECT_TRUE(QFile::exists(opened)) << "the report's Yes was not pressed";
  ASSERT_NO_FATAL_FAILURE(CloseProgram(*program));
}

INSTANTIATE_TEST_SUITE_P(WindowManagers, RunMessages,
                         ::testing::Values(WindowManager::Kind::Openbox, WindowManager::Kind::Twm),
                         [](const ::testing::TestParamInfo<WindowManager::Kind>& info) {
                           return std::string(Name(info.param));
                         });
