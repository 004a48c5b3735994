// Runs that convert several tasks at once: every file whole and its own, Cancel, Pause and Hide to
// Tray acting on every running task, a damaged file among good ones, tasks writing one file, and the
// run's cores.
#include <QApplication>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QSystemTrayIcon>
#include <filesystem>
#include <map>

#include "audio/Snd_LAME.h"
#include "core/Profile.h"
#include "core/Settings.h"
#include "tests/convert/RunFixture.h"
#include "tests/support/DamagedMedia.h"
#include "tests/support/MediaReader.h"
#include "ui/lang.h"

namespace {

namespace fs = std::filesystem;

constexpr double kTones[] = {300, 400, 500, 600, 700};

class ParallelRun : public RunFixture {
 protected:
  // A screen 400 pixels high: four running tasks' lines already overflow it.
  static void SetUpTestSuite() {
    if (!QApplication::instance() && qgetenv("QT_QPA_PLATFORM") == "offscreen") {
      static const std::string config = fs::temp_directory_path() / "tolvane-parallel-screen.json";
      WriteWholeFile(config, R"({"screens": [{"name": "low", "width": 800, "height": 400}]})");
      qputenv("QT_QPA_PLATFORM", QByteArray("offscreen:configfile=") + config.c_str());
    }
    RunFixture::SetUpTestSuite();
  }

  void SetUp() override {
    RunFixture::SetUp();
    DefaultSettings.ParallelTasks = 3;
    // A whole batch runs before its end message comes; on a busy machine that takes a while.
    driver.stepTimeoutMs = 600000;
  }

  // Five tasks in list order, each a tone of its own, titled by its file name ("tone0" ...).
  void AddFiveTones(int seconds) {
    for (int i = 0; i < 5; ++i)
      AddTask(LongWav("tone" + std::to_string(i) + ".wav", seconds, 8000, kTones[i]));
  }

  // Samples, every 5 ms while the run goes on, the most tasks converting at once into most.
  void WatchMostRunning(QTimer& watch, int& most) {
    most = 0;
    QObject::connect(&watch, &QTimer::timeout,
                     [this, &most] { most = std::max(most, int(prg->RunningSinks().size())); });
    watch.start(5);
  }

  // The file lines of the window, top down, with their bars' values.
  QStringList FileLines() const {
    QStringList lines{prg->fileLabel->text()};
    for (int k = 2; auto* label = prg->findChild<QLabel*>(QString("fileLabel%1").arg(k)); ++k)
      lines << label->text();
    return lines;
  }
  QProgressBar* Bar(int row) const {
    return row == 0 ? prg->curPrgbar : prg->findChild<QProgressBar*>(QString("curPrgbar%1").arg(row + 1));
  }
  bool ThreeConverting() const {
    if (prg->RunningSinks().size() != 3) return false;
    for (int row = 0; row < 3; ++row)
      if (!Bar(row) || Bar(row)->value() <= 0) return false;
    return true;
  }
};

void ExpectWholeTone(const std::string& mp3, double seconds, double hz, const std::string& title) {
  SCOPED_TRACE(mp3);
  const DecodedMedia out = DecodeMedia(mp3);
  ASSERT_TRUE(out.ok) << out.error;
  EXPECT_NEAR(out.DecodedSeconds(), seconds, 0.2);
  EXPECT_NEAR(DominantFrequency(out.samples[0], out.sampleRate), hz, 5.0);
  EXPECT_EQ(out.tags.count("title") ? out.tags.at("title") : "", title);
}

}  // namespace

TEST_F(ParallelRun, FiveTasksAtThreeAreEachConvertedWholeIntoTheirOwnFile) {
  AddFiveTones(20);
  QStringList linesWhileThree;
  int heightWhileThree = 0;
  WhenReady three([&] { return prg->RunningSinks().size() == 3; },
                  [&] {
                    linesWhileThree = FileLines();
                    heightWhileThree = prg->height();
                  });
  driver.Answer(StrNo);

  Run();

  EXPECT_EQ(driver.messages, QStringList{EndMessage("All files have been converted successfully.")});
  ASSERT_TRUE(three.fired);
  // Three lines, one per running task, started in list order; the window grew by two lines.
  ASSERT_EQ(linesWhileThree.size(), 3);
  EXPECT_EQ(linesWhileThree, QStringList({"Current File(1/5): tone0", "Current File(2/5): tone1",
                                          "Current File(3/5): tone2"}));
  EXPECT_EQ(heightWhileThree, 230 + 2 * 50);
  EXPECT_EQ(prg->width(), 318);
  EXPECT_EQ(prg->totalPrgBar->value(), 100);
  for (int i = 0; i < 5; ++i)
    ExpectWholeTone(Tasks[i]->OutputFile, 20.0, kTones[i], "tone" + std::to_string(i));
}

