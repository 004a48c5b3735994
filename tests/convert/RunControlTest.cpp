// Pause, cancel and hiding during a real run, also while an input is still opening or the file system
// holds the run's start: what the window does, what the sink does, and what is left on disk.
#include <QApplication>
#include <QKeyEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QSystemTrayIcon>
#include <chrono>
#include <filesystem>

#include "audio/Snd_DX9.h"
#include "audio/Snd_LAME.h"
#include "probe/OpenedMedia.h"
#include "run/BackgroundStep.h"
#include "tests/convert/RunFixture.h"
#include "tests/support/HeldCall.h"
#include "tests/support/MediaReader.h"
#include "ui/lang.h"

namespace {

namespace fs = std::filesystem;

using RunControl = RunFixture;

double SecondsOf(const std::string& mp3) {
  const DecodedMedia out = DecodeMedia(mp3);
  EXPECT_TRUE(out.ok) << mp3 << ": " << out.error;
  return out.DecodedSeconds();
}

class PaintCounter : public QObject {
 public:
  int paints = 0;
  bool eventFilter(QObject*, QEvent* event) override {
    paints += event->type() == QEvent::Paint;
    return false;
  }
};

// Cancel (true) or the window's close (false), answered "&Yes".
class OpeningCut : public RunFixture, public ::testing::WithParamInterface<bool> {};

}  // namespace

TEST_P(OpeningCut, StopsAnInputStillOpeningWithoutWaitingForIt) {
  const int task = AddTask(LongWav("slow.wav", 5));
  stalled_read::Reset();
  OpenedMedia::readHookForTests = &stalled_read::Read;
  WhenReady held([] { return stalled_read::readHeld.load(); },
                 [&] { GetParam() ? prg->cancelBtn->click() : (void)prg->close(); });
  driver.Answer(StrYes).Answer(StrNo);
  Run();
  // The run has ended while the read stalled: it may go on now, and finds the open given up.
  stalled_read::stopAsked = true;
  EXPECT_TRUE(WaitForAbandonedSteps(std::chrono::minutes(1)));
  OpenedMedia::readHookForTests = nullptr;

  EXPECT_LE(stalled_read::readsAfterStop.load(), 1) << "the open went on reading after the stop";
  EXPECT_EQ(driver.messages, QStringList({StrAskCancel, EndMessage(StrCanceled)}));
  ASSERT_EQ(prg->Outcomes().size(), 1u);
  EXPECT_EQ(prg->Outcomes()[0].Reason, TReason::Stopped);
  EXPECT_FALSE(fs::exists(Tasks[task]->OutputFile));
}

INSTANTIATE_TEST_SUITE_P(CancelAndClose, OpeningCut, ::testing::Bool());

TEST_F(RunControl, WhileTheStartUpCheckAndTheMp3sCreationWaitTheWindowAnswersAndTheRunEndsRight) {
  const int task = AddTask(LongWav("held.wav", 3));
  HeldCall lookUp, creation;
  prg->OutputKey = lookUp.Around(OutputKeyOf);
  prg->StartSink = creation.Around([](TMP3Out& sink) { sink.Start(); });
  // Each act runs from the window's event loop while the other thread is held, then lets it go.
  bool answered = false;
  WhenReady comparing([&] { return lookUp.Holding(); },
                      [&] {
                        answered = prg->isVisible();
                        lookUp.Release();
                      });
  WhenReady creating([&] { return creation.Holding(); },
                     [&] {
                       answered = answered && !fs::exists(Tasks[task]->OutputFile);
                       creation.Release();
                     });
  driver.Answer(StrNo);

  Run();

  EXPECT_TRUE(answered && creating.fired);
  EXPECT_EQ(driver.messages, QStringList{EndMessage("All files have been converted successfully.")});
  EXPECT_NEAR(SecondsOf(Tasks[task]->OutputFile), 3.0, 0.2);
}

// An open (false) or the outputs' comparing (true) hung for good, ignoring the stop.
class HungAtStart : public RunFixture, public ::testing::WithParamInterface<bool> {};

