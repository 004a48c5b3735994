// The tag histories on disk: read, sorted, extended by the editor's finish, written as UTF-8 with CR LF,
// and bad files or folders met with an empty list or one clear message.
#include <sys/stat.h>
#include <utime.h>

#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>

#include "tests/ui/EditorFixture.h"

namespace {

QStringList Items(const QComboBox* list) {
  QStringList items;
  for (int i = 0; i < list->count(); ++i) items << list->itemText(i);
  return items;
}

class TagHistoryTest : public EditorFixture {
 protected:
  void SetUp() override {
    EditorFixture::SetUp();
    folder = HistoryFolder();
    owned = std::make_unique<QComboBox>();
    owned->setEditable(true);
    list = owned.get();
  }
  void Put(const char* name, const std::string& bytes) {
    ASSERT_TRUE(QDir().mkpath(QString::fromStdString(folder)));
    WriteWholeFile(folder + name, bytes);
  }
  // The finish of the editor with these four texts (the title and the rest as the probe left them).
  void FinishWith(const QString& album, const QString& artist, const QString& year, const QString& comment,
                  ModalDriver* messages = nullptr) {
    ProbeNewTask(Input("ac3-stereo.rm"));
    ModalDriver driver;
    driver.Press("&Next >", "TaddFrm").Press("&Next >", "TaddFrm");
    driver.Then(
        [=](QWidget* w) {
          auto* e = static_cast<TaddFrm*>(w);
          e->albumEdit->setEditText(album);
          e->artistEdit->setEditText(artist);
          e->YearEdit->setEditText(year);
          e->commentEdit->setEditText(comment);
          e->nextBtn->click();
        },
        "TaddFrm");
    EXPECT_EQ(editor->exec(), 1);
    ExpectNoDriverFailures(driver);
    if (messages) ExpectNoDriverFailures(*messages);
  }
  static int64_t ModifiedNs(const std::string& path) {
    struct stat info {};
    ::stat(path.c_str(), &info);
    return int64_t(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec;
  }
  static void AgeFile(const std::string& path) {
    const utimbuf old{1000000000, 1000000000};
    ::utime(path.c_str(), &old);
  }

  std::string folder;
  std::unique_ptr<QComboBox> owned;  // made once the application exists
  QComboBox* list = nullptr;
};

TEST_F(TagHistoryTest, TheHistoryFolderIsTheUsersDataFolder) {
  EXPECT_EQ(folder, data.Path() + "/Zarnok/Tolvane/");
}

TEST_F(TagHistoryTest, LoadingSortsKeepsTheShownTextAndTakesALastLineWithoutLineEnd) {
  Put(AlbumHistoryFile, "Zeta\r\nbeta\nAlpha\r\n\r\nBeta\r\nomega");
  list->setEditText("typed");
  LoadHistoryList(folder + AlbumHistoryFile, list);
  EXPECT_EQ(Items(list), QStringList({"", "Alpha", "Beta", "beta", "omega", "Zeta"}));
  EXPECT_EQ(list->currentText(), "typed");
  // Reloading replaces, and a missing file is an empty history.
  LoadHistoryList(folder + "missing.lst", list);
  EXPECT_TRUE(Items(list).isEmpty());
  EXPECT_EQ(list->currentText(), "typed");
}

TEST_F(TagHistoryTest, FinishingAddsNewTextsInOrderAndLeavesKnownAndEmptyOnesUntouched) {
  Put(AlbumHistoryFile, "Zeta\r\nAlpha\r\n");
  Put(ArtistHistoryFile, "Tolvane Tests\r\n");
  Put(YearHistoryFile, "1999\r\n");
  AgeFile(folder + ArtistHistoryFile);
  AgeFile(folder + YearHistoryFile);
  const int64_t artistTime = ModifiedNs(folder + ArtistHistoryFile);
  const int64_t yearTime = ModifiedNs(folder + YearHistoryFile);

  FinishWith("Best of", "TOLVANE tests", "", "Live at home");
  EXPECT_EQ(ReadWholeFile(folder + AlbumHistoryFile), "Alpha\r\nBest of\r\nZeta\r\n");
  EXPECT_EQ(ReadWholeFile(folder + ArtistHistoryFile), "Tolvane Tests\r\n");
  EXPECT_EQ(ModifiedNs(folder + ArtistHistoryFile), artistTime);
  EXPECT_EQ(ReadWholeFile(folder + YearHistoryFile), "1999\r\n");
  EXPECT_EQ(ModifiedNs(folder + YearHistoryFile), yearTime);
  EXPECT_EQ(ReadWholeFile(folder + CommentHistoryFile), "Live at home\r\n");
  EXPECT_EQ(CurrentTask.Artist, "TOLVANE tests");  // the task keeps what the user typed
}

TEST_F(TagHistoryTest, TheYearIsReadFromItsOlderLowerCaseNameAndWrittenUnderOneSpelling) {
  Put(LegacyYearHistoryFile, "2001\r\n");
  FinishWith("", "", "1987", "");
  EXPECT_EQ(ReadWholeFile(folder + YearHistoryFile), "1987\r\n2001\r\n");
  // From now on Year.lst is the one read.
  WriteWholeFile(folder + LegacyYearHistoryFile, "1111\r\n");
  QComboBox album, artist, year, comment;
  for (QComboBox* l : {&album, &artist, &year, &comment}) l->setEditable(true);
  LoadAllHistories(&album, &artist, &year, &comment);
  EXPECT_EQ(Items(&year), QStringList({"1987", "2001"}));
}

TEST_F(TagHistoryTest, CyrillicAndJapaneseEntriesSurviveSaveAndLoadAsUtf8) {
  FinishWith("Белые ночи", "山田太郎", "", "");
  FinishWith("Альбом", "", "", "");
  EXPECT_EQ(ReadWholeFile(folder + AlbumHistoryFile), "Альбом\r\nБелые ночи\r\n");
  EXPECT_EQ(ReadWholeFile(folder + ArtistHistoryFile), "山田太郎\r\n");
  LoadHistoryList(folder + AlbumHistoryFile, list);
  EXPECT_EQ(Items(list), QStringList({"Альбом", "Белые ночи"}));
}

TEST_F(TagHistoryTest, InvalidUtf8NulBytesAndAHugeLineGiveAUsableList) {
  Put(AlbumHistoryFile, std::string("Caf\xE9 Noir\r\nNul\0Byte\r\n", 21) +
                            std::string(10 * 1024 * 1024, 'x') + "\r\nAfter\r\n");
  LoadHistoryList(folder + AlbumHistoryFile, list);
  const QStringList items = Items(list);
  ASSERT_EQ(items.size(), 4);
  EXPECT_EQ(items[0], "After");
  EXPECT_EQ(items[1], "Café Noir");  // Windows-1252, as tag texts are read
  EXPECT_EQ(items[2], "Nul Byte");
  EXPECT_EQ(items[3], QString(255, 'x'));  // an entry keeps at most what a field keeps
}

TEST_F(TagHistoryTest, AHistoryFolderThatIsAFileGivesOneMessageAndTheFinishGoesOn) {
  ASSERT_TRUE(QDir().mkpath(QString::fromStdString(data.Path() + "/Zarnok")));
  WriteWholeFile(data.Path() + "/Zarnok/Tolvane", "a file where the folder should be");
  ModalDriver messages;
  messages.Answer("&OK");
  FinishWith("New album", "New artist", "2020", "New comment", &messages);
  ASSERT_EQ(messages.messages.size(), 1);
  EXPECT_EQ(messages.messages[0].toStdString(),
            "Cannot create file \"" + folder + AlbumHistoryFile + "\". Not a directory");
  EXPECT_EQ(messages.kinds[0], mkError);
  // The rest of the finish happened: the settings were saved.
  EXPECT_NE(ReadWholeFile(config.SettingsFile()).find("AudioBitrate"), std::string::npos);
  EXPECT_EQ(CurrentTask.Album, "New album");
  // And the next opening shows empty histories instead of failing.
  ModalDriver look;
  QStringList albums{"unset"};
  look.Then(
      [&](QWidget* w) {
        albums = Items(static_cast<TaddFrm*>(w)->albumEdit);
        FindButton(w, "&Cancel")->click();
      },
      "TaddFrm");
  editor->exec();
  EXPECT_TRUE(albums.isEmpty());
}

TEST_F(TagHistoryTest, AHistoryFileThatIsAFolderIsAnEmptyListAndItsSaveIsReported) {
  ASSERT_TRUE(QDir().mkpath(QString::fromStdString(folder + ArtistHistoryFile)));
  LoadHistoryList(folder + ArtistHistoryFile, list);
  EXPECT_TRUE(Items(list).isEmpty());
  ModalDriver messages;
  messages.Answer("&OK");
  FinishWith("Fine album", "Blocked artist", "", "", &messages);
  ASSERT_EQ(messages.messages.size(), 1);
  EXPECT_NE(messages.messages[0].toStdString().find(folder + ArtistHistoryFile), std::string::npos);
  EXPECT_EQ(ReadWholeFile(folder + AlbumHistoryFile), "Fine album\r\n");  // the other fields are saved
}

TEST_F(TagHistoryTest, AddingComparesWholeTextsWithoutRegardToLetterCase) {
  LoadHistoryList(folder + AlbumHistoryFile, list);
  EXPECT_TRUE(AddHistoryEntry(list, "Émile"));
  EXPECT_FALSE(AddHistoryEntry(list, "éMILE"));
  EXPECT_TRUE(AddHistoryEntry(list, "Émile "));  // blanks count
  EXPECT_FALSE(AddHistoryEntry(list, ""));
  EXPECT_TRUE(AddHistoryEntry(list, "apple"));
  EXPECT_EQ(Items(list), QStringList({"apple", "Émile", "Émile "}));
}

}  // namespace
