#include "convert/PartFile.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "core/Profile.h"

namespace {

constexpr size_t kLongestName = 255;  // NAME_MAX of the usual Linux file systems
constexpr const char* kPartSuffix = ".part";
// What a temporary name adds to its MP3's name at most: "." before it, ".HOST.PID" and ".part" after.
constexpr size_t kPartNameRoom = 32;

bool SameFile(const std::string& path, const TFileIdentity& file) {
  struct stat info {};
  return file.Known && lstat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
         info.st_dev == file.Device && info.st_ino == file.Inode;
}

// Renames without replacing: renameat2 where the file system has it, else a hard link (which fails
// on an existing name), else a check just before a plain rename.
int RenameNoReplace(const std::string& from, const std::string& to) {
  if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return 0;
  if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP) return errno;
  if (link(from.c_str(), to.c_str()) == 0) {
    unlink(from.c_str());
    return 0;
  }
  if (errno == EEXIST) return EEXIST;
  struct stat info {};
  if (lstat(to.c_str(), &info) == 0) return EEXIST;
  return rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
}

// The longest file name the file system of folder (or of its nearest existing parent) takes.
size_t LongestNameIn(std::string folder) {
  if (folder.empty()) folder = ".";
  while (true) {
    const long longest = pathconf(folder.c_str(), _PC_NAME_MAX);
    if (longest > 0) return size_t(longest);
    if (errno != ENOENT && errno != ENOTDIR) return kLongestName;
    const size_t slash = folder.find_last_of('/', folder.size() > 1 ? folder.size() - 2 : 0);
    if (slash == std::string::npos && folder == ".") return kLongestName;
    folder = slash == std::string::npos ? "." : slash == 0 ? "/" : folder.substr(0, slash);
  }
}

}  // namespace

std::string OutputNameProblem(const std::string& finalPath) {
  const std::string name = FileNamePart(finalPath);
  const size_t longest = LongestNameIn(FolderPart(finalPath));
  if (name.size() + kPartNameRoom <= longest) return {};
  return "The MP3 file \"" + finalPath + "\" has a name too long for its file system (" +
         std::to_string(name.size()) + " bytes; at most " + std::to_string(longest - kPartNameRoom) + ").";
}

std::string PartPathFor(const std::string& finalPath) {
  std::string name = FileNamePart(finalPath);
  const size_t room = kLongestName - 1 - std::strlen(kPartSuffix);
  if (name.size() > room) {
    size_t cut = room;
    while (cut > 0 && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80) --cut;
    name.resize(cut);
  }
  return FolderPart(finalPath) + "." + name + kPartSuffix;
}

TPartFile::~TPartFile() { Remove(); }

std::string TPartFile::Claim(const std::string& finalPath) {
  Remove();
  const std::string path = PartPathFor(finalPath);
  const int flags = O_WRONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;
  int fd = open(path.c_str(), flags, 0666);
  // A link left at our own hidden name is no file of anyone's: it goes, the file behind it stays.
  if (fd < 0 && errno == ELOOP && unlink(path.c_str()) == 0) fd = open(path.c_str(), flags, 0666);
  if (fd < 0) return "Cannot create file \"" + path + "\". " + std::strerror(errno);
  struct stat info {};
  if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    close(fd);
    return "Cannot create file \"" + path + "\". It is not a regular file";
  }
  if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
    const int error = errno;
    close(fd);
    if (error == EWOULDBLOCK) return "The MP3 file \"" + finalPath + "\" is being written by another run";
    return "Cannot lock file \"" + path + "\". " + std::strerror(error);
  }
  fd_ = fd;
  path_ = path;
  identity_ = {true, info.st_dev, info.st_ino};
  return {};
}

int TPartFile::Commit(const std::string& finalPath, bool replace) {
  if (fd_ < 0) return EBADF;
  // The file written under another name since it was claimed is not ours to publish.
  if (!SameFile(path_, identity_)) return ENOENT;
  // A machine that goes down right after the rename must not leave an empty MP3 under the final name.
  if (fdatasync(fd_) != 0 && errno != EINVAL) return errno;
  const int error = replace ? (rename(path_.c_str(), finalPath.c_str()) == 0 ? 0 : errno)
                            : RenameNoReplace(path_, finalPath);
  if (error == 0) Release();
  return error;
}

void TPartFile::Remove() {
  if (fd_ < 0) return;
  RemoveIfSameFile(path_, identity_);
  Release();
}

void TPartFile::Release() {
  if (fd_ >= 0) close(fd_);
  fd_ = -1;
  path_.clear();
  identity_ = {};
}
