#include <gtest/gtest.h>

#include "core/OutputTree.h"

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

}  // namespace
