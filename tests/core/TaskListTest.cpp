#include <gtest/gtest.h>

#include "core/TaskList.h"

namespace {

class TaskListTest : public ::testing::Test {
 protected:
  void SetUp() override {
    FreeAllTasks();
    CurrentTask = TTaskRecord{};
    FillBitrateTable();
  }
  void TearDown() override { FreeAllTasks(); }

  static void Append(const std::string& title, const std::string& output = "") {
    CurrentTask = TTaskRecord{};
    CurrentTask.Title = title;
    CurrentTask.OutputFile = output;
    StoreTask(true, 0);
  }
};

TEST_F(TaskListTest, AppendStoresACheckedCopyAtTheEnd) {
  CurrentTask.Title = "first";
  CurrentTask.Checked = false;
  StoreTask(true, 99);
  ASSERT_EQ(Tasks.size(), 1u);
  EXPECT_EQ(Tasks[0]->Title, "first");
  EXPECT_TRUE(Tasks[0]->Checked);
  EXPECT_FALSE(CurrentTask.Checked) << "the scratch record itself is not changed";
  CurrentTask.Title = "changed later";
  EXPECT_EQ(Tasks[0]->Title, "first") << "the list holds a copy";
}

TEST_F(TaskListTest, ReplaceKeepsTheCheckMarkTheScratchRecordCarries) {
  Append("a");
  Append("b");
  CurrentTask = *Tasks[1];
  CurrentTask.Checked = false;
  CurrentTask.Title = "b edited";
  StoreTask(false, 1);
  ASSERT_EQ(Tasks.size(), 2u) << "editing does not change the number of tasks";
  EXPECT_EQ(Tasks[1]->Title, "b edited");
  EXPECT_FALSE(Tasks[1]->Checked);
  EXPECT_TRUE(Tasks[0]->Checked);
}

TEST_F(TaskListTest, DeleteMovesLaterTasksForwardInOrder) {
  Append("a");
  Append("b");
  Append("c");
  DeleteTask(0);
  ASSERT_EQ(Tasks.size(), 2u);
  EXPECT_EQ(Tasks[0]->Title, "b");
  EXPECT_EQ(Tasks[1]->Title, "c");
  DeleteTask(1);
  DeleteTask(0);
  EXPECT_TRUE(Tasks.empty());
  DeleteTask(0);  // nothing to delete: no harm
  EXPECT_TRUE(Tasks.empty());
}

TEST_F(TaskListTest, OutputNameTakenComparesWholeTextsWithCase) {
  EXPECT_FALSE(IsOutputNameTaken("/music/song.mp3"));
  Append("a", "/music/song.mp3");
  EXPECT_TRUE(IsOutputNameTaken("/music/song.mp3"));
  EXPECT_FALSE(IsOutputNameTaken("/music/Song.mp3"));
  EXPECT_FALSE(IsOutputNameTaken("/music/song.mp"));
}

TEST_F(TaskListTest, TagTextsAreCutAt255CharactersPathsAreKeptWhole) {
  TTaskRecord record;
  record.Title = std::string(300, 'x');
  EXPECT_EQ(record.Title.str().size(), 255u);

  // 300 two-byte and three-byte letters: 255 letters, never half a letter.
  std::string cyrillic;
  for (int i = 0; i < 300; ++i) cyrillic += "Ж";
  record.Artist = cyrillic;
  EXPECT_EQ(CharCount(record.Artist.str()), 255u);
  EXPECT_EQ(record.Artist.str().size(), 255u * 2);
  std::string mixed;
  for (int i = 0; i < 100; ++i) mixed += "aЖ音";
  record.Album = mixed;
  EXPECT_EQ(CharCount(record.Album.str()), 255u);
  EXPECT_EQ(record.Album.str(), CutToChars(mixed, 255));
  EXPECT_EQ(record.Album.str().substr(record.Album.str().size() - 3), "音");

  const std::string longPath = "/" + std::string(399, 'p');
  record.SourceFile = longPath;
  record.OutputFile = longPath + ".mp3";
  CurrentTask = record;
  StoreTask(true, 0);
  EXPECT_EQ(Tasks[0]->SourceFile.size(), 400u);
  EXPECT_EQ(Tasks[0]->OutputFile, longPath + ".mp3");
}

TEST_F(TaskListTest, InvalidUtf8IsCutByBytesWithoutOverrunning) {
  const std::string broken = std::string(260, '\xC3');  // lead bytes without continuation
  EXPECT_EQ(CutToChars(broken, 255).size(), 255u);
  const std::string truncatedSequence = std::string(254, 'a') + "\xE6\x97";  // cut 3-byte letter
  EXPECT_EQ(CutToChars(truncatedSequence, 255), std::string(254, 'a') + "\xE6");
  // Forms that are not UTF-8 (overlong, surrogate, above U+10FFFF) are bytes, never one letter.
  for (const char* bad : {"\xE0\x80\x80", "\xED\xA0\x80", "\xF4\x90\x80\x80", "\xC0\xAF"}) {
    EXPECT_EQ(Utf8SequenceLength(bad, 0), 0u) << bad;
    EXPECT_EQ(CutToChars(bad, 1), std::string(1, bad[0]));
  }
  EXPECT_EQ(Utf8SequenceLength("a\xE6\x97\xA5", 1), 3u);
  EXPECT_EQ(Utf8SequenceLength("\xF0\x9F\x8E\xB5", 0), 4u);
  EXPECT_EQ(CharCount("\xE6\x97\xA5\xF0\x9F\x8E\xB5x"), 3u);
}

TEST_F(TaskListTest, BitrateTableHoldsTheEighteenBitrates) {
  const std::array<int32_t, BitrateCount> expected = {8,  16,  24,  32,  40,  48,  56,  64,  80,
                                                      96, 112, 128, 144, 160, 192, 224, 256, 320};
  EXPECT_EQ(BitrateTable, expected);
  EXPECT_EQ(BitrateIndex(8), 0);
  EXPECT_EQ(BitrateIndex(192), 14);
  EXPECT_EQ(BitrateIndex(320), 17);
  EXPECT_EQ(BitrateIndex(100), -1);
}

}  // namespace
