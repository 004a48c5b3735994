// Folders dropped on the main window: walked whole and added as if their files were picked, what cannot
// be used told once at the end, and the tree rebuilt under a chosen output folder.
#include <QApplication>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <filesystem>

#include "app/AddSummary.h"
#include "core/OutputTree.h"
#include "core/Settings.h"
#include "core/TaskList.h"
#include "tests/app/MainWindowFixture.h"
#include "tests/app/MediaTree.h"
#include "ui/ReportWindow.h"
#include "ui/lang.h"

namespace {

class FolderTreeTest : public MainWindowFixture {
 protected:
  // Answers the summary window with OK and keeps its text.
  void ReadSummary(QString& text) {
    driver.Then(
        [&text](QWidget* window) {
          auto* summary = static_cast<TAddSummaryFrm*>(window);
          text = summary->Text();
          summary->okBtn->click();
        },
        "TAddSummaryFrm");
  }
  std::vector<std::string> Sources() const {
    std::vector<std::string> sources;
    for (const auto& task : Tasks) sources.push_back(task->SourceFile);
    return sources;
  }
};

TEST_F(FolderTreeTest, ATreeIsAddedWholeInOrderWithOneSummaryAndItsMp3sWhereTheOutputFolderSays) {
  struct Case {
    const char* name;
    bool outputChosen;
    bool sameSettings;
    bool besideAFile;  // dropped together with a single file, which comes first
  };
  for (const Case& c :
       {Case{"chosen, same settings", true, true, false}, Case{"beside, same settings", false, true, false},
        Case{"chosen, an editor each", true, false, true}}) {
    SCOPED_TRACE(c.name);
    FreeAllTasks();
    const std::string root = work + c.name + "/in/", out = work + c.name + "/out/";
    const TMediaTree tree = MakeMediaTree(root);
    std::filesystem::create_directories(out);
    DefaultSettings.InputFileDir = work;
    DefaultSettings.OutputFileDir = c.outputChosen ? out : work;
    const std::string outRoot = c.outputChosen ? out : root;
    QStringList dropped{QString::fromStdString(root)};
    std::vector<std::string> sources, outputs;
    if (c.besideAFile) {
      const std::string single = Input("ra144.rm", "single.rm");
      dropped.prepend(QString::fromStdString(single));
      sources.push_back(single);
      outputs.push_back((c.outputChosen ? out : work) + "single.mp3");
    }
    for (const std::string& file : tree.Good) {
      sources.push_back(root + file);
      outputs.push_back(Mp3Path(outRoot, file));
    }

    std::vector<std::string> shownOutputs;
    const auto confirm = [&] {
      ConfirmEditor([&](TaddFrm* form) { shownOutputs.push_back(form->dstFile->text().toStdString()); });
    };
    confirm();
    driver.Answer(c.sameSettings ? StrYes : StrNo);
    for (size_t i = 1; !c.sameSettings && i < sources.size(); ++i) confirm();
    QString summary;
    ReadSummary(summary);
    Drop(dropped);
    WaitForBatch();

    // The editor shows each file's output in its subfolder of the tree, and asks nothing about making
    // that folder now: the run makes it.
    EXPECT_EQ(shownOutputs, c.sameSettings ? std::vector<std::string>{outputs[0]} : outputs);
    EXPECT_EQ(driver.messages, QStringList{StrAskSameSettings});
    driver.messages.clear();
    EXPECT_EQ(Sources(), sources);
    EXPECT_EQ(RowTexts().size(), int(sources.size()));
    for (size_t i = 0; i < Tasks.size() && i < sources.size(); ++i) {
      EXPECT_EQ(Tasks[i]->OutputFile, outputs[i]);
      EXPECT_TRUE(Tasks[i]->Checked);
      if (i + tree.Good.size() >= sources.size()) {  // each file's own tags
        EXPECT_EQ(Tasks[i]->Title, tree.Titles[i + tree.Good.size() - sources.size()]);
      }
    }
    // Listed from the folder's own name on.
    EXPECT_EQ(summary.toStdString(), "2 of the 7 files found in " + root + " were left out.\n" +
                                         StrCannotRead + "\n in/" + tree.Unreadable + "\n" + StrNoAudio +
                                         "\n in/" + tree.NoAudio + "\n\n" + StrCodecHint);
    // What the next batch starts from: the chosen root, not the subfolder of the file confirmed last;
    // with none chosen, still none.
    EXPECT_EQ(DefaultSettings.OutputFileDir, c.outputChosen ? out : DefaultSettings.InputFileDir);
    EXPECT_EQ(OutputTreeFromDefaults(DefaultSettings).Chosen, c.outputChosen);
    EXPECT_FALSE(std::filesystem::exists(out + "a"));  // made by the run, not by the adding
  }
}

TEST_F(FolderTreeTest, AFolderWithNothingToConvertIsToldSo) {
  const std::string empty = work + "empty/";
  std::filesystem::create_directories(empty + "sub");
  WriteWholeFile(empty + "sub/notes.txt", "text");
  QString summary;
  ReadSummary(summary);
  Drop({QString::fromStdString(empty)});
  WaitForBatch();
  EXPECT_TRUE(Tasks.empty());
  EXPECT_EQ(summary.toStdString(), "No file to convert (.rm, .rma, .ra, .rmvb) was found in " + empty + ".");
  EXPECT_TRUE(main->addFileBtn->isEnabled());
}

TEST_F(FolderTreeTest, ASubfolderTheRunCannotMakeFailsItsTasksAndTheOthersAreConverted) {
  const std::string root = work + "in/", out = work + "out/";
  const TMediaTree tree = MakeMediaTree(root);
  std::filesystem::create_directories(out);
  WriteWholeFile(out + "b", "a file where the folder b should go");
  DefaultSettings.OutputFileDir = out;
  ConfirmEditor();
  driver.Answer(StrYes);
  QString summary;
  ReadSummary(summary);
  Drop({QString::fromStdString(root)});
  WaitForBatch();
  ASSERT_EQ(Tasks.size(), tree.Good.size());

  driver.messages.clear();
  // No message while the run goes on: the two failures are listed in the report at its end.
  QString report;
  driver.Then(
      [&report](QWidget* window) {
        report = static_cast<TReportFrm*>(window)->Text();
        FindButton(window, StrNo)->click();
      },
      "TReportFrm");
  main->startBtn->click();
  WaitUntil([this] { return driver.Remaining() == 0 && !QApplication::activeModalWidget(); });
  EXPECT_TRUE(driver.messages.isEmpty()) << driver.messages.join(" | ").toStdString();
  EXPECT_TRUE(report.startsWith("5 files: 3 converted, 0 converted in part, 2 failed, 0 skipped.\n"))
      << report.toStdString();
  for (const std::string file : {"b/c/deep.mp3", "b/Intro.mp3"}) {
    const std::string name = file.substr(file.rfind('/') + 1);
    EXPECT_TRUE(report.contains(QString::fromStdString("\n    The MP3 file \"" + name +
                                                       "\" cannot be created (Cannot create file \"" + out +
                                                       file + "\". Not a directory).\n")))
        << report.toStdString();
  }
  for (const std::string& file : {tree.Good[0], tree.Good[3], tree.Good[4]})
    EXPECT_GT(std::filesystem::file_size(Mp3Path(out, file)), 1000u) << file;
}

}  // namespace

TEST(AddSummary, EveryKindKeepsAFewLinesAndTheRestIsCounted) {
  TAddSummary summary;
  summary.WalkedFolders = {"/music/Archive/"};
  summary.FoundFiles = 60;
  for (int i = 1; i <= 45; ++i) summary.LeftOut.push_back({"Archive/bad " + std::to_string(i) + ".rm", 1});
  summary.LeftOut.push_back({"Archive/video.rm", 2});
  summary.UnreadableFolders = {"Archive/locked/"};
  EXPECT_EQ(AddSummaryHeadline(summary).toStdString(),
            "46 of the 60 files found in /music/Archive/ were left out. 1 folder could not be opened.");
  const QStringList lines = AddSummaryList(summary, 10).split('\n');
  ASSERT_EQ(lines.size(), 16);
  EXPECT_EQ(lines[0], StrCannotRead);
  EXPECT_EQ(lines[8], " Archive/bad 8.rm");
  EXPECT_EQ(lines[9], " ... and 37 more");
  EXPECT_EQ(lines.mid(10, 5), (QStringList{StrNoAudio, " Archive/video.rm",
                                           "These folders could not be opened:", " Archive/locked/", ""}));
  EXPECT_EQ(lines.last(), StrCodecHint);
}
