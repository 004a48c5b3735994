// The task editor driven as a user would: its pages and controls, what it shows of the task, and what
// its finish writes to the task, the defaults, the settings file and the histories.
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSettings>
#include <QStackedWidget>

#include "tests/ui/EditorFixture.h"
#include "probe/GenreNames.h"

namespace {

QStringList Items(const QComboBox* list) {
  QStringList items;
  for (int i = 0; i < list->count(); ++i) items << list->itemText(i);
  return items;
}

QStringList Lines(const QListWidget* list) {
  QStringList lines;
  for (int i = 0; i < list->count(); ++i) lines << list->item(i)->text();
  return lines;
}

class TaskEditorTest : public EditorFixture {
 protected:
  // A task as the probe leaves it, for the given duration and MP3 settings, writing into the work folder.
  void SetTask(int64_t duration, bool vbr, int32_t bitrate, int32_t minimum, int32_t maximum) {
    CurrentTask = TTaskRecord{};
    CurrentTask.SourceFile = work + "song.rm";
    CurrentTask.OutputFile = work + "song.mp3";
    CurrentTask.HasAudio = true;
    CurrentTask.Duration = duration;
    CurrentTask.SourceSampleRate = 44100;
    CurrentTask.SourceChannels = 2;
    CurrentTask.SampleRate = 44100;
    CurrentTask.BitsPerSample = 16;
    CurrentTask.ChannelMode = 2;
    CurrentTask.Bitrate = bitrate;
    CurrentTask.VbrMinBitrate = minimum;
    CurrentTask.VbrMaxBitrate = maximum;
    CurrentTask.UseVBR = vbr;
    CurrentTask.Title = "Song";
  }
  // Next, Next, OK: the finish with whatever the pages show.
  int FinishAsShown(std::function<void(TaddFrm*)> onPage3 = nullptr) {
    ModalDriver driver;
    driver.Press("&Next >", "TaddFrm").Press("&Next >", "TaddFrm");
    if (onPage3) driver.Then([onPage3](QWidget* w) { onPage3(static_cast<TaddFrm*>(w)); }, "TaddFrm");
    driver.Press("&OK", "TaddFrm");
    const int result = editor->exec();
    ExpectNoDriverFailures(driver);
    return result;
  }
  // Opens the editor, lets check look at it, and cancels.
  int LookAndCancel(std::function<void(TaddFrm*)> check) {
    ModalDriver driver;
    driver.Then(
        [check](QWidget* w) {
          check(static_cast<TaddFrm*>(w));
          FindButton(w, "&Cancel")->click();
        },
        "TaddFrm");
    const int result = editor->exec();
    ExpectNoDriverFailures(driver);
    return result;
  }
};

TEST_F(TaskEditorTest, ControlsCaptionsAndPageChanges) {
  SetTask(20000000, false, 128, 128, 256);
  QStringList seen;
  ModalDriver driver;
  const auto record = [&](QWidget* w) {
    auto* e = static_cast<TaddFrm*>(w);
    seen << QString("%1|%2|%3|%4")
                .arg(e->PageIndex())
                .arg(e->backBtn->isEnabled())
                .arg(e->nextBtn->text(), e->cancelBtn->text());
  };
  driver.Then(record, "TaddFrm").Press("&Next >", "TaddFrm");
  driver.Then(record, "TaddFrm").Press("&Next >", "TaddFrm");
  driver.Then(record, "TaddFrm").Press("< &Back", "TaddFrm");
  driver.Then(record, "TaddFrm").Press("< &Back", "TaddFrm");
  driver.Then(record, "TaddFrm").Press("&Cancel", "TaddFrm");
  EXPECT_EQ(editor->exec(), 2);
  ExpectNoDriverFailures(driver);
  EXPECT_EQ(seen, QStringList({"0|0|&Next >|&Cancel", "1|1|&Next >|&Cancel", "2|1|&OK|&Cancel",
                               "1|1|&Next >|&Cancel", "0|0|&Next >|&Cancel"}));

  EXPECT_EQ(editor->windowTitle(), "Settings ...");
  EXPECT_EQ(editor->backBtn->text(), "< &Back");
  EXPECT_EQ(editor->InputFileLabel->text(), "Input File:");
  EXPECT_EQ(editor->outFileLabel->text(), "Output File:");
  EXPECT_EQ(editor->tagPanel->title(), "Tag Editor");
  EXPECT_EQ(editor->inputFileInfoPanel->title(), "Input File Information");
  EXPECT_GE(editor->width(), 329);
  EXPECT_GE(editor->height(), 326);
  EXPECT_TRUE(editor->srcFile->isReadOnly());
  EXPECT_TRUE(editor->dstFile->isReadOnly());

  QStringList bitrates;
  for (int kbps : {8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 192, 224, 256, 320})
    bitrates << QString("%1 kbps").arg(kbps);
  EXPECT_EQ(Items(editor->bitRateSel), bitrates);
  EXPECT_EQ(Items(editor->minBitrateSel), bitrates);
  EXPECT_EQ(Items(editor->maxBitrateSel), bitrates);
  EXPECT_EQ(Items(editor->samplerateSel), QStringList({"32000 Hz", "44100 Hz", "48000 Hz"}));
  EXPECT_EQ(Items(editor->ChannelModeSel), QStringList({"Dual Channels", "Stero", "Joint Stero", "Mono"}));
  EXPECT_EQ(editor->VBRCheck->text(), " Use &Variable Bitrate Mode");

  const QStringList genres = Items(editor->GenreEdit);
  ASSERT_EQ(genres.size(), 164);
  EXPECT_EQ(genres[0], "Blues");
  EXPECT_EQ(genres[79], "Hard Rock");
  EXPECT_EQ(genres[144], "Trash Metal");
  EXPECT_EQ(genres[147], "Synthpop");
  EXPECT_EQ(genres[154], "Children's Song");
  EXPECT_EQ(genres[163], "Unknown");
  for (int i = 0; i < GenreCount; ++i) EXPECT_EQ(genres[i], GenreNames[i]);
}

TEST_F(TaskEditorTest, PageOneShowsTheInputFileInformation) {
  struct Case {
    const char* file;
    QStringList lines;
  };
  const Case cases[] = {
      {"ac3-stereo.rm", {" Duration: 0:00:02.0", " Audio: 44100HZ, dual channels"}},
      {"ra144.rm", {" Duration: 0:00:00.0", " Audio: 8000HZ, single channel"}},
      {"surround51.rm", {" Duration: 0:00:02.0", " Audio: 44100HZ, "}},
  };
  for (const Case& c : cases) {
    ProbeNewTask(Input(c.file));
    QStringList lines;
    QString source;
    LookAndCancel([&](TaddFrm* e) {
      lines = Lines(e->inFileInfoList);
      source = e->srcFile->text();
    });
    EXPECT_EQ(lines, c.lines) << c.file;
    EXPECT_EQ(source.toStdString(), work + c.file);
  }
  // A task whose file was never accepted shows no audio.
  CurrentTask = TTaskRecord{};
  CurrentTask.Duration = 2054000000;
  QStringList lines;
  LookAndCancel([&](TaddFrm* e) { lines = Lines(e->inFileInfoList); });
  EXPECT_EQ(lines, QStringList({" Duration: 0:03:25.4", " Audio: None"}));
}

TEST_F(TaskEditorTest, EstimatedSizeOfVariableAndConstantBitrates) {
  SetTask(3005000000, true, 192, 128, 256);  // 300.5 s
  ASSERT_EQ(FinishAsShown(), 1);
  EXPECT_EQ(CurrentTask.EstimatedSize, 7200);

  SetTask(599900000, false, 128, 128, 256);  // 59.99 s
  ASSERT_EQ(FinishAsShown(), 1);
  EXPECT_EQ(CurrentTask.EstimatedSize, 944);

  // Ten hours at 320 kbps and beyond: 64-bit arithmetic, no overflow into a negative size.
  SetTask(int64_t(360000) * 10000000 * 100, true, 320, 320, 320);
  ASSERT_EQ(FinishAsShown(), 1);
  EXPECT_EQ(CurrentTask.EstimatedSize, 1440000000);
}

TEST_F(TaskEditorTest, AValueThatIsNoItemKeepsThePreviousSelection) {
  SetTask(10000000, false, 128, 64, 320);
  CurrentTask.SampleRate = 48000;
  LookAndCancel([](TaddFrm* e) { EXPECT_EQ(e->bitRateSel->currentText(), "128 kbps"); });
  SetTask(10000000, false, 100, 64, 320);
  CurrentTask.SampleRate = 22050;
  LookAndCancel([](TaddFrm* e) {
    EXPECT_EQ(e->bitRateSel->currentText(), "128 kbps");
    EXPECT_EQ(e->samplerateSel->currentText(), "48000 Hz");
  });
  ASSERT_EQ(FinishAsShown(), 1);
  EXPECT_EQ(CurrentTask.Bitrate, 128);
  EXPECT_EQ(CurrentTask.SampleRate, 48000);
}

TEST_F(TaskEditorTest, AtTheFirstOpeningAValueThatIsNoItemTakesTheNearestSoTheFinishCompletes) {
  SetTask(10000000, false, 100, 130, 1000);
  CurrentTask.SampleRate = 22050;
  CurrentTask.ChannelMode = 7;
  ASSERT_EQ(FinishAsShown(), 1);
  EXPECT_EQ(CurrentTask.Bitrate, 96);
  EXPECT_EQ(CurrentTask.VbrMinBitrate, 128);
  EXPECT_EQ(CurrentTask.VbrMaxBitrate, 320);
  EXPECT_EQ(CurrentTask.SampleRate, 32000);
  EXPECT_EQ(CurrentTask.ChannelMode, 3);
  EXPECT_EQ(DefaultSettings.AudioBitrate, 96);
}

TEST_F(TaskEditorTest, UntickingVariableBitrateStoresConstantAndStillAllThreeBitrates) {
  SetTask(10000000, true, 192, 64, 256);
  int pageBefore = -1, pageAfter = -1;
  ASSERT_EQ(FinishAsShown([&](TaddFrm* e) {
              // Back to page 2 to untick it there, as the user would.
              e->backBtn->click();
              pageBefore = e->BitrateSettingsPage->currentIndex();
              e->VBRCheck->click();
              pageAfter = e->BitrateSettingsPage->currentIndex();
              e->minBitrateSel->setCurrentIndex(e->minBitrateSel->findText("80 kbps"));
              e->nextBtn->click();
            }),
            1);
  EXPECT_EQ(pageBefore, 1);
  EXPECT_EQ(pageAfter, 0);
  EXPECT_FALSE(CurrentTask.UseVBR);
  EXPECT_EQ(CurrentTask.Bitrate, 192);
  EXPECT_EQ(CurrentTask.VbrMinBitrate, 80);
  EXPECT_EQ(CurrentTask.VbrMaxBitrate, 256);
  EXPECT_EQ(CurrentTask.EstimatedSize, 1 * 192 / 8);
}

TEST_F(TaskEditorTest, TheFinishWritesTaskDefaultsSettingsFileAndHistories) {
  ProbeNewTask(Input("ac3-stereo.rm"));
  const std::string outFolder = work + "out/";
  ASSERT_TRUE(QDir().mkpath(QString::fromStdString(outFolder)));
  CurrentTask.OutputFile = outFolder + "chosen.mp3";
  CurrentTask.BitsPerSample = 24;
  ASSERT_EQ(FinishAsShown([](TaddFrm* e) {
              e->backBtn->click();
              e->VBRCheck->setChecked(true);
              e->minBitrateSel->setCurrentIndex(e->minBitrateSel->findText("96 kbps"));
              e->maxBitrateSel->setCurrentIndex(e->maxBitrateSel->findText("224 kbps"));
              e->bitRateSel->setCurrentIndex(e->bitRateSel->findText("160 kbps"));
              e->samplerateSel->setCurrentIndex(e->samplerateSel->findText("48000 Hz"));
              e->ChannelModeSel->setCurrentIndex(3);
              e->nextBtn->click();
              e->titleEdit->setText(QString(300, QChar(0x00E9)));
              e->albumEdit->setEditText("Белые ночи");
              e->artistEdit->setEditText("山田太郎");
              e->YearEdit->setEditText("2024");
              e->commentEdit->setEditText("live");
              e->GenreEdit->setEditText("Jazz+Funk");
            }),
            1);
  const TTaskRecord& task = CurrentTask;
  EXPECT_EQ(task.OutputFile, outFolder + "chosen.mp3");
  EXPECT_TRUE(task.UseVBR);
  EXPECT_EQ(task.Bitrate, 160);
  EXPECT_EQ(task.VbrMinBitrate, 96);
  EXPECT_EQ(task.VbrMaxBitrate, 224);
  EXPECT_EQ(task.SampleRate, 48000);
  EXPECT_EQ(task.ChannelMode, 3);
  EXPECT_EQ(task.Title.str(), QString(255, QChar(0x00E9)).toStdString());
  EXPECT_EQ(task.Album, "Белые ночи");
  EXPECT_EQ(task.Artist, "山田太郎");
  EXPECT_EQ(task.Genre, "Jazz+Funk");
  EXPECT_EQ(task.EstimatedSize, 2 * (96 + 224) / 16);
  EXPECT_TRUE(Tasks.empty());  // the editor never stores into the list itself

  EXPECT_EQ(DefaultSettings.InputFileDir, work);
  EXPECT_EQ(DefaultSettings.OutputFileDir, outFolder);
  QSettings file(QString::fromStdString(config.SettingsFile()), QSettings::IniFormat);
  EXPECT_EQ(file.value("InputFileDir").toString().toStdString(), work);
  EXPECT_EQ(file.value("OutputFileDir").toString().toStdString(), outFolder);
  EXPECT_EQ(file.value("AudioBitrate").toInt(), 160);
  EXPECT_EQ(file.value("AudioSampleRate").toInt(), 48000);
  EXPECT_EQ(file.value("AudioBitsPerSample").toInt(), 24);
  EXPECT_EQ(file.value("AudioChannels").toInt(), 3);
  EXPECT_EQ(file.value("AudioVBR").toInt(), 1);
  EXPECT_EQ(file.value("AudioVbrMinBitrate").toInt(), 96);
  EXPECT_EQ(file.value("AudioVbrMaxBitrate").toInt(), 224);
  EXPECT_EQ(file.value("tips").toInt(), 0);

  EXPECT_EQ(ReadWholeFile(History(AlbumHistoryFile)), "Белые ночи\r\n");
  EXPECT_EQ(ReadWholeFile(History(ArtistHistoryFile)), "山田太郎\r\n");
  EXPECT_EQ(ReadWholeFile(History(YearHistoryFile)), "2024\r\n");
  EXPECT_EQ(ReadWholeFile(History(CommentHistoryFile)), "live\r\n");

  // The next opening offers them.
  LookAndCancel([](TaddFrm* e) {
    EXPECT_EQ(Items(e->albumEdit), QStringList({"Белые ночи"}));
    EXPECT_EQ(Items(e->artistEdit), QStringList({"山田太郎"}));
  });
}

TEST_F(TaskEditorTest, CancelChangesNothingOutsideTheTask) {
  ProbeNewTask(Input("ac3-stereo.rm"));
  const TDefaultSettings before = DefaultSettings;
  const std::string settingsBefore = ReadWholeFile(config.SettingsFile());
  ModalDriver driver;
  driver.Press("&Next >", "TaddFrm")
      .Press("&Next >", "TaddFrm")
      .Then(
          [](QWidget* w) {
            static_cast<TaddFrm*>(w)->albumEdit->setEditText("Never kept");
            w->close();  // the title bar's close button
          },
          "TaddFrm");
  EXPECT_EQ(editor->exec(), 2);
  ExpectNoDriverFailures(driver);
  EXPECT_EQ(DefaultSettings.AudioBitrate, before.AudioBitrate);
  EXPECT_EQ(DefaultSettings.OutputFileDir, before.OutputFileDir);
  EXPECT_EQ(ReadWholeFile(config.SettingsFile()), settingsBefore);
  EXPECT_FALSE(QFileInfo::exists(QString::fromStdString(History(AlbumHistoryFile))));
  EXPECT_TRUE(driver.messages.isEmpty());
}

}  // namespace

TEST_F(TaskEditorTest, LongTagTextsShowTheirStartInTheirFields) {
  SetTask(20000000, false, 192, 128, 256);
  const std::string longText =
      "Åsa Ørsted / Дмитрий / 山田太郎 and the long list of everyone else who played";
  CurrentTask.Title = longText;
  CurrentTask.Artist = longText;
  CurrentTask.Album = longText;
  CurrentTask.Genre = longText;
  CurrentTask.Year = longText;
  CurrentTask.Comment = longText;
  QList<int> positions;
  LookAndCancel([&](TaddFrm* e) {
    for (QComboBox* field : {e->albumEdit, e->artistEdit, e->GenreEdit, e->YearEdit, e->commentEdit}) {
      EXPECT_EQ(field->currentText().toStdString(), longText) << field->objectName().toStdString();
      positions << field->lineEdit()->cursorPosition();
    }
    positions << e->titleEdit->cursorPosition();
  });
  EXPECT_EQ(positions, QList<int>({0, 0, 0, 0, 0, 0}));
}
