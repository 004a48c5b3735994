// A folder tree handed to the real program, named on its command line and dropped on its window: added
// whole with the editor for its first file and one question, one message for the files it cannot use,
// and after the run the MP3s in the same tree under the chosen folder, or beside their inputs.
#include <QFileInfo>
#include <QRect>
#include <filesystem>

#include "tests/app/MediaTree.h"
#include "tests/e2e/E2eFixture.h"
#include "tests/support/MediaReader.h"

class FolderTree : public E2eTest {
 protected:
  // The editor of the first file confirmed, yes to the same settings, then exactly one message, the
  // summary, whole on the screen; the conversion; the program closed.
  void AddConvertAndClose(ProgramRun& program, const QString& main) {
    ASSERT_NO_FATAL_FAILURE(ConfirmEditor());
    ASSERT_NO_FATAL_FAILURE(AnswerMessage({"alt+y"}));
    const QString summary = desktop_.WaitForWindow(titles::kMessage);
    ASSERT_FALSE(summary.isEmpty()) << "no summary of the files left out";
    const QRect screen(0, 0, 1024, 768);
    EXPECT_TRUE(screen.contains(desktop_.Geometry(summary))) << "the summary does not fit on the screen";
    ASSERT_TRUE(desktop_.KeysUntilHidden(summary, {"Return"}));
    EXPECT_TRUE(desktop_.WaitForWindow(titles::kMessage, 1500).isEmpty()) << "a second message";
    EXPECT_TRUE(desktop_.Windows(titles::kEditor).isEmpty());
    ASSERT_NO_FATAL_FAILURE(ConvertAll(main));
    ASSERT_NO_FATAL_FAILURE(CloseProgram(program));
  }
  // Every good file of the tree has its MP3 under outRoot, written in the tree's order (one task at a
  // time, in list order), and nothing else was written there.
  static void ExpectMp3s(const TMediaTree& tree, const std::string& outRoot) {
    auto previous = std::filesystem::file_time_type::min();
    for (const std::string& file : tree.Good) {
      const std::string mp3 = Mp3Path(outRoot, file);
      SCOPED_TRACE(mp3);
      ASSERT_TRUE(std::filesystem::exists(mp3));
      const DecodedMedia decoded = DecodeMedia(mp3);
      EXPECT_TRUE(decoded.ok) << decoded.error;
      EXPECT_NEAR(decoded.DecodedSeconds(), 2.05, 0.2);
      const auto written = std::filesystem::last_write_time(mp3);
      EXPECT_LT(previous, written);
      previous = written;
    }
    for (const std::string& file : {tree.Unreadable, tree.NoAudio, std::string(".hidden/secret.rm")})
      EXPECT_FALSE(std::filesystem::exists(Mp3Path(outRoot, file))) << file;
  }
};

TEST_F(FolderTree, NamedOnTheCommandLineItLandsInTheSameTreeUnderTheChosenFolder) {
  const std::string root = MediaPath("Archive/").toStdString(), out = MediaPath("Out/").toStdString();
  const TMediaTree tree = MakeMediaTree(root);
  std::filesystem::create_directories(out);
  StoreSetting("tips", 10000);
  StoreSetting("ParallelTasks", 1);
  StoreSetting("OutputFileDir", QString::fromStdString(out));
  auto program = StartProgram({QString::fromStdString(root)});
  const QString main = WaitForMainWindow(/*expectTip=*/false);
  ASSERT_FALSE(main.isEmpty());
  ASSERT_NO_FATAL_FAILURE(AddConvertAndClose(*program, main));
  ExpectMp3s(tree, out);
  EXPECT_TRUE(std::filesystem::exists(out + "b/Intro.mp3"));  // beside out/a/Intro.mp3, not Intro(2)
  EXPECT_EQ(StoredSetting("OutputFileDir").toString().toStdString(), out);
}

TEST_F(FolderTree, DroppedWithNoOutputFolderChosenEachMp3GoesBesideItsInput) {
  const std::string root = MediaPath("Archive/").toStdString();
  const TMediaTree tree = MakeMediaTree(root);
  StoreSetting("tips", 10000);
  StoreSetting("ParallelTasks", 1);
  auto program = StartProgram();
  const QString main = WaitForMainWindow(/*expectTip=*/false);
  ASSERT_FALSE(main.isEmpty());
  ASSERT_EQ(DropOnMainWindow(main, {QString::fromStdString(root)}), "drop: copy");
  ASSERT_NO_FATAL_FAILURE(AddConvertAndClose(*program, main));
  ExpectMp3s(tree, root);
  EXPECT_EQ(StoredSetting("OutputFileDir").toString(), StoredSetting("InputFileDir").toString());
}
