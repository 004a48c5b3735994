// Conversion runs through the real progress window: which tasks run, what the window and the
// messages say, and what the MP3 files hold when read back with libavformat.
#include <QAbstractButton>
#include <QEvent>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <filesystem>

#include "audio/Snd_LAME.h"
#include "core/Settings.h"
#include "tests/audio/Mp3FrameReader.h"
#include "tests/convert/RunFixture.h"
#include "tests/support/MediaReader.h"
#include "ui/lang.h"

namespace {

namespace fs = std::filesystem;

// Counts the times a widget is shown.
class ShowCounter : public QObject {
 public:
  explicit ShowCounter(QWidget* widget) { widget->installEventFilter(this); }
  int shown = 0;

 protected:
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Show) ++shown;
    return false;
  }
};

// The MP3 decodes with about the source's length and its tone, and carries the title.
void ExpectConverted(const std::string& source, const std::string& mp3, const std::string& title) {
  ASSERT_TRUE(fs::exists(mp3)) << mp3;
  const DecodedMedia in = DecodeMedia(source);
  const DecodedMedia out = DecodeMedia(mp3);
  ASSERT_TRUE(out.ok) << mp3 << ": " << out.error;
  EXPECT_EQ(out.codecName.substr(0, 3), "mp3");
  EXPECT_NEAR(out.DecodedSeconds(), in.DecodedSeconds(), 0.2) << mp3;
  EXPECT_NEAR(DominantFrequency(out.samples[0], out.sampleRate),
              DominantFrequency(in.samples[0], in.sampleRate), 15.0)
      << mp3;
  EXPECT_EQ(out.tags.count("title") ? out.tags.at("title") : "", title) << mp3;
}

using RunConversion = RunFixture;

}  // namespace

TEST_F(RunConversion, ConvertsTheCheckedTasksInOrderAndCountsOnlyThem) {
  const int first = AddTask(CopyOfTestFile("ra144.rm", "first.rm"));
  const int middle = AddTask(CopyOfTestFile("aac.rm", "middle.rm"));
  const int third = AddTask(CopyOfTestFile("video-ac3-mono.rmvb", "third.rmvb"));
  Tasks[middle]->Checked = false;
  ShowCounter shows(prg.get());
  bool captionsWhileRunning = false;
  WhenReady whileRunning([&] { return prg->isVisible(); },
                         [&] {
                           captionsWhileRunning = prg->windowTitle() == StrConversionProgress &&
                                                  prg->hideBtn->text() == StrHideToTray &&
                                                  prg->cancelBtn->text() == StrCancel &&
                                                  prg->pauseBtn->text() == StrPause;
                         });
  driver.Answer(StrYes);

  Run();

  EXPECT_EQ(Labels(), QStringList({"Current File(1/2): Tone 550", "Current File(2/2): Tone 880"}));
  EXPECT_EQ(driver.messages, QStringList{EndMessage("All files have been converted successfully.")});
  EXPECT_EQ(driver.kinds, QList<int>{mkInformation});
  ExpectConverted(Tasks[first]->SourceFile, Tasks[first]->OutputFile, "Tone 550");
  ExpectConverted(Tasks[third]->SourceFile, Tasks[third]->OutputFile, "Tone 880");
  EXPECT_FALSE(fs::exists(Tasks[middle]->OutputFile));
  // "&Yes" opens the default output folder.
  ASSERT_EQ(urls.opened.size(), 1);
  EXPECT_EQ(urls.opened[0], QUrl::fromLocalFile(QString::fromStdString(DefaultSettings.OutputFileDir)));
  EXPECT_EQ(shows.shown, 1);
  EXPECT_TRUE(captionsWhileRunning);
  // A completed run leaves a window whose button reads "&OK"; the tasks stay as they were.
  EXPECT_FALSE(prg->isVisible());
  EXPECT_FALSE(prg->Converting());
  EXPECT_EQ(prg->cancelBtn->text(), StrOK);
  EXPECT_FALSE(prg->pauseBtn->isEnabled());
  EXPECT_EQ(prg->totalPrgBar->value(), 100);
  EXPECT_TRUE(Tasks[first]->Checked);
  EXPECT_FALSE(Tasks[middle]->Checked);
}

