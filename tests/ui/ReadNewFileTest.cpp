// Reading added files for real: the probe on its own thread, the user-interface thread waiting in a
// local event loop, the messages for files that cannot be used, and the editor or the same settings.
#include <sys/stat.h>

#include <QAbstractButton>
#include <QLineEdit>
#include <QPainter>
#include <QTest>
#include <QTimer>
#include <QWidget>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <system_error>

#include "probe/ReadTags.h"
#include "tests/probe/MediaEditing.h"
#include "tests/probe/TaskSnapshot.h"
#include "tests/ui/EditorFixture.h"
#include "ui/ReadNewFile.h"

namespace {

const std::string kCodecHint =
    "Normally, you need only install the required codecs to solve the problem. Please click the Help button "
    "to get more information on installing codecs.";

// Closes every modal window a test did not expect, and remembers it, so such a window fails the test
// instead of blocking it.
class UnexpectedWindows : public QObject {
 public:
  UnexpectedWindows() {
    connect(&timer_, &QTimer::timeout, this, [this] {
      if (QWidget* modal = QApplication::activeModalWidget()) {
        seen << modal->metaObject()->className();
        modal->close();
      }
    });
    timer_.start(20);
  }
  QStringList seen;

 private:
  QTimer timer_;
};

class ReadNewFileTest : public EditorFixture {
 protected:
  void TearDown() override {
    SetProbeThreadFactory(nullptr);
    EditorFixture::TearDown();
  }
  // As the main window hands a file over.
  static bool Read(const std::string& path, bool sameSettings) {
    ProbeFile = path;
    ProbeForNewTask = true;
    ProbeDone.store(false);
    ProbeResult.store(-1);
    return ReadNewFile(path, sameSettings);
  }
  // A file that cannot be used: the message, nothing appended, the scratch task as it was.
  void ExpectRefused(const std::string& path, int kind, const std::string& text) {
    CurrentTask = MarkedTask();
    const size_t tasksBefore = Tasks.size();
    ModalDriver driver;
    driver.Answer("&OK");
    EXPECT_FALSE(Read(path, false)) << path;
    ExpectNoDriverFailures(driver);
    ASSERT_EQ(driver.messages.size(), 1) << path;
    EXPECT_EQ(driver.messages[0].toStdString(), text);
    EXPECT_EQ(driver.kinds[0], kind);
    EXPECT_EQ(Tasks.size(), tasksBefore);
    ExpectSameTask(CurrentTask, MarkedTask());
    EXPECT_TRUE(ProbeDone.load());
  }
  static std::string CannotReadText(const std::string& path) {
    return "The following file can NOT be read correctly.\n " + path + "\n" + kCodecHint;
  }
};

TEST_F(ReadNewFileTest, TheEditorsOkAppendsOneCheckedTask) {
  TOLVANE_REQUIRE_SAMPLE(sample, "firstrun.rm");
  const std::string path = work + "firstrun.rm";
  WriteWholeFile(path, ReadWholeFile(sample));
  ModalDriver driver;
  QString shownSource;
  driver.Then(
      [&](QWidget* w) {
        shownSource = static_cast<TaddFrm*>(w)->srcFile->text();
        FindButton(w, "&Next >")->click();
      },
      "TaddFrm");
  driver.Press("&Next >", "TaddFrm").Press("&OK", "TaddFrm");
  EXPECT_TRUE(Read(path, false));
  ExpectNoDriverFailures(driver);
  EXPECT_EQ(shownSource.toStdString(), path);
  ASSERT_EQ(Tasks.size(), 1u);
  const TTaskRecord& task = *Tasks[0];
  EXPECT_TRUE(task.Checked);
  EXPECT_EQ(task.SourceFile, path);
  EXPECT_EQ(task.OutputFile, work + "firstrun.mp3");
  EXPECT_EQ(task.Title, "firstrun");
  EXPECT_EQ(task.Comment, "©2000 RealNetworks");
  EXPECT_EQ(task.SourceSampleRate, 44100);
  EXPECT_EQ(task.SourceChannels, 1);
  EXPECT_EQ(task.Duration / 10000000, 18);
  EXPECT_EQ(task.EstimatedSize, 18 * 192 / 8);  // the editor's estimate
  EXPECT_TRUE(ProbeDone.load());
}

TEST_F(ReadNewFileTest, CancelAppendsNothingAndShowsNoMessage) {
  ModalDriver driver;
  driver.Press("&Next >", "TaddFrm").Press("&Cancel", "TaddFrm");
  EXPECT_FALSE(Read(Input("ac3-stereo.rm"), false));
  ExpectNoDriverFailures(driver);
  UnexpectedWindows after;  // nothing follows the editor
  QTest::qWait(100);
  EXPECT_TRUE(after.seen.isEmpty()) << after.seen.join(",").toStdString();
  EXPECT_TRUE(Tasks.empty());
}

TEST_F(ReadNewFileTest, TheSameSettingsAppendWithoutTheEditorEachWithItsOwnTagsAndName) {
  DefaultSettings.AudioBitrate = 64;
  DefaultSettings.AudioVBR = true;
  DefaultSettings.AudioVbrMinBitrate = 32;
  DefaultSettings.AudioVbrMaxBitrate = 160;
  DefaultSettings.AudioSampleRate = 32000;
  DefaultSettings.AudioChannels = 3;
  const std::string first = Input("ra144.rm");
  ASSERT_TRUE(QDir().mkpath(QString::fromStdString(work + "sub")));
  const std::string second = Input("aac.rm", "sub/ra144.rm");  // another file of the same name
  UnexpectedWindows windows;
  EXPECT_TRUE(Read(first, true));
  EXPECT_TRUE(Read(second, true));
  EXPECT_TRUE(windows.seen.isEmpty()) << windows.seen.join(",").toStdString();
  ASSERT_EQ(Tasks.size(), 2u);
  EXPECT_EQ(Tasks[0]->Title, "Tone 550");
  EXPECT_EQ(Tasks[1]->Title, "Tone 660");
  EXPECT_EQ(Tasks[0]->OutputFile, work + "ra144.mp3");
  EXPECT_EQ(Tasks[1]->OutputFile, work + "ra144(2).mp3");
  for (const auto& task : Tasks) {
    EXPECT_TRUE(task->Checked);
    EXPECT_EQ(task->Bitrate, 64);
    EXPECT_TRUE(task->UseVBR);
    EXPECT_EQ(task->VbrMinBitrate, 32);
    EXPECT_EQ(task->VbrMaxBitrate, 160);
    EXPECT_EQ(task->SampleRate, 32000);
    EXPECT_EQ(task->ChannelMode, 3);
    EXPECT_EQ(task->Artist, "Tolvane Tests");
  }
}

TEST_F(ReadNewFileTest, AFileThatCannotBeReadOrHasNoAudioIsReportedAndNotAdded) {
  WriteWholeFile(work + "garbage.rm", std::string(8192, '\x42'));
  ExpectRefused(work + "garbage.rm", mkError, CannotReadText(work + "garbage.rm"));
  ExpectRefused(TestDataFile("video-only.rm"), mkWarning,
                "The following file has no audio stream and can NOT be converted into MP3!\n " +
                    TestDataFile("video-only.rm"));
}

TEST_F(ReadNewFileTest, BadPathsGetTheReadFailureMessageAndNeverHang) {
  const std::string vanished = Input("ac3-stereo.rm", "vanished.rm");
  ASSERT_EQ(::unlink(vanished.c_str()), 0);  // gone between the dialog and the probe
  const std::string folder = work + "folder.rm";
  ASSERT_EQ(::mkdir(folder.c_str(), 0700), 0);
  const std::string fifo = work + "pipe.rm";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  std::string deep = work;
  while (deep.size() < 400) deep += "level-of-a-very-long-path/";
  ASSERT_TRUE(QDir().mkpath(QString::fromStdString(deep)));
  const std::string longPath = deep + "song.rm";
  WriteWholeFile(longPath, ReadWholeFile(TestDataFile("ac3-stereo.rm")));
  for (const std::string& bad : {vanished, folder, fifo, longPath + ".missing"})
    ExpectRefused(bad, mkError, CannotReadText(bad));

  // The long path itself is a good file, kept whole.
  ASSERT_GE(longPath.size(), 400u);
  EXPECT_TRUE(Read(longPath, true));
  ASSERT_EQ(Tasks.size(), 1u);
  EXPECT_EQ(Tasks[0]->SourceFile, longPath);
  EXPECT_EQ(Tasks[0]->OutputFile, deep + "song.mp3");
}

TEST_F(ReadNewFileTest, ATitleOf300CharactersIsStoredAsItsFirst255) {
  const std::string title(300, 'T');
  const std::string path = work + "long-title.rm";
  WriteWholeFile(path, WithContTexts(ReadWholeFile(TestDataFile("ac3-stereo.rm")), title, "A", "C", "D"));
  ModalDriver driver;
  QString shown;
  driver.Then(
      [&](QWidget* w) {
        shown = static_cast<TaddFrm*>(w)->titleEdit->text();
        FindButton(w, "&Next >")->click();
      },
      "TaddFrm");
  driver.Press("&Next >", "TaddFrm").Press("&OK", "TaddFrm");
  EXPECT_TRUE(Read(path, false));
  ExpectNoDriverFailures(driver);
  EXPECT_EQ(shown.size(), 255);
  ASSERT_EQ(Tasks.size(), 1u);
  EXPECT_EQ(Tasks[0]->Title.str(), title.substr(0, 255));
}

std::thread RefusedThread(std::function<void()>) {
  throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again));
}

