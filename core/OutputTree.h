#pragma once
// Where the MP3s of an added folder tree go: beside each input while no output folder is chosen, or
// under the chosen folder with the tree's subfolders kept (OUT/a/Intro.mp3, OUT/b/Intro.mp3).
#include <string>

#include "core/Settings.h"
#include "core/TaskList.h"

struct TOutputTree {
  bool Chosen = false;  // an output folder was chosen: the tree is rebuilt under Root
  std::string Root;     // the chosen folder, with its trailing "/"
};

// The output folder is chosen when OutputFileDir is neither empty nor the input folder (the rule that
// otherwise makes every MP3 follow its own input).
TOutputTree OutputTreeFromDefaults(const TDefaultSettings& defaults);

// After the editor confirmed task, a file of the tree that lay in subfolder (relative, with a trailing
// "/", or "" at the top): an output beside its input chooses no folder; otherwise the root is the output's
// folder less that subfolder (OUT/a/ for a/ gives OUT/), or the folder itself when it does not end in it.
TOutputTree OutputTreeFromConfirmedTask(const TTaskRecord& task, const std::string& subfolder);

// The folder a file of the tree writes its MP3 into: Root + subfolder when chosen, else the input's own
// folder.
std::string TreeOutputFolder(const TOutputTree& tree, const std::string& sourceFile,
                             const std::string& subfolder);