TEST_F(RunConversion, TheLastTwoCheckedTasksAfterUncheckedOnesAreBothConverted) {
  const int a = AddTask(CopyOfTestFile("ra144.rm", "a.rm"));
  const int b = AddTask(CopyOfTestFile("ra144.rm", "b.rm"));
  const int c = AddTask(CopyOfTestFile("aac.rm", "c.rm"));
  const int d = AddTask(CopyOfTestFile("ac3-stereo.rm", "d.rm"));
  Tasks[a]->Checked = false;
  Tasks[b]->Checked = false;
  driver.Answer(StrNo);

  Run();

  EXPECT_EQ(Labels(), QStringList({"Current File(1/2): Tone 660",
                                   QString::fromUtf8("Current File(2/2): Café Ünïcødé — Привет 音楽")}));
  ExpectConverted(Tasks[c]->SourceFile, Tasks[c]->OutputFile, "Tone 660");
  ExpectConverted(Tasks[d]->SourceFile, Tasks[d]->OutputFile, "Café Ünïcødé — Привет 音楽");
  EXPECT_FALSE(fs::exists(Tasks[a]->OutputFile));
  EXPECT_FALSE(fs::exists(Tasks[b]->OutputFile));
  EXPECT_TRUE(urls.opened.isEmpty());  // "&No" opens nothing
}

TEST_F(RunConversion, WithNothingCheckedSaysSoAndShowsNoWindow) {
  const int only = AddTask(CopyOfTestFile("ra144.rm", "only.rm"));
  Tasks[only]->Checked = false;
  ShowCounter shows(prg.get());
  bool hasHelp = false;
  driver.Then([&](QWidget* box) { hasHelp = FindButton(box, StrHelp) != nullptr; }, "TmsgFrm").Answer(StrOK);

  Run();

  EXPECT_EQ(driver.messages, QStringList{"Please check the checkbox to select conversting tasks.\n There is "
                                         "nothing to convert! "});
  EXPECT_EQ(driver.kinds, QList<int>{mkQuestion});
  EXPECT_TRUE(hasHelp);
  EXPECT_EQ(shows.shown, 0);
  EXPECT_FALSE(prg->Converting());
  EXPECT_FALSE(fs::exists(Tasks[only]->OutputFile));
}

TEST_F(RunConversion, ADeletedSourceIsReportedBeforeTheRunAndSkippedInIt) {
  const int first = AddTask(CopyOfTestFile("ra144.rm", "first.rm"));
  const std::string gone = CopyOfTestFile("aac.rm", "gone.rm");
  const int deleted = AddTask(gone);
  const int last = AddTask(CopyOfTestFile("ac3-stereo.rm", "last.rm"));
  fs::remove(gone);
  bool windowShownAtFirstMessage = true;
  driver.Then([&](QWidget*) { windowShownAtFirstMessage = prg->isVisible(); }, "TmsgFrm").Answer(StrOK);
  AnswerReport();

  Run();

  ASSERT_EQ(driver.messages.size(), 1);
  EXPECT_EQ(driver.messages[0], "The system cannot open the device or file specified.");
  EXPECT_FALSE(windowShownAtFirstMessage);
  EXPECT_EQ(driver.kinds, (QList<int>{mkError}));
  ASSERT_EQ(reports.size(), 1);
  EXPECT_TRUE(reports[0].startsWith("3 files: 2 converted, 0 converted in part, 1 failed"))
      << reports[0].toStdString();
  EXPECT_TRUE(reports[0].contains(QString::fromStdString(gone))) << reports[0].toStdString();
  EXPECT_TRUE(reports[0].contains("cannot be opened")) << reports[0].toStdString();
  // The deleted task stays in the run: it is counted as the second of three.
  EXPECT_EQ(Labels(), QStringList({"Current File(1/3): Tone 550", "Current File(2/3): Tone 660",
                                   QString::fromUtf8("Current File(3/3): Café Ünïcødé — Привет 音楽")}));
  ExpectConverted(Tasks[first]->SourceFile, Tasks[first]->OutputFile, "Tone 550");
  ExpectConverted(Tasks[last]->SourceFile, Tasks[last]->OutputFile, "Café Ünïcødé — Привет 音楽");
  EXPECT_FALSE(fs::exists(Tasks[deleted]->OutputFile));
  EXPECT_EQ(prg->cancelBtn->text(), StrOK);
}

