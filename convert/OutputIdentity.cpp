#include "convert/OutputIdentity.h"

#include <sys/stat.h>

#include <filesystem>
#include <vector>

namespace {

namespace fs = std::filesystem;

bool FolderIdentity(const fs::path& folder, dev_t& device, ino_t& inode) {
  struct stat info {};
  if (stat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) return false;
  device = info.st_dev;
  inode = info.st_ino;
  return true;
}

// The names below the existing folder, outermost first, as one path: "." and empty names dropped and
// ".." taken back, as the system will once those folders exist.
std::string JoinBelow(const std::vector<std::string>& innermostFirst) {
  std::vector<std::string> names;
  for (auto name = innermostFirst.rbegin(); name != innermostFirst.rend(); ++name) {
    if (name->empty() || *name == ".") continue;
    if (*name == ".." && !names.empty() && names.back() != "..") {
      names.pop_back();
      continue;
    }
    names.push_back(*name);
  }
  std::string rest;
  for (const std::string& name : names) rest += (rest.empty() ? "" : "/") + name;
  return rest;
}

}  // namespace

TOutputKey OutputKeyOf(const std::string& path) {
  TOutputKey key;
  struct stat info {};
  if (!path.empty() && stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode))
    key.File = {true, info.st_dev, info.st_ino};

  const fs::path whole(path);
  std::vector<std::string> below{whole.filename().string()};
  fs::path folder = whole.parent_path();
  for (;;) {
    if (FolderIdentity(folder.empty() ? fs::path(".") : folder, key.Device, key.Inode)) {
      key.FolderKnown = true;
      break;
    }
    const fs::path up = folder.parent_path();
    if (folder.empty() || up == folder) break;  // nothing further up exists
    below.push_back(folder.filename().string());
    folder = up;
  }
  key.Rest = key.FolderKnown ? JoinBelow(below) : path;
  return key;
}
