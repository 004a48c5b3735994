#include "run/OutputIdentity.h"

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <QString>

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

// The file systems whose names match whatever their letter case.
constexpr unsigned long kFoldingFileSystems[] = {
    0x4d44,      // FAT
    0x2011BAB0,  // exFAT
    0x5346544e,  // NTFS (ntfs-3g reports fuseblk, ntfs3 this)
    0x7366746e,  // ntfs3
    0xFF534D42,  // CIFS
    0xFE534D42,  // SMB2
};

bool SystemFoldsCase(const std::string& folder) {
  struct statfs info {};
  if (statfs(folder.c_str(), &info) != 0) return false;
  for (const unsigned long type : kFoldingFileSystems)
    if ((unsigned long)info.f_type == type) return true;
  // ext4 and f2fs fold in a folder made with the case-folding attribute.
  const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return false;
  int flags = 0;
  const bool folds = ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0 && (flags & 0x40000000) != 0;  // FS_CASEFOLD_FL
  close(fd);
  return folds;
}

}  // namespace

bool (*FolderFoldsCase)(const std::string& folder) = SystemFoldsCase;

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
  if (key.FolderKnown && FolderFoldsCase(folder.empty() ? "." : folder.string()))
    key.Rest = QString::fromStdString(key.Rest).toCaseFolded().toStdString();
  return key;
}
