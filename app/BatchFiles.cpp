#include "app/BatchFiles.h"

#include <system_error>
#include <thread>

#include "ui/ThreadEndWait.h"

namespace {

TFolderWalk WalkOrTell(const std::string& folder, const std::vector<std::string>& extensions) {
  try {
    return WalkFolder(folder, extensions);
  } catch (const std::exception&) {
    // Out of memory in a huge tree: the folder counts as one that could not be listed.
    TFolderWalk failed;
    failed.UnreadableFolders.push_back(folder.empty() || folder.back() == '/' ? folder : folder + "/");
    return failed;
  }
}

}  // namespace

TFolderWalk WalkFolderInBackground(const std::string& folder, const std::vector<std::string>& extensions) {
  TThreadEndWait walked;
  if (!walked.Valid()) return WalkOrTell(folder, extensions);
  TFolderWalk result;
  std::thread walker;
  try {
    walker = std::thread([&] {
      result = WalkOrTell(folder, extensions);
      walked.Signal();
    });
  } catch (const std::system_error&) {
    return WalkOrTell(folder, extensions);  // no thread to be had: the window waits for the walk
  }
  walked.Wait();
  walker.join();  // the walk has ended (or the application is quitting and waits for it)
  return result;
}

std::vector<TBatchFile> CollectBatchFiles(const QStringList& paths,
                                          const std::vector<std::string>& extensions, TAddSummary& summary,
                                          const std::function<void(const std::string&)>& walking) {
  std::vector<TBatchFile> files;
  for (const QString& entry : paths) {
    std::string path = entry.toStdString();
    if (!IsWalkableFolder(path)) {
      files.push_back({std::move(path), false, {}, {}});
      continue;
    }
    if (path.back() != '/') path += '/';
    if (walking) walking(path);
    TFolderWalk walk = WalkFolderInBackground(path, extensions);
    // Listed from the folder's own name on: "Archive/b/x.rm" for /music/Archive/b/x.rm.
    const std::string top = path.substr(0, path.size() - 1);
    const std::string shownTop = top.substr(top.rfind('/') + 1) + "/";
    const auto shown = [&](const std::string& inside) {
      return inside.compare(0, path.size(), path) == 0 ? shownTop + inside.substr(path.size()) : inside;
    };
    summary.WalkedFolders.push_back(path);
    summary.FoundFiles += int(walk.Files.size());
    for (const std::string& folder : walk.UnreadableFolders)
      summary.UnreadableFolders.push_back(shown(folder));
    files.reserve(files.size() + walk.Files.size());
    for (TWalkedFile& file : walk.Files) {
      std::string listed = shown(file.Path);
      files.push_back({std::move(file.Path), true, std::move(file.Subfolder), std::move(listed)});
    }
  }
  return files;
}
