#include "core/OutputTree.h"

#include "core/Profile.h"

TOutputTree OutputTreeFromDefaults(const TDefaultSettings& defaults) {
  TOutputTree tree;
  tree.Chosen = !defaults.OutputFileDir.empty() && defaults.OutputFileDir != defaults.InputFileDir;
  if (tree.Chosen) tree.Root = defaults.OutputFileDir;
  return tree;
}

TOutputTree OutputTreeFromConfirmedTask(const TTaskRecord& task, const std::string& subfolder) {
  TOutputTree tree;
  const std::string folder = FolderPart(task.OutputFile);
  tree.Chosen = !folder.empty() && folder != FolderPart(task.SourceFile);
  if (!tree.Chosen) return tree;
  const bool inSubfolder =
      !subfolder.empty() && folder.size() > subfolder.size() &&
      folder.compare(folder.size() - subfolder.size(), subfolder.size(), subfolder) == 0 &&
      folder[folder.size() - subfolder.size() - 1] == '/';
  tree.Root = inSubfolder ? folder.substr(0, folder.size() - subfolder.size()) : folder;
  return tree;
}

std::string TreeOutputFolder(const TOutputTree& tree, const std::string& sourceFile,
                             const std::string& subfolder) {
  return tree.Chosen ? tree.Root + subfolder : FolderPart(sourceFile);
}
