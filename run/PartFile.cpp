#include "run/PartFile.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <stdio.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <mutex>
#include <thread>

#include "core/Profile.h"

namespace {

constexpr size_t kLongestName = 255;  // NAME_MAX of the usual Linux file systems
constexpr const char* kPartSuffix = ".part";
// What a temporary name adds to its MP3's name at most: "." before it, ".HOST.PID" and ".part" after.
constexpr size_t kPartNameRoom = 32;
constexpr size_t kLongestHost = 16;  // of the host name in a temporary name
constexpr int kClaimAttempts = 5;    // a cleaner of another run may take the new file away meanwhile
constexpr int kLockAttempts = 100;   // 10 ms apart: a cleaner holds a lock only while it looks
constexpr auto kLockPause = std::chrono::milliseconds(10);

std::mutex warningMutex;
std::function<void(const std::string&)> warning = [](const std::string& text) { std::cerr << text << "\n"; };
std::atomic<bool> warned{false};

void WarnNoLocks(const std::string& folder) {
  if (warned.exchange(true)) return;
  std::lock_guard<std::mutex> lock(warningMutex);
  if (warning) {
    warning("Warning: the file system of \"" + folder +
            "\" gives no file locks: two runs writing the same MP3 at once are not told apart, and only "
            "this machine's leftover temporary files are removed.");
  }
}

bool NoLocks(int error) {
  return error == ENOLCK || error == ENOSYS || error == EOPNOTSUPP || error == EINVAL;
}

std::string HostName() {
  char host[256] = {};
  if (gethostname(host, sizeof host - 1) != 0 || host[0] == '\0') return "host";
  std::string name(host, strnlen(host, kLongestHost));
  // A dot would make the tag ambiguous, a slash would make it a path.
  for (char& c : name)
    if (c == '.' || c == '/') c = '_';
  return name;
}

// "HOST.PID": what makes a temporary name this process's own.
std::string OwnTag() { return HostName() + "." + std::to_string(getpid()); }

bool SameFile(const std::string& path, const TFileIdentity& file) {
  struct stat info {};
  return file.Known && lstat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
         info.st_dev == file.Device && info.st_ino == file.Inode;
}

TFileIdentity IdentityOf(int fd) {
  struct stat info {};
  if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) return {};
  return {true, info.st_dev, info.st_ino};
}

// Whether entry is a temporary name of the MP3 called name; its "HOST.PID" in tag ("" for the older
// untagged name).
bool PartTagOf(const std::string& entry, const std::string& name, std::string& tag) {
  const std::string prefix = "." + name + ".";
  const std::string suffix = "part";
  if (entry.size() < prefix.size() + suffix.size() || entry.compare(0, prefix.size(), prefix) != 0 ||
      entry.compare(entry.size() - suffix.size(), suffix.size(), suffix) != 0)
    return false;
  const std::string middle = entry.substr(prefix.size(), entry.size() - prefix.size() - suffix.size());
  if (middle.empty()) {
    tag.clear();
    return true;
  }
  // "HOST.PID." exactly: anything else is another MP3's temporary name (of "NAME.mp3.x.mp3", say).
  const size_t dot = middle.find('.');
  if (dot == 0 || dot == std::string::npos || middle.back() != '.' || dot + 2 > middle.size() - 1)
    return false;
  for (size_t i = dot + 1; i + 1 < middle.size(); ++i)
    if (middle[i] < '0' || middle[i] > '9') return false;
  tag = middle.substr(0, middle.size() - 1);
  return true;
}

// Without locks only this machine's leftovers can be judged: those of processes that have ended.
bool LeftoverOfEndedProcess(const std::string& tag) {
  const std::string host = HostName() + ".";
  if (tag.compare(0, host.size(), host) != 0) return false;
  const pid_t pid = pid_t(std::strtol(tag.c_str() + host.size(), nullptr, 10));
  return pid == getpid() || (kill(pid, 0) != 0 && errno == ESRCH);
}

