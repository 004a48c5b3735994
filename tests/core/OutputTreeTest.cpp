#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QTemporaryDir>
#include <cerrno>

#include "core/FolderChain.h"
#include "core/OutputTree.h"
#include "tests/support/TestEnvironment.h"

namespace {

TEST(OutputTree, ChosenFolderRootAndEachFilesFolder) {
  TDefaultSettings defaults;
  defaults.InputFileDir = "/in/";
  for (const auto& [output, chosen] :
       std::vector<std::pair<std::string, bool>>{{"", false}, {"/in/", false}, {"/out/", true}}) {
    defaults.OutputFileDir = output;
    const TOutputTree tree = OutputTreeFromDefaults(defaults);
    EXPECT_EQ(tree.Chosen, chosen) << output;
    EXPECT_EQ(TreeOutputFolder(tree, "/in/shows/a/x.rm", "a/"), chosen ? "/out/a/" : "/in/shows/a/");
  }

  // After the editor: the root is the confirmed output's folder less the file's subfolder.
  struct Case {
    std::string output, subfolder;
    bool chosen;
    std::string root;
  };
  for (const Case& c :
       {Case{"/out/a/x.mp3", "a/", true, "/out/"}, Case{"/out/x.mp3", "a/", true, "/out/"},
        Case{"/out/ba/x.mp3", "a/", true, "/out/ba/"}, Case{"/out/a/b/x.mp3", "a/b/", true, "/out/"},
        Case{"/in/shows/a/x.mp3", "a/", false, ""}, Case{"/out/x.mp3", "", true, "/out/"}}) {
    TTaskRecord task;
    task.SourceFile = "/in/shows/a/x.rm";
    task.OutputFile = c.output;
    const TOutputTree tree = OutputTreeFromConfirmedTask(task, c.subfolder);
    EXPECT_EQ(tree.Chosen, c.chosen) << c.output;
    EXPECT_EQ(tree.Root, c.root) << c.output;
  }
}

TEST(OutputTree, TheRunMakesMissingOutputFoldersOrSaysWhyNot) {
  QTemporaryDir dir;
  const std::string root = dir.path().toStdString() + "/";
  int error = -1;
  EXPECT_EQ(CreateOutputFolders(root + "a/b/x.mp3", error), "");
  EXPECT_EQ(error, 0);
  EXPECT_TRUE(FolderExists(root + "a/b/"));
  EXPECT_EQ(CreateOutputFolders(root + "a/b/y.mp3", error), "");  // there already
  WriteWholeFile(root + "file", "in the way");
  EXPECT_EQ(CreateOutputFolders(root + "file/c/x.mp3", error),
            "Cannot create file \"" + root + "file/c/x.mp3\". Not a directory");
  EXPECT_EQ(error, ENOTDIR);
}

}  // namespace