TEST_F(ReadNewFileTest, AThreadThatCannotBeMadeIsReportedWithoutWaiting) {
  SetProbeThreadFactory(&RefusedThread);
  CurrentTask = MarkedTask();
  ModalDriver driver;
  driver.Answer("&OK");
  EXPECT_FALSE(Read(Input("ac3-stereo.rm"), false));
  ExpectNoDriverFailures(driver);
  ASSERT_EQ(driver.messages.size(), 1);
  EXPECT_EQ(driver.messages[0], "Thread can't be created while reading files!");
  EXPECT_EQ(driver.kinds[0], mkError);
  EXPECT_EQ(ProbeResult.load(), -1);  // the probe never ran
  EXPECT_TRUE(ProbeDone.load());      // and nothing is being read any more
  EXPECT_TRUE(Tasks.empty());
  ExpectSameTask(CurrentTask, MarkedTask());
}

TEST_F(ReadNewFileTest, WithoutARegisteredEditorAWindowIsMadeForTheFile) {
  editor.reset();
  ASSERT_EQ(addFrm, nullptr);
  ModalDriver driver;
  driver.Press("&Next >", "TaddFrm").Press("&Next >", "TaddFrm").Press("&OK", "TaddFrm");
  EXPECT_TRUE(Read(Input("aac.rm"), false));
  ExpectNoDriverFailures(driver);
  EXPECT_EQ(Tasks.size(), 1u);
  EXPECT_EQ(addFrm, nullptr);
}