TEST_F(ParallelRun, CancelStopsEveryRunningTaskAndStartsNoOther) {
  AddFiveTones(180);
  std::map<TComponent*, int> doneBySink;
  std::vector<TMP3Out*> running;
  WhenReady converting([&] { return ThreeConverting(); },
                       [&] {
                         running = prg->RunningSinks();
                         for (TMP3Out* sink : running) {
                           const auto handler = sink->OnDone;
                           sink->OnDone = [&doneBySink, handler](TComponent* sender) {
                             ++doneBySink[sender];
                             handler(sender);
                           };
                         }
                         prg->cancelBtn->click();
                       });
  driver.Answer(StrYes).Answer(StrNo);

  Run();

  EXPECT_EQ(driver.messages, QStringList({StrAskCancel, EndMessage("The conversion is canceled.")}));
  ASSERT_EQ(running.size(), 3u);
  EXPECT_EQ(doneBySink.size(), 3u);
  for (TMP3Out* sink : running) EXPECT_EQ(doneBySink[sink], 1);
  for (int i = 0; i < 3; ++i) {
    SCOPED_TRACE(i);
    const std::string& mp3 = Tasks[i]->OutputFile;
    const DecodedMedia part = DecodeMedia(mp3);
    ASSERT_TRUE(part.ok) << part.error;
    EXPECT_GT(part.DecodedSeconds(), 0.0);
    EXPECT_LT(part.DecodedSeconds(), 179.0);
    EXPECT_EQ(part.tags.count("title") ? part.tags.at("title") : "", "tone" + std::to_string(i));
    EXPECT_EQ(ReadWholeFile(mp3).substr(0, 3), "ID3");
  }
  EXPECT_FALSE(fs::exists(Tasks[3]->OutputFile));
  EXPECT_FALSE(fs::exists(Tasks[4]->OutputFile));
}

TEST_F(ParallelRun, PauseHoldsEveryRunningTaskStillUntilResume) {
  AddFiveTones(60);
  bool pausedAsShown = false;
  WhenReady converting([&] { return ThreeConverting(); },
                       [&] {
                         prg->pauseBtn->click();
                         pausedAsShown = prg->pauseBtn->text() == StrResume;
                       });
  // Once every sink stands between its steps, nothing moves for a second.
  std::vector<int64_t> before, after;
  bool allPaused = false;
  WhenReady settled(
      [&] {
        if (!converting.fired) return false;
        const auto sinks = prg->RunningSinks();
        return sinks.size() == 3 &&
               std::all_of(sinks.begin(), sinks.end(), [](TMP3Out* sink) { return sink->PauseSettled(); });
      },
      [&] {
        allPaused = true;
        for (TMP3Out* sink : prg->RunningSinks()) before.push_back(sink->Input()->Position.load());
        QTimer::singleShot(1000, prg.get(), [&] {
          for (TMP3Out* sink : prg->RunningSinks()) after.push_back(sink->Input()->Position.load());
          prg->pauseBtn->click();
        });
      });
  driver.Answer(StrNo);

  Run();

  EXPECT_TRUE(pausedAsShown);
  ASSERT_TRUE(allPaused);
  ASSERT_EQ(before.size(), 3u);
  EXPECT_EQ(after, before);
  EXPECT_EQ(prg->pauseBtn->text(), StrPause);
  EXPECT_EQ(driver.messages, QStringList{EndMessage("All files have been converted successfully.")});
  for (int i = 0; i < 5; ++i)
    ExpectWholeTone(Tasks[i]->OutputFile, 60.0, kTones[i], "tone" + std::to_string(i));
}

TEST_F(ParallelRun, HideWithoutATrayMinimisesAndEveryTaskGoesOn) {
  ASSERT_FALSE(QSystemTrayIcon::isSystemTrayAvailable());  // the offscreen desktop has none
  AddFiveTones(20);
  bool bothMinimised = false;
  WhenReady converting([&] { return prg->RunningSinks().size() == 3; },
                       [&] {
                         prg->hideBtn->click();
                         bothMinimised = prg->isMinimized() && mainWindow->isMinimized() && prg->Converting();
                       });
  driver.Answer(StrNo);

  Run();

  EXPECT_TRUE(bothMinimised);
  EXPECT_EQ(driver.messages, QStringList{EndMessage("All files have been converted successfully.")});
  for (int i = 0; i < 5; ++i)
    ExpectWholeTone(Tasks[i]->OutputFile, 20.0, kTones[i], "tone" + std::to_string(i));
}