TEST_P(HungAtStart, CancelClosesTheWindowWithoutWaitingForIt) {
  const int task = AddTask(LongWav("hung.wav", 2));
  HeldCall hung;
  if (GetParam())
    prg->OutputKey = hung.Around(OutputKeyOf);
  else
    prg->OpenInput = hung.Around([](TDX9In& input) { input.OpenSource(); });
  WhenReady held([&] { return hung.Holding(); }, [&] { prg->cancelBtn->click(); });
  driver.Answer(StrYes).Answer(StrNo);

  Run();

  EXPECT_TRUE(hung.Holding()) << "the window waited for the hung call";
  EXPECT_FALSE(prg->isVisible());
  EXPECT_EQ(driver.messages, QStringList({StrAskCancel, EndMessage(StrCanceled)}));
  prg.reset();  // the window goes first: what the hung call holds is freed on its own thread
  hung.Release();
  EXPECT_TRUE(WaitForAbandonedSteps(std::chrono::minutes(1)));
  EXPECT_FALSE(fs::exists(Tasks[task]->OutputFile));
}

INSTANTIATE_TEST_SUITE_P(OpenAndComparing, HungAtStart, ::testing::Bool());

TEST_F(RunControl, WhileAnInputOpensTheWindowRedrawsAndAnswersAndACancelEndsTheTaskCleanly) {
  const int task = AddTask(LongWav("held.wav", 5));
  // Every opening is held until the test lets it go.
  HeldCall open;
  prg->OpenInput = open.Around([](TDX9In& input) { input.OpenSource(); });
  PaintCounter counter;
  prg->installEventFilter(&counter);
  int paintsBefore = 0;
  bool answered = false;
  WhenReady opening([&] { return open.Holding(); },
                    [&] {
                      paintsBefore = counter.paints;
                      prg->update();
                    });
  WhenReady redrawn([&] { return opening.fired && counter.paints > paintsBefore; },
                    [&] {
                      prg->pauseBtn->click();
                      answered = open.Holding() && prg->pauseBtn->text() == StrResume;
                      prg->cancelBtn->click();  // answered "&Yes"
                      answered = answered && open.Holding() && driver.messages == QStringList{StrAskCancel};
                      open.Release();
                    });
  driver.Answer(StrYes).Answer(StrNo);

  Run();

  EXPECT_TRUE(answered) << "Pause and Cancel while the input still opened";
  EXPECT_EQ(driver.messages.last(), EndMessage(StrCanceled));
  EXPECT_FALSE(fs::exists(Tasks[task]->OutputFile)) << "cancelled before it wrote anything";
}

TEST_F(RunControl, CancelConfirmedWhilePausedStopsTheOutputAndLeavesAPlayablePart) {
  const int task = AddTask(LongWav("long.wav", 180));
  int doneCount = 0;
  const auto handler = prg->MP3Out->OnDone;
  prg->MP3Out->OnDone = [&](TComponent* sender) {
    ++doneCount;
    handler(sender);
  };
  bool pausedAsShown = false;
  WhenReady converting([&] { return prg->MP3Out->Busy.load() && prg->curPrgbar->value() > 0; },
                       [&] {
                         prg->pauseBtn->click();
                         pausedAsShown = prg->pauseBtn->text() == StrResume &&
                                         prg->MP3Out->State() == TOutputState::Paused;
                         prg->cancelBtn->click();
                       });
  driver.Answer(StrYes).Answer(StrNo);

  Run();

  EXPECT_TRUE(pausedAsShown);
  EXPECT_EQ(driver.messages, QStringList({StrAskCancel, EndMessage("The conversion is canceled.")}));
  EXPECT_EQ(driver.kinds, (QList<int>{mkQuestion, mkInformation}));
  EXPECT_EQ(doneCount, 1);
  EXPECT_EQ(prg->MP3Out->State(), TOutputState::Idle);
  // After a cancelled run the button keeps its caption.
  EXPECT_EQ(prg->cancelBtn->text(), StrCancel);
  const DecodedMedia out = DecodeMedia(Tasks[task]->OutputFile);
  ASSERT_TRUE(out.ok) << out.error;
  EXPECT_GT(out.DecodedSeconds(), 0.0);
  EXPECT_LT(out.DecodedSeconds(), 179.0);
  EXPECT_EQ(out.tags.count("title") ? out.tags.at("title") : "", "long");
  EXPECT_EQ(ReadWholeFile(Tasks[task]->OutputFile).substr(0, 3), "ID3");
}

