#include "core/FolderChain.h"

#include <sys/stat.h>

#include <QDir>
#include <cerrno>
#include <cstring>
#include <vector>

#include "core/Profile.h"
#include "core/TextUtils.h"

bool FolderExists(const std::string& path) {
  struct stat info {};
  return !path.empty() && ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool NonFolderExists(const std::string& path) {
  struct stat info {};
  return !path.empty() && ::stat(path.c_str(), &info) == 0 && !S_ISDIR(info.st_mode);
}

TFolderChain CreateFolderChain(const std::string& folderText) {
  // Native separators: "/" stays "/", and a backslash stays an ordinary file-name character.
  const std::string text =
      QDir::toNativeSeparators(QString::fromStdString(TrimText(folderText))).toStdString();
  std::vector<std::string> parts;
  SplitText(text, "/", parts);
  TFolderChain result;
  std::string built;
  for (const std::string& part : parts) {
    if (part.empty()) continue;
    built += "/" + part;
    if (FolderExists(built)) continue;
    if (::mkdir(built.c_str(), 0777) == 0) continue;
    // Another program may have made it meanwhile; anything else in its place is not a folder.
    int error = errno;
    if (error == EEXIST) {
      if (FolderExists(built)) continue;
      error = ENOTDIR;
    }
    result.failedFolder = built;
    result.error = error;
    return result;
  }
  result.folder = built + "/";
  return result;
}

std::string CreateOutputFolders(const std::string& outputFile, int& error) {
  error = 0;
  const std::string folder = FolderPart(outputFile);
  if (folder.empty() || FolderExists(folder)) return {};
  const TFolderChain chain = CreateFolderChain(folder);
  if (!chain.folder.empty() && FolderExists(folder)) return {};
  error = chain.error != 0 ? chain.error : ENOENT;
  return "Cannot create file \"" + outputFile + "\". " + std::strerror(error);
}