TEST_F(ParallelRun, HideToTheTrayAndBackWhileThreeRun) {
  prg->TrayAvailable = [] { return true; };
  AddFiveTones(40);
  bool hidden = false, shownAgain = false;
  WhenReady converting([&] { return prg->RunningSinks().size() == 3; },
                       [&] {
                         prg->hideBtn->click();
                         hidden = !prg->isVisible() && !mainWindow->isVisible() && prg->TrayIcon->isVisible();
                       });
  WhenReady back([&] { return hidden && prg->TrayIcon->toolTip().contains('\n'); },
                 [&] {
                   emit prg->TrayIcon->activated(QSystemTrayIcon::Trigger);
                   shownAgain = prg->isVisible() && mainWindow->isVisible() && !prg->TrayIcon->isVisible() &&
                                prg->RunningSinks().size() >= 1;
                 });
  driver.Answer(StrNo);

  Run();

  EXPECT_TRUE(hidden);
  EXPECT_TRUE(shownAgain);
  EXPECT_EQ(driver.messages, QStringList{EndMessage("All files have been converted successfully.")});
  for (int i = 0; i < 5; ++i)
    ExpectWholeTone(Tasks[i]->OutputFile, 40.0, kTones[i], "tone" + std::to_string(i));
}

TEST_F(ParallelRun, ADamagedFileAmongGoodOnesAtTwoIsReportedAndTheOthersConvertWhole) {
  TOLVANE_REQUIRE_SAMPLE(sample, "firstrun.rm");
  DefaultSettings.ParallelTasks = 2;
  const int good1 = AddTask(LongWav("good1.wav", 20, 8000, 300));
  const std::string damagedPath = sourceDir + "/runaway.rm";
  WriteWholeFile(damagedPath, ReadWholeFile(sample));
  const int damaged = AddTask(damagedPath);
  const int good2 = AddTask(LongWav("good2.wav", 20, 8000, 500));
  const int good3 = AddTask(LongWav("good3.wav", 20, 8000, 700));
  const std::string bytes = WithRunAwayCookHeader(ReadWholeFile(damagedPath));
  ASSERT_FALSE(bytes.empty());
  WriteWholeFile(damagedPath, bytes);
  int mostRunning = 0;
  QTimer watch;
  WatchMostRunning(watch, mostRunning);
  MessageResponder responder;

  Run();

  const QStringList& messages = responder.messages;
  ASSERT_EQ(messages.size(), 1) << messages.join(" | ").toStdString();
  EXPECT_EQ(responder.kinds[0], kRunReport);
  EXPECT_TRUE(messages[0].startsWith("4 files: 3 converted, 0 converted in part, 1 failed"))
      << messages[0].toStdString();
  EXPECT_TRUE(messages[0].contains("\n    The file \"runaway.rm\" is damaged ("))
      << messages[0].toStdString();
  EXPECT_EQ(mostRunning, 2);
  ExpectWholeTone(Tasks[good1]->OutputFile, 20.0, 300, "good1");
  ExpectWholeTone(Tasks[good2]->OutputFile, 20.0, 500, "good2");
  ExpectWholeTone(Tasks[good3]->OutputFile, 20.0, 700, "good3");
  if (fs::exists(Tasks[damaged]->OutputFile)) {
    EXPECT_TRUE(DecodeMedia(Tasks[damaged]->OutputFile).ok);
  }
}

