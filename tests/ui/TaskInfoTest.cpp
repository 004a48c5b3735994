// The information panel on real task records: its rich texts, the edit link's place, and the link
// names that reach the handler when a link is clicked.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QLocale>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTextDocument>

#include "core/Settings.h"
#include "core/TaskList.h"
#include "tests/support/TestEnvironment.h"
#include "ui/TaskInfo.h"

namespace {

int argc = 1;
char programName[] = "test_ui_windows";
char* argv[] = {programName, nullptr};

QString PlainText(const QLabel* label) {
  QTextDocument document;
  document.setHtml(label->text());
  return document.toPlainText();
}

// Clicks the last character of a label's text, which is where its link ends.
void ClickLinkEnd(QLabel* label) {
  const int textWidth = label->fontMetrics().horizontalAdvance(PlainText(label));
  QTest::mouseClick(label, Qt::LeftButton, Qt::NoModifier, QPoint(textWidth - 3, label->height() / 2));
}

class TaskInfoTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (!QApplication::instance()) new QApplication(argc, argv);
  }
  void SetUp() override {
    FreeAllTasks();
    DefaultSettings = TDefaultSettings();
    panel.setTitle("Conversion Settings ....");
    panel.resize(445, 105);
    panel.show();
  }
  void TearDown() override { FreeAllTasks(); }
  // Appends a task as the reading worker does and returns its index.
  int AddTask(const std::string& source, const std::string& output, int64_t duration, int32_t size) {
    CurrentTask = TTaskRecord();
    CurrentTask.SourceFile = source;
    CurrentTask.OutputFile = output;
    CurrentTask.Duration = duration;
    CurrentTask.EstimatedSize = size;
    CurrentTask.ChannelMode = 2;
    CurrentTask.Bitrate = 192;
    StoreTask(true, 0);
    return int(Tasks.size()) - 1;
  }
  QString DecimalPoint() const { return QLocale::system().decimalPoint(); }

  QTemporaryDir dir;
  TTaskInfoPanel panel;
};

TEST_F(TaskInfoTest, AnEmptyListShowsOnlyTheAddFilesLink) {
  panel.ShowTaskInfo(-1);
  EXPECT_EQ(panel.taskInfo_1->text(),
            "<a href=\"aa\">Please click the \"Add Files\" button to add files.</a>");
  for (QLabel* label : {panel.taskInfo_2, panel.TaskInfo_5, panel.taskinfo_3, panel.Taskinfo_4})
    EXPECT_EQ(label->text(), "") << label->objectName().toStdString();
  // A row past the end changes nothing.
  panel.ShowTaskInfo(0);
  EXPECT_EQ(PlainText(panel.taskInfo_1), "Please click the \"Add Files\" button to add files.");
}

TEST_F(TaskInfoTest, ATaskShowsItsFilesSettingsDurationAndSize) {
  const std::string output = dir.path().toStdString() + "/talk.mp3";
  const int index = AddTask("/music/talk.rm", output, 2054000000, 4925);
  panel.ShowTaskInfo(index);
  EXPECT_EQ(panel.taskInfo_1->text(), "<b>Input File</b>: <a href=\"bb\"><u>/music/talk.rm</u></a>");
  EXPECT_EQ(panel.taskInfo_2->text(), QString("<b>Output File</b>: ") + dir.path() + "/talk.mp3");
  EXPECT_EQ(panel.TaskInfo_5->text(), "<b>MP3 Settings</b>: Joint Stero, 192 Kbps, CBR");
  EXPECT_EQ(panel.taskinfo_3->text(),
            "<b>Duration</b>: 0:03:25.4, <b>Output File Size</b>: about 4" + DecimalPoint() + "81 M");
  EXPECT_EQ(panel.Taskinfo_4->text(), "<a href=\"cc\"><u>Edit...</u></a>");

  // Once the MP3 exists, the output path becomes a link.
  WriteWholeFile(output, "ID3");
  panel.ShowTaskInfo(index);
  EXPECT_EQ(panel.taskInfo_2->text(),
            QString("<b>Output File</b>: <a href=\"dd\"><u>") + dir.path() + "/talk.mp3</u></a>");
}

