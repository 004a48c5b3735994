// The windows as a desktop treats them: minimised and restored through a window manager (twm), and
// closed by the window manager's close request (WM_DELETE_WINDOW) while a run blocks the main window.
#include <QFile>

#include "tests/e2e/E2eFixture.h"

class DesktopWindows : public E2eTest {
 protected:
  // Starts the program on a recording of that length with the tip switched off, confirms its editor
  // and returns the main window.
  QString StartWithRecording(std::unique_ptr<ProgramRun>& program, int seconds) {
    const QString recording = MediaPath("long.rm");
    EXPECT_TRUE(MakeRecording(recording, seconds));
    StoreSetting("tips", 10000);
    program = StartProgram({recording});
    const QString main = WaitForMainWindow(/*expectTip=*/false);
    if (!main.isEmpty()) ConfirmEditor();
    return main;
  }
  // Presses Start and returns the progress window.
  QString StartRun(const QString& main) {
    desktop_.Keys(main, {"alt+s"});
    return desktop_.WaitForWindow(titles::kProgress);
  }
  // Pause: the run then cannot end on its own while the test goes on, however fast the machine
  // converts (a 600-second recording takes well under a minute here).
  void PauseRun(const QString& progress) { desktop_.Keys(progress, {"alt+p"}); }
  // Cancel, "Are you sure to cancel the conversion?" yes, the end message no, and the window closes.
  void CancelRun(const QString& progress) {
    desktop_.Keys(progress, {"alt+c"});
    ASSERT_NO_FATAL_FAILURE(AnswerMessage({"alt+y"}));
    ASSERT_NO_FATAL_FAILURE(AnswerMessage({"alt+n"}));
    ASSERT_TRUE(desktop_.WaitUntilGone(titles::kProgress));
  }
  // Both windows on screen, the progress window above the main window.
  void ExpectBothShownProgressOnTop(const QString& main, const QString& progress) {
    EXPECT_FALSE(desktop_.WaitForWindow(titles::kProgress).isEmpty())
        << "the progress window stays minimised";
    EXPECT_FALSE(desktop_.WaitForWindow(titles::kMain).isEmpty()) << "the main window stays minimised";
    EXPECT_GT(desktop_.StackingPosition(progress), desktop_.StackingPosition(main));
  }
};

TEST_F(DesktopWindows, RestoringTheMinimisedMainWindowKeepsItsSelectionAndButtons) {
  ASSERT_NO_FATAL_FAILURE(StartWindowManager());
  const QString file = CopyTestFile("ra144.rm");
  StoreSetting("tips", 10000);
  auto program = StartProgram({file});
  const QString main = WaitForMainWindow(/*expectTip=*/false);
  ASSERT_FALSE(main.isEmpty());
  ASSERT_NO_FATAL_FAILURE(ConfirmEditor());

  // A click on the row (the list's first row, on its text) selects it.
  desktop_.ClickIn(main, QPoint(120, 60));
  ASSERT_TRUE(desktop_.Minimise(main)) << "the window manager did not minimise the main window";
  ASSERT_TRUE(desktop_.Restore(main)) << "the window manager did not restore the main window";

  // Still selected, so Edit is still enabled and opens the task.
  desktop_.Keys(main, {"alt+e"});
  const QString editor = desktop_.WaitForWindow(titles::kEditor);
  ASSERT_FALSE(editor.isEmpty()) << "after the restore, Edit did nothing: the selection was dropped";
  ASSERT_TRUE(desktop_.KeysUntilHidden(editor, {"alt+c"}));
  ASSERT_NO_FATAL_FAILURE(CloseProgram(*program));
}

TEST_F(DesktopWindows, HiddenWithoutATrayEitherWindowRestoredBringsBackBothWithTheProgressOnTop) {
  ASSERT_NO_FATAL_FAILURE(StartWindowManager());
  std::unique_ptr<ProgramRun> program;
  const QString main = StartWithRecording(program, 600);
  ASSERT_FALSE(main.isEmpty());
  const QString progress = StartRun(main);
  ASSERT_FALSE(progress.isEmpty()) << "the progress window did not appear";
  PauseRun(progress);

  // The virtual display has no notification area: Hide to Tray minimises both windows.
  for (const bool restoreMain : {true, false}) {
    SCOPED_TRACE(restoreMain ? "the main window restored" : "the progress window restored");
    desktop_.Keys(progress, {"alt+h"});
    ASSERT_TRUE(desktop_.WaitUntilGone(titles::kProgress)) << "the progress window was not minimised";
    ASSERT_TRUE(desktop_.WaitUntilGone(titles::kMain)) << "the main window was not minimised";
    ASSERT_TRUE(desktop_.Restore(restoreMain ? main : progress));
    ExpectBothShownProgressOnTop(main, progress);
  }
  ASSERT_NO_FATAL_FAILURE(CancelRun(progress));
  ASSERT_NO_FATAL_FAILURE(CloseProgram(*program));
}

TEST_F(DesktopWindows, ARunThatEndsWhileMinimisedShowsItsEndMessageWithBothWindows) {
  ASSERT_NO_FATAL_FAILURE(StartWindowManager());
  std::unique_ptr<ProgramRun> program;
  const QString main = StartWithRecording(program, 300);
  ASSERT_FALSE(main.isEmpty());
  const QString progress = StartRun(main);
  ASSERT_FALSE(progress.isEmpty()) << "the progress window did not appear";
  desktop_.Keys(progress, {"alt+h"});
  ASSERT_TRUE(desktop_.WaitUntilGone(titles::kProgress)) << "the progress window was not minimised";

  // "All files have been converted successfully." with the open-folder question, in sight.
  const QString message = desktop_.WaitForWindow(titles::kMessage, 300000);
  ASSERT_FALSE(message.isEmpty()) << "the end of the run was not shown";
  ExpectBothShownProgressOnTop(main, progress);
  EXPECT_GT(desktop_.StackingPosition(message), desktop_.StackingPosition(progress));
  ASSERT_TRUE(desktop_.KeysUntilHidden(message, {"alt+n"}));
  ASSERT_TRUE(desktop_.WaitUntilGone(titles::kProgress));
  ASSERT_NO_FATAL_FAILURE(CloseProgram(*program));
  EXPECT_TRUE(QFile::exists(MediaPath("long.mp3")));
}

TEST_F(DesktopWindows, TheWindowManagersCloseRequestDuringARunIsRefusedAndTheRunGoesOn) {
  std::unique_ptr<ProgramRun> program;
  const QString main = StartWithRecording(program, 600);
  ASSERT_FALSE(main.isEmpty());
  const QString progress = StartRun(main);
  ASSERT_FALSE(progress.isEmpty()) << "the progress window did not appear";
  PauseRun(progress);

  // "Can NOT do the action while reading or converting files.", and the program keeps running.
  ASSERT_TRUE(desktop_.RequestClose(main));
  ASSERT_NO_FATAL_FAILURE(AnswerMessage({"Return"}));
  EXPECT_TRUE(program->Running());
  EXPECT_FALSE(desktop_.Windows(titles::kProgress).isEmpty());
  EXPECT_FALSE(desktop_.Windows(titles::kMain).isEmpty());
  ASSERT_NO_FATAL_FAILURE(CancelRun(progress));

  // Idle, the same request closes the window and ends the program.
  ASSERT_TRUE(desktop_.RequestClose(main));
  ASSERT_TRUE(program->WaitForEnd()) << "the close request did not end the idle program";
  EXPECT_EQ(program->ExitCode(), 0);
}