TEST_F(ParallelRun, NoSinkBeyondTheCheckedTasksAndOneAtATimeIsTheDesignedWindowAgain) {
  DefaultSettings.ParallelTasks = 64;
  const int first = AddTask(CopyOfTestFile("ra144.rm", "first.rm"));
  const int second = AddTask(CopyOfTestFile("aac.rm", "second.rm"));
  QStringList lines;
  int height = 0;
  WhenReady two([&] { return prg->RunningSinks().size() == 2; },
                [&] {
                  lines = FileLines();
                  height = prg->height();
                });
  driver.Answer(StrNo);
  Run();
  ASSERT_TRUE(two.fired);
  EXPECT_EQ(lines, QStringList({"Current File(1/2): Tone 550", "Current File(2/2): Tone 660"}));
  EXPECT_EQ(height, 280);
  EXPECT_EQ(prg->findChildren<QProgressBar*>().size(), 3) << "the total bar and one bar per task";

  DefaultSettings.ParallelTasks = 1;
  Tasks[second]->Checked = false;
  QSize during;
  TCoreBudget* cores = nullptr;
  WhenReady one([&] { return prg->MP3Out->Busy.load(); },
                [&] {
                  during = prg->size();
                  cores = prg->MP3Out->Cores;
                });
  driver.Answer(StrNo);
  Run();
  EXPECT_EQ(during, QSize(318, 230));
  EXPECT_EQ(cores, nullptr) << "one task at a time is one encoder, as it always was";
  EXPECT_EQ(prg->findChildren<QProgressBar*>().size(), 2);
  EXPECT_EQ(FileLines(), QStringList{"Current File(1/1): Tone 550"});
  EXPECT_TRUE(DecodeMedia(Tasks[first]->OutputFile).ok);
}

TEST_F(ParallelRun, FiveHundredAtOnceRunsTheMostTheMachineAllowsAndTheLinesThatFit) {
  DefaultSettings.ParallelTasks = 500;
  const int most = ParallelTaskCount(500);  // at most twice the cores
  for (int i = 0; i <= most; ++i) AddTask(LongWav("t" + std::to_string(i) + ".wav", 20));
  QString more;
  int visibleLines = 0, freeCores = -1;
  bool sharedBudget = false;
  WhenReady all([&] { return int(prg->RunningSinks().size()) == most; },
                [&] {
                  more = prg->moreLabel->isVisible() ? prg->moreLabel->text() : QString();
                  for (auto* label : prg->findChildren<TElidedLabel*>()) visibleLines += label->isVisible();
                  freeCores = prg->CoreBudget()->FreeCores();
                  sharedBudget = prg->RunningSinks().back()->Cores == prg->CoreBudget();
                });
  driver.Answer(StrNo);
  Run();
  ASSERT_TRUE(all.fired);
  EXPECT_EQ(driver.messages, QStringList{EndMessage("All files have been converted successfully.")});
  EXPECT_TRUE(sharedBudget && freeCores == 0) << "a core held by each running task";
  EXPECT_EQ(prg->CoreBudget()->FreeCores(), most) << "each given back when its task ended";
  if (visibleLines < most) {
    EXPECT_EQ(more, QString("... and %1 more converting").arg(most - visibleLines));
  }
  for (int i = 0; i <= most; ++i) EXPECT_TRUE(DecodeMedia(Tasks[i]->OutputFile).ok) << i;
}

// Two tasks write one file (through a linked folder); the first converts, or fails after writing.
class OneOutputFile : public ParallelRun, public ::testing::WithParamInterface<bool> {};

TEST_P(OneOutputFile, TheTasksRunInTurnAndLeaveTheLaterOnesWholeMp3) {
  DefaultSettings.ParallelTasks = 2;
  TOLVANE_REQUIRE_SAMPLE(sample, "firstrun.rm");
  const std::string runaway = sourceDir + "/runaway.rm";
  WriteWholeFile(runaway, ReadWholeFile(sample));
  const int first = AddTask(GetParam() ? runaway : LongWav("first.wav", 20, 8000, 300));
  const int second = AddTask(LongWav("second.wav", 10, 8000, 500));
  WriteWholeFile(runaway, WithRunAwayCookHeader(ReadWholeFile(runaway)));
  fs::create_directory_symlink(outputDir, dir.path().toStdString() + "/linked");
  Tasks[second]->OutputFile = dir.path().toStdString() + "/linked/" + FileNamePart(Tasks[first]->OutputFile);
  int mostRunning = 0;
  QTimer watch;
  WatchMostRunning(watch, mostRunning);
  MessageResponder responder;
  Run();
  EXPECT_EQ(mostRunning, 1);
  ASSERT_EQ(responder.messages.size(), 1) << responder.messages.join(" | ").toStdString();
  EXPECT_EQ(responder.kinds[0], GetParam() ? kRunReport : mkInformation);
  ExpectWholeTone(Tasks[first]->OutputFile, 10.0, 500, "second");
}

INSTANTIATE_TEST_SUITE_P(FirstConvertsOrFails, OneOutputFile, ::testing::Bool());
