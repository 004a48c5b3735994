// A conversion long enough to act during it: a session's end (SIGTERM closes the main window) is
// refused while it runs, and the run goes on until the user cancels it.
#include "tests/e2e/E2eFixture.h"

class ConversionRun : public E2eTest {};

TEST_F(ConversionRun, ClosingIsRefusedWhileConvertingAndTheRunGoesOnUntilCancelled) {
  const QString recording = MediaPath("long.rm");
  ASSERT_TRUE(MakeRecording(recording, 600));  // the run lasts several seconds
  StoreSetting("tips", 10000);
  auto program = StartProgram({recording});
  const QString main = WaitForMainWindow(/*expectTip=*/false);
  ASSERT_FALSE(main.isEmpty());
  ASSERT_NO_FATAL_FAILURE(ConfirmEditor());

  desktop_.Keys(main, {"alt+s"});
  const QString progress = desktop_.WaitForWindow(titles::kProgress);
  ASSERT_FALSE(progress.isEmpty()) << "the progress window did not appear";

  // "Can NOT do the action while reading or converting files.": the program stays, the run goes on.
  program->Terminate();
  ASSERT_NO_FATAL_FAILURE(AnswerMessage({"Return"}));
  EXPECT_TRUE(program->Running());
  EXPECT_FALSE(desktop_.Windows(titles::kProgress).isEmpty());
  EXPECT_FALSE(desktop_.Windows(titles::kMain).isEmpty());

  // Cancel, "Are you sure to cancel the conversion?" yes, then the end message.
  desktop_.Keys(progress, {"alt+c"});
  ASSERT_NO_FATAL_FAILURE(AnswerMessage({"alt+y"}));
  ASSERT_NO_FATAL_FAILURE(AnswerMessage({"alt+n"}));
  ASSERT_TRUE(desktop_.WaitUntilGone(titles::kProgress));

  // Idle again: now the same request ends the program, which stores its settings.
  ASSERT_NO_FATAL_FAILURE(CloseProgram(*program));
  EXPECT_EQ(StoredSetting("InputFileDir").toString(), MediaPath(""));
}