// A probe held inside its tag reading (after it wrote the first fields of CurrentTask, before ProbeDone)
// until the test opens the gate.
struct ProbeGate {
  std::mutex mutex;
  std::condition_variable opened;
  bool open = false;
  std::atomic<bool> reached{false};
  std::atomic<bool> timedOut{false};
};
ProbeGate* gate = nullptr;

void GatedReadTags(const std::string& path, TTagInfo& info) {
  gate->reached.store(true);
  {
    std::unique_lock<std::mutex> lock(gate->mutex);
    if (!gate->opened.wait_for(lock, std::chrono::seconds(30), [] { return gate->open; }))
      gate->timedOut.store(true);
  }
  ReadTags(path, info);
}

class PaintCounter : public QWidget {
 public:
  int paints = 0;

 protected:
  void paintEvent(QPaintEvent*) override {
    ++paints;
    QPainter(this).fillRect(rect(), Qt::white);
  }
};

TEST_F(ReadNewFileTest, TheWindowKeepsRunningWhileASlowProbeWorks) {
  ProbeGate localGate;
  gate = &localGate;
  TProbeLibrary slow = RealProbeLibrary();
  slow.ReadTags = &GatedReadTags;
  SetProbeLibrary(slow);

  PaintCounter window;
  window.resize(200, 100);
  window.show();
  int ticks = 0, paintsDuringWait = -1;
  bool doneSeenEarly = false;
  QTimer timer;
  timer.setInterval(50);
  QObject::connect(&timer, &QTimer::timeout, [&] {
    if (!localGate.reached.load()) return;
    ++ticks;
    window.update();
    if (ProbeDone.load(std::memory_order_acquire)) doneSeenEarly = true;
    if (ticks == 5) {
      paintsDuringWait = window.paints;
      std::lock_guard<std::mutex> lock(localGate.mutex);
      localGate.open = true;
      localGate.opened.notify_all();
    }
  });
  timer.start();
  window.paints = 0;
  const std::string path = Input("ac3-stereo.rm");
  EXPECT_TRUE(Read(path, true));
  timer.stop();
  gate = nullptr;

  EXPECT_FALSE(localGate.timedOut.load());  // the gate was opened by the timer, so the timer ran
  EXPECT_GE(ticks, 5);
  EXPECT_GE(paintsDuringWait, 1);
  EXPECT_FALSE(doneSeenEarly);
  // Everything the probe wrote before ProbeDone is there.
  ASSERT_EQ(Tasks.size(), 1u);
  EXPECT_EQ(Tasks[0]->SourceFile, path);
  EXPECT_EQ(Tasks[0]->Title, "Café Ünïcødé — Привет 音楽");
  EXPECT_EQ(Tasks[0]->SourceSampleRate, 44100);
}

}  // namespace
