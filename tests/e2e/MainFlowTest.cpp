// The whole program as a user meets it: two files dropped from a file manager, the editor for the
// first, the same settings for the second, one title edited, the conversion, and a second start that
// takes up the settings of the first.
#include <QFile>
#include <QRect>

#include "tests/e2e/E2eFixture.h"
#include "tests/support/MediaReader.h"

namespace {

const std::string kUnicodeTitle = "Café Ünïcødé — Привет 音楽";
const std::string kUnicodeArtist = "Åsa Ørsted / Дмитрий / 山田太郎";

// What a player finds in a written MP3 file.
void ExpectMp3(const QString& path, int sampleRate, double seconds, double tone, const std::string& title,
               const std::string& artist) {
  SCOPED_TRACE(path.toStdString());
  ASSERT_TRUE(QFile::exists(path));
  const DecodedMedia mp3 = DecodeMedia(path.toStdString());
  ASSERT_TRUE(mp3.ok) << mp3.error;
  EXPECT_EQ(mp3.formatName, "mp3");
  EXPECT_EQ(mp3.sampleRate, sampleRate);
  EXPECT_EQ(mp3.channels, 2);
  EXPECT_NEAR(mp3.DecodedSeconds(), seconds, 0.15);
  ASSERT_FALSE(mp3.samples.empty());
  EXPECT_NEAR(DominantFrequency(mp3.samples[0], mp3.sampleRate), tone, 15.0);
  EXPECT_EQ(mp3.tags.count("title") ? mp3.tags.at("title") : "", title);
  EXPECT_EQ(mp3.tags.count("artist") ? mp3.tags.at("artist") : "", artist);
}

}  // namespace

class MainFlow : public E2eTest {};

TEST_F(MainFlow, DroppedFilesAreEditedConvertedAndTheSettingsLastToTheNextStart) {
  const QString stereo = CopyTestFile("ac3-stereo.rm");
  const QString aac = CopyTestFile("aac.rm");
  const QString later = CopyTestFile("ra144.rm");
  QFile::copy(MediaPath("aac.rm"), MediaPath("notes.txt"));

  {
    auto program = StartProgram();
    const QString main = WaitForMainWindow(/*expectTip=*/true);
    ASSERT_FALSE(main.isEmpty());

    // A file of another type is refused by the window itself.
    EXPECT_EQ(DropOnMainWindow(main, {MediaPath("notes.txt")}), "drop: ignore");
    EXPECT_EQ(desktop_.Windows(titles::kEditor), QStringList());

    ASSERT_EQ(DropOnMainWindow(main, {stereo, aac}), "drop: copy");
    // The first file's editor: page 2 gets another sample rate (the last of the list, 48000 Hz).
    const QString editor = desktop_.WaitForWindow(titles::kEditor);
    ASSERT_FALSE(editor.isEmpty()) << "the task editor did not appear for the first file";
    desktop_.Keys(editor, {"alt+n", "Tab", "Tab", "End", "alt+n", "alt+o"});
    ASSERT_TRUE(desktop_.WaitUntilGone(titles::kEditor));
    // "Would you like to use same settings to other files?": yes, so the second file needs no editor.
    ASSERT_NO_FATAL_FAILURE(AnswerMessage({"alt+y"}));

    // The second task's row: the list takes the keyboard with a click below the rows; Home and End
    // select the last row whichever row is current (a key that does not move selects nothing); Edit
    // opens it. Page 3 opens with the whole title selected, so typing replaces it.
    const QRect window = desktop_.Geometry(main);
    desktop_.Click(window.topLeft() + QPoint(80, window.height() - 200));
    desktop_.Keys(main, {"Home", "End", "alt+e"});
    const QString taskEditor = desktop_.WaitForWindow(titles::kEditor);
    ASSERT_FALSE(taskEditor.isEmpty()) << "Edit did not open the editor";
    desktop_.Keys(taskEditor, {"alt+n", "alt+n"});
    desktop_.Type(taskEditor, "Renamed by the test");
    desktop_.Keys(taskEditor, {"alt+o"});
    ASSERT_TRUE(desktop_.WaitUntilGone(titles::kEditor));

    // Both rows keep their check marks: both files are converted.
    ASSERT_NO_FATAL_FAILURE(ConvertAll(main));
    ASSERT_NO_FATAL_FAILURE(CloseProgram(*program));
  }
  ExpectMp3(MediaPath("ac3-stereo.mp3"), 48000, 2.02, 1000, kUnicodeTitle, kUnicodeArtist);
  ExpectMp3(MediaPath("aac.mp3"), 48000, 2.09, 660, "Renamed by the test", "Tolvane Tests");
  EXPECT_EQ(StoredSetting("AudioSampleRate").toInt(), 48000);
  EXPECT_EQ(StoredSetting("InputFileDir").toString(), MediaPath(""));
  EXPECT_EQ(StoredSetting("tips").toInt(), 1);  // the second tip was shown

  {
    // The next start: the tip after that one, and the editor offers the settings confirmed last.
    auto program = StartProgram();
    const QString main = WaitForMainWindow(/*expectTip=*/true);
    ASSERT_FALSE(main.isEmpty());
    ASSERT_EQ(DropOnMainWindow(main, {later}), "drop: copy");
    ASSERT_NO_FATAL_FAILURE(ConfirmEditor());
    ASSERT_NO_FATAL_FAILURE(ConvertAll(main));
    ASSERT_NO_FATAL_FAILURE(CloseProgram(*program));
  }
  ExpectMp3(MediaPath("ra144.mp3"), 48000, 2.02, 550, "Tone 550", "Tolvane Tests");
  EXPECT_EQ(StoredSetting("tips").toInt(), 2);
}

TEST_F(MainFlow, CancellingTheFirstFilesEditorEndsTheBatchOfThree) {
  const QStringList files = {CopyTestFile("ac3-stereo.rm"), CopyTestFile("aac.rm"), CopyTestFile("ra144.rm")};
  StoreSetting("tips", 10000);
  auto program = StartProgram();
  const QString main = WaitForMainWindow(/*expectTip=*/false);
  ASSERT_FALSE(main.isEmpty());
  ASSERT_EQ(DropOnMainWindow(main, files), "drop: copy");
  const QString editor = desktop_.WaitForWindow(titles::kEditor);
  ASSERT_FALSE(editor.isEmpty());
  ASSERT_TRUE(desktop_.KeysUntilHidden(editor, {"alt+c"}));

  // No question and no editor for the other two: the window takes Add Files at once.
  desktop_.Keys(main, {"alt+a"});
  const QString dialog = desktop_.WaitForWindow(titles::kOpenDialog);
  ASSERT_FALSE(dialog.isEmpty()) << "Add Files did not open the open dialog";
  EXPECT_EQ(desktop_.Windows(titles::kMessage), QStringList());
  EXPECT_EQ(desktop_.Windows(titles::kEditor), QStringList());
  desktop_.Keys(dialog, {"Escape"});
  ASSERT_TRUE(desktop_.WaitUntilGone(titles::kOpenDialog));
  ASSERT_NO_FATAL_FAILURE(CloseProgram(*program));
  // The cancelled editor confirmed nothing: the input folder is still the first start's.
  EXPECT_NE(StoredSetting("InputFileDir").toString(), MediaPath(""));
}