// Removes the unlocked temporary files of the MP3 in folder called name, but for own; returns
// whether another run holds one.
bool SweepParts(const std::string& folder, const std::string& name, const std::string& own) {
  const std::string listed = folder.empty() ? "." : folder;
  std::unique_ptr<DIR, int (*)(DIR*)> dir(opendir(listed.c_str()), closedir);
  if (!dir) return false;
  bool held = false;
  while (const dirent* entry = readdir(dir.get())) {
    std::string tag;
    const std::string path = folder + entry->d_name;
    if (path == own || !PartTagOf(entry->d_name, name, tag)) continue;
    const int fd = open(path.c_str(), O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
      // A link left at a hidden name of ours is no file of anyone's: it goes, the file behind it stays.
      if (errno == ELOOP) unlink(path.c_str());
      continue;
    }
    const TFileIdentity file = IdentityOf(fd);
    if (!file.Known) {
      close(fd);
      continue;
    }
    bool leftover = flock(fd, LOCK_EX | LOCK_NB) == 0;
    if (!leftover && errno == EWOULDBLOCK) held = true;
    if (!leftover && NoLocks(errno)) {
      WarnNoLocks(listed);
      leftover = !tag.empty() && LeftoverOfEndedProcess(tag);
    }
    // Still the file looked at, and nobody's: a killed run's.
    if (leftover && SameFile(path, file)) unlink(path.c_str());
    close(fd);
  }
  return held;
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

std::string CannotWrite(const std::string& finalPath, int error) {
  return "The MP3 file \"" + finalPath + "\" cannot be written (" + std::strerror(error) + ")";
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
  return FolderPart(finalPath) + "." + FileNamePart(finalPath) + kPartSuffix;
}

bool RemoveLeftoverParts(const std::string& finalPath) {
  return SweepParts(FolderPart(finalPath), FileNamePart(finalPath), {});
}

void SetPartFileWarning(std::function<void(const std::string&)> warn) {
  std::lock_guard<std::mutex> lock(warningMutex);
  warning = std::move(warn);
}

TPartFile::~TPartFile() { Remove(); }

std::unique_ptr<TFileStream> TPartFile::Stream() const {
  int error = 0;
  return TFileStream::Adopt(fd_, error);
}

bool TPartFile::HoldsPath() const { return fd_ >= 0 && SameFile(path_, identity_); }

std::string TPartFile::Claim(const std::string& finalPath) {
  Remove();
  error_ = 0;
  const std::string folder = FolderPart(finalPath), name = FileNamePart(finalPath);
  const std::string path = folder + "." + name + "." + OwnTag() + kPartSuffix;
  const std::string busy = "The MP3 file \"" + finalPath + "\" is being written by another run";
  for (int attempt = 0; attempt < kClaimAttempts; ++attempt) {
    if (SweepParts(folder, name, {})) return Refuse(EWOULDBLOCK, busy);
    const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC, 0666);
    if (fd < 0 && errno == EEXIST) continue;
    if (fd < 0) return Refuse(errno, CannotWrite(finalPath, errno));
    fd_ = fd;
    path_ = path;
    identity_ = IdentityOf(fd);
    int lockError = 0;
    for (int i = 0; i < kLockAttempts; ++i) {
      lockError = flock(fd, LOCK_EX | LOCK_NB) == 0 ? 0 : errno;
      if (lockError != EWOULDBLOCK) break;
      std::this_thread::sleep_for(kLockPause);
    }
    if (NoLocks(lockError)) {
      WarnNoLocks(folder.empty() ? "." : folder);
    } else if (lockError != 0) {
      Remove();
      return Refuse(lockError, lockError == EWOULDBLOCK ? busy : CannotWrite(finalPath, lockError));
    }
    // Another run's cleaner took the new file for a leftover before it was locked: again.
    if (!SameFile(path_, identity_)) {
      Release();
      continue;
    }
    // Another run that claimed the same MP3 at the same moment: one of the two gives way.
    if (SweepParts(folder, name, path_)) {
      Remove();
      return Refuse(EWOULDBLOCK, busy);
    }
    return {};
  }
  return Refuse(EWOULDBLOCK, busy);
}

std::string TPartFile::Refuse(int error, std::string message) {
  error_ = error;
  return message;
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