TEST_F(TaskInfoTest, TheSettingsLineIsTheTasksOwnAndAnUnknownModeLeavesItsPlaceEmpty) {
  const int index = AddTask("/a.rm", "/a.mp3", 0, 0);
  // Defaults that differ from the task in every field: the line never shows them.
  DefaultSettings.AudioChannels = 2;
  DefaultSettings.AudioVBR = false;
  DefaultSettings.AudioBitrate = 128;
  TTaskRecord& task = *Tasks[size_t(index)];
  task.ChannelMode = 7;
  panel.ShowTaskInfo(index);
  EXPECT_EQ(panel.TaskInfo_5->text(), "<b>MP3 Settings</b>: , 192 Kbps, CBR");
  EXPECT_TRUE(PlainText(panel.TaskInfo_5).startsWith("MP3 Settings: , "));
  task.ChannelMode = -1;
  panel.ShowTaskInfo(index);
  EXPECT_EQ(panel.TaskInfo_5->text(), "<b>MP3 Settings</b>: , 192 Kbps, CBR");
  const char* modes[] = {"Dual Channels", "Stero", "Joint Stero", "Mono"};
  for (int mode = 0; mode < 4; ++mode) {
    task.ChannelMode = mode;
    task.UseVBR = true;
    task.VbrMinBitrate = 96 + mode;
    task.VbrMaxBitrate = 320;
    panel.ShowTaskInfo(index);
    EXPECT_EQ(panel.TaskInfo_5->text().toStdString(), std::string("<b>MP3 Settings</b>: ") + modes[mode] +
                                                          ", " + std::to_string(96 + mode) +
                                                          " - 320 Kbps, VBR");
  }
  task.UseVBR = false;
  task.Bitrate = 64;
  panel.ShowTaskInfo(index);
  EXPECT_EQ(panel.TaskInfo_5->text(), "<b>MP3 Settings</b>: Mono, 64 Kbps, CBR");
  EXPECT_EQ(panel.taskinfo_3->text(),
            "<b>Duration</b>: 0:00:00.0, <b>Output File Size</b>: about 0" + DecimalPoint() + "00 M");
}

TEST_F(TaskInfoTest, NamesShowEveryCharacterAsItIs) {
  const std::string source = "/music/<b>Rock & Roll</b>  \"live\".rm";
  const int index = AddTask(source, "/out/a&amp;b <i>.mp3", 0, 0);
  panel.ShowTaskInfo(index);
  EXPECT_EQ(PlainText(panel.taskInfo_1).toStdString(), "Input File: " + source);
  EXPECT_EQ(PlainText(panel.taskInfo_2).toStdString(), "Output File: /out/a&amp;b <i>.mp3");
}

TEST_F(TaskInfoTest, LinesSitAtTheirPlacesAndTheEditLinkFollowsTheDurationLine) {
  const int shortTask = AddTask("/a.rm", "/a.mp3", 10000000, 10);
  const int longTask = AddTask("/b.rm", "/b.mp3", 3600000000000, 2000000000);
  EXPECT_EQ(panel.taskInfo_1->pos(), QPoint(8, 32));
  EXPECT_EQ(panel.taskInfo_2->pos(), QPoint(8, 48));
  EXPECT_EQ(panel.TaskInfo_5->pos(), QPoint(8, 64));
  EXPECT_EQ(panel.taskinfo_3->pos(), QPoint(8, 80));
  int editX[2] = {0, 0};
  for (int pass = 0; pass < 3; ++pass) {  // long after short, then short after long
    const int index = pass == 1 ? longTask : shortTask;
    panel.ShowTaskInfo(index);
    const QRect duration = panel.taskinfo_3->geometry();
    EXPECT_EQ(duration.width(), panel.taskinfo_3->sizeHint().width());
    EXPECT_EQ(panel.Taskinfo_4->x(), duration.x() + duration.width() + 10);
    EXPECT_EQ(panel.Taskinfo_4->y(), 80);
    editX[index] = panel.Taskinfo_4->x();
  }
  EXPECT_GT(editX[longTask], editX[shortTask]);
}

TEST_F(TaskInfoTest, EachLinkNameReachesTheHandler) {
  QSignalSpy clicked(&panel, &TTaskInfoPanel::LinkClicked);
  panel.ShowTaskInfo(-1);
  ClickLinkEnd(panel.taskInfo_1);
  const std::string output = dir.path().toStdString() + "/x.mp3";
  WriteWholeFile(output, "ID3");
  panel.ShowTaskInfo(AddTask("/music/x.rm", output, 20000000, 100));
  ClickLinkEnd(panel.taskInfo_1);
  ClickLinkEnd(panel.Taskinfo_4);
  ClickLinkEnd(panel.taskInfo_2);
  ClickLinkEnd(panel.TaskInfo_5);  // no link on the settings line
  ASSERT_EQ(clicked.size(), 4);
  QStringList names;
  for (const QList<QVariant>& call : clicked) names << call.at(0).toString();
  EXPECT_EQ(names, QStringList({"aa", "bb", "cc", "dd"}));
}

TEST(RichTextOf, KeepsMarkupCharactersAndRunsOfBlanks) {
  EXPECT_EQ(RichTextOf("a<b>&\"c\""), "a&lt;b&gt;&amp;&quot;c&quot;");
  EXPECT_EQ(RichTextOf("a  b "), "a &nbsp;b&nbsp;");
  EXPECT_EQ(RichTextOf(" x"), "&nbsp;x");
  QTextDocument document;
  document.setHtml(RichTextOf("  two  blanks  "));
  EXPECT_EQ(document.toPlainText().replace(QChar(0xA0), ' '), "  two  blanks  ");
}

}  // namespace