TEST_F(RunControl, CancelAnsweredNoLetsTheRunGoOn) {
  const int longTask = AddTask(LongWav("twenty.wav", 20));
  const int next = AddTask(CopyOfTestFile("ra144.rm", "next.rm"));
  int doneCount = 0;
  const auto handler = prg->MP3Out->OnDone;
  prg->MP3Out->OnDone = [&](TComponent* sender) {
    ++doneCount;
    handler(sender);
  };
  WhenReady converting([&] { return prg->MP3Out->Busy.load(); }, [&] { prg->cancelBtn->click(); });
  driver.Answer(StrNo).Answer(StrNo);

  Run();

  EXPECT_EQ(driver.messages,
            QStringList({StrAskCancel, EndMessage("All files have been converted successfully.")}));
  EXPECT_EQ(doneCount, 2);
  EXPECT_NEAR(SecondsOf(Tasks[longTask]->OutputFile), 20.0, 0.2);
  EXPECT_NEAR(SecondsOf(Tasks[next]->OutputFile), 2.0, 0.2);
  EXPECT_EQ(prg->cancelBtn->text(), StrOK);
}

TEST_F(RunControl, EscapeAndTheTitleBarAskBeforeCancelling) {
  AddTask(LongWav("minute.wav", 60));
  WhenReady converting([&] { return prg->MP3Out->Busy.load(); }, [&] { prg->close(); });
  driver.Answer(StrNo).Answer(StrYes).Answer(StrNo);
  // Once the first question is answered, Escape asks again.
  WhenReady escape([&] { return driver.messages.size() == 1 && prg->isVisible(); },
                   [&] {
                     QKeyEvent press(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
                     QApplication::sendEvent(prg.get(), &press);
                   });

  Run();

  EXPECT_EQ(driver.messages,
            QStringList({StrAskCancel, StrAskCancel, EndMessage("The conversion is canceled.")}));
}

TEST_F(RunControl, APauseBetweenTwoTasksHoldsTheNextOne) {
  const int first = AddTask(CopyOfTestFile("ra144.rm", "first.rm"));
  const int second = AddTask(LongWav("second.wav", 10));
  const auto handler = prg->MP3Out->OnDone;
  int doneCount = 0;
  prg->MP3Out->OnDone = [&](TComponent* sender) {
    handler(sender);
    // The first task is done and the next one not yet started: the user presses Pause now.
    if (++doneCount == 1) prg->pauseBtn->click();
  };
  bool heldPaused = false;
  bool captionKept = false;
  WhenReady secondStarted(
      // Converting: its sink's start (off the window's thread) has been handed over.
      [&] { return prg->fileLabel->text().startsWith("Current File(2/2)") && !prg->RunningSinks().empty(); },
      [&] {
        captionKept = prg->pauseBtn->text() == StrResume;
        heldPaused = prg->MP3Out->State() == TOutputState::Paused;
        prg->pauseBtn->click();  // resume
      });
  driver.Answer(StrNo);

  Run();

  EXPECT_TRUE(captionKept);
  EXPECT_TRUE(heldPaused);
  EXPECT_EQ(driver.messages, QStringList{EndMessage("All files have been converted successfully.")});
  EXPECT_NEAR(SecondsOf(Tasks[first]->OutputFile), 2.0, 0.2);
  EXPECT_NEAR(SecondsOf(Tasks[second]->OutputFile), 10.0, 0.2);
}

TEST_F(RunControl, HideWithoutATrayMinimisesBothWindowsAndTheRunGoesOn) {
  ASSERT_FALSE(QSystemTrayIcon::isSystemTrayAvailable());  // the offscreen desktop has none
  const int longTask = AddTask(LongWav("twenty.wav", 20));
  const int next = AddTask(CopyOfTestFile("aac.rm", "next.rm"));
  bool bothMinimised = false;
  WhenReady converting([&] { return prg->MP3Out->Busy.load(); },
                       [&] {
                         prg->hideBtn->click();
                         bothMinimised = prg->isMinimized() && mainWindow->isMinimized() &&
                                         !prg->TrayIcon->isVisible() && prg->Converting();
                       });
  driver.Answer(StrNo);

  Run();

  EXPECT_TRUE(bothMinimised);
  EXPECT_EQ(driver.messages, QStringList{EndMessage("All files have been converted successfully.")});
  EXPECT_NEAR(SecondsOf(Tasks[longTask]->OutputFile), 20.0, 0.2);
  EXPECT_NEAR(SecondsOf(Tasks[next]->OutputFile), 2.1, 0.2);
}

TEST_F(RunControl, ARunThatEndsInTheTrayLeavesAWindowTheIconShowsAndItsButtonCloses) {
  prg->TrayAvailable = [] { return true; };
  const int longTask = AddTask(LongWav("twenty.wav", 20));
  bool hidden = false;
  QString firstHint;
  WhenReady converting([&] { return prg->MP3Out->Busy.load(); },
                       [&] {
                         prg->hideBtn->click();
                         hidden = !prg->isVisible() && !mainWindow->isVisible() && prg->TrayIcon->isVisible();
                         firstHint = prg->TrayIcon->toolTip();
                       });
  QString runningHint, timeLine;
  WhenReady refreshed([&] { return hidden && prg->TrayIcon->toolTip().contains('\n'); },
                      [&] {
                        runningHint = prg->TrayIcon->toolTip();
                        timeLine = prg->timeLabel->text();
                      });
  driver.Answer(StrNo);

  Run();

  EXPECT_TRUE(hidden);
  EXPECT_EQ(firstHint, StrTrayHint);
  EXPECT_TRUE(timeLine.startsWith("Time elapsed: ")) << timeLine.toStdString();
  EXPECT_EQ(runningHint, timeLine + "\n" + StrTrayHint);
  EXPECT_NEAR(SecondsOf(Tasks[longTask]->OutputFile), 20.0, 0.2);
  // The run has ended; everything stays hidden until the icon is clicked.
  EXPECT_FALSE(prg->Converting());
  EXPECT_FALSE(prg->isVisible());
  EXPECT_FALSE(mainWindow->isVisible());
  EXPECT_TRUE(prg->TrayIcon->isVisible());

  emit prg->TrayIcon->activated(QSystemTrayIcon::Context);
  EXPECT_TRUE(prg->isVisible());
  EXPECT_TRUE(mainWindow->isVisible());
  EXPECT_FALSE(prg->TrayIcon->isVisible());
  ASSERT_EQ(prg->cancelBtn->text(), StrOK);
  prg->cancelBtn->click();
  EXPECT_FALSE(prg->isVisible());

  // A new run starts afterwards.
  const int again = AddTask(CopyOfTestFile("ra144.rm", "again.rm"));
  Tasks[longTask]->Checked = false;
  driver.Answer(StrNo);
  Run();
  EXPECT_NEAR(SecondsOf(Tasks[again]->OutputFile), 2.0, 0.2);
  EXPECT_EQ(driver.messages.size(), 2);
}

TEST_F(RunControl, AfterACancelledRunTheWindowsButtonClosesItWithoutAQuestion) {
  prg->TrayAvailable = [] { return true; };
  AddTask(LongWav("twenty.wav", 20));
  WhenReady converting([&] { return prg->MP3Out->Busy.load(); },
                       [&] {
                         prg->hideBtn->click();
                         emit prg->TrayIcon->activated(QSystemTrayIcon::Trigger);  // back again
                         prg->cancelBtn->click();                                  // answered "&Yes"
                         prg->hideBtn->click();  // and hidden before the run has ended
                       });
  driver.Answer(StrYes).Answer(StrNo);
  Run();
  ASSERT_EQ(driver.messages, QStringList({StrAskCancel, EndMessage("The conversion is canceled.")}));
  ASSERT_TRUE(prg->TrayIcon->isVisible());

  // Shown again from the tray after the run: its "&Cancel" closes it without asking.
  emit prg->TrayIcon->activated(QSystemTrayIcon::Trigger);
  ASSERT_TRUE(prg->isVisible());
  EXPECT_EQ(prg->cancelBtn->text(), StrCancel);
  prg->cancelBtn->click();
  EXPECT_FALSE(prg->isVisible());
  EXPECT_EQ(driver.messages.size(), 2);
}