TEST_F(RunConversion, EachTaskReachesTheEncoderWithItsOwnSettings) {
  struct Setting {
    int bitrate, channelMode, sampleRate;
    bool vbr;
    int wantKbps, wantMode, wantRate;  // in the frame headers; wantMode as MPEG codes it
  };
  // A bitrate not in the table keeps the one before: br192 for the first task after start-up.
  const Setting settings[] = {
      {100, 1, 44100, false, 192, 0, 44100},  // "Stero"
      {112, 0, 22050, false, 112, 2, 44100},  // "Dual Channels"; 22050 is not offered: 44100
      {100, 2, 32000, false, 112, 1, 32000},  // "Joint Stero", keeps 112
      {64, 3, 48000, false, 64, 3, 48000},    // "Mono"
      {64, 7, 44100, false, 64, 3, 44100},    // any other value: mono
      {128, 1, 44100, true, 0, 0, 44100},     // VBR: a Xing frame
  };
  std::vector<int> tasks;
  for (size_t i = 0; i < std::size(settings); ++i) {
    const int index = AddTask(CopyOfTestFile("ac3-stereo.rm", "setting" + std::to_string(i) + ".rm"));
    TTaskRecord& task = *Tasks[index];
    task.Bitrate = settings[i].bitrate;
    task.ChannelMode = settings[i].channelMode;
    task.SampleRate = settings[i].sampleRate;
    task.UseVBR = settings[i].vbr;
    task.VbrMinBitrate = 96;
    task.VbrMaxBitrate = 256;
    task.Title = "Setting " + std::to_string(i);
    task.Artist = "Artist " + std::to_string(i);
    task.Album = "Album";
    task.Year = "2024";
    task.Genre = "Speech";
    task.Comment = "Comment " + std::to_string(i);
    tasks.push_back(index);
  }
  driver.Answer(StrNo);

  Run();

  for (size_t i = 0; i < std::size(settings); ++i) {
    SCOPED_TRACE("task " + std::to_string(i));
    const TTaskRecord& task = *Tasks[tasks[i]];
    ExpectConverted(task.SourceFile, task.OutputFile, "Setting " + std::to_string(i));
    const DecodedMedia out = DecodeMedia(task.OutputFile);
    EXPECT_EQ(out.tags.count("artist") ? out.tags.at("artist") : "", "Artist " + std::to_string(i));
    EXPECT_EQ(out.tags.count("comment") ? out.tags.at("comment") : "", "Comment " + std::to_string(i));
    EXPECT_EQ(out.tags.count("genre") ? out.tags.at("genre") : "", "Speech");
    const Mp3Layout layout = ReadMp3Layout(ReadWholeFile(task.OutputFile));
    ASSERT_GT(layout.frames.size(), 10u);
    if (settings[i].vbr) {
      EXPECT_EQ(layout.xingId, "Xing");
    } else {
      EXPECT_NE(layout.xingId, "Xing");
    }
    for (size_t f = 1; f < layout.frames.size(); ++f) {
      const Mp3Frame& frame = layout.frames[f];
      ASSERT_EQ(frame.sampleRate, settings[i].wantRate) << "frame " << f;
      ASSERT_EQ(frame.mode, settings[i].wantMode) << "frame " << f;
      if (!settings[i].vbr) {
        ASSERT_EQ(frame.bitrateKbps, settings[i].wantKbps) << "frame " << f;
      }
    }
  }
  // The sink keeps the last task's settings, and the track was never set.
  EXPECT_EQ(prg->MP3Out->BitRate, br128);
  EXPECT_EQ(prg->MP3Out->EnableVBR, 1);
  EXPECT_EQ(prg->MP3Out->WriteVBRHeader, 1);
  EXPECT_EQ(prg->MP3Out->Id3TagTrack, "");
}

TEST_F(RunConversion, TheCurrentBarCountsMillisecondsOfTheTask) {
  const int task = AddTask(LongWav("three-minutes.wav", 180));
  ASSERT_EQ(Tasks[task]->Duration, 1800000000);
  int maximum = -1;
  WhenReady running([&] { return prg->MP3Out->Busy.load(); },
                    [&] {
                      maximum = prg->curPrgbar->maximum();
                      prg->cancelBtn->click();
                    });
  driver.Answer(StrYes).Answer(StrNo);

  Run();

  EXPECT_EQ(maximum, 180000);
  EXPECT_EQ(prg->curPrgbar->value(), 180000);  // a task that is done shows its bar full
}
