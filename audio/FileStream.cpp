#include "audio/FileStream.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace {

[[noreturn]] void RaiseCannotCreate(const std::string& path, const std::string& why, int error) {
  throw ESndException("Cannot create file \"" + path + "\". " + why, TSndFailure::CannotCreate, error);
}

constexpr const char* kNotARegularFile = "It is not a regular file";

}  // namespace

bool RemoveIfSameFile(const std::string& path, const TFileIdentity& file) {
  struct stat info {};
  if (!file.Known || path.empty() || lstat(path.c_str(), &info) != 0) return false;
  // An output reached through symbolic links was written where they lead: that file is the one that
  // may be the stream's own, and the links themselves are left as they are.
  std::string target = path;
  if (S_ISLNK(info.st_mode)) {
    std::error_code error;
    target = std::filesystem::canonical(path, error).string();
    if (error || lstat(target.c_str(), &info) != 0) return false;
  }
  if (!S_ISREG(info.st_mode) || info.st_dev != file.Device || info.st_ino != file.Inode) return false;
  return unlink(target.c_str()) == 0;
}

std::unique_ptr<TFileStream> TFileStream::Create(const std::string& path) {
  // Opening a FIFO or a device has effects of its own (blocking until a reader comes, rewinding a
  // tape): whatever is there already and is not a regular file is refused before it is opened.
  struct stat before {};
  if (stat(path.c_str(), &before) == 0 && !S_ISREG(before.st_mode))
    RaiseCannotCreate(path, kNotARegularFile, 0);
  // Not blocking, in case something else was put at the path meanwhile.
  const int fd = open(path.c_str(), O_CREAT | O_TRUNC | O_WRONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK, 0666);
  if (fd < 0) {
    const int error = errno;
    RaiseCannotCreate(path, std::strerror(error), error);
  }
  struct stat opened {};
  if (fstat(fd, &opened) != 0 || !S_ISREG(opened.st_mode)) {
    close(fd);
    RaiseCannotCreate(path, kNotARegularFile, 0);
  }
  const int flags = fcntl(fd, F_GETFL);
  if (flags >= 0) fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
  return std::unique_ptr<TFileStream>(new TFileStream(fd, path));
}

std::unique_ptr<TFileStream> TFileStream::Adopt(int fd, int& error) {
  error = 0;
  const int own = fcntl(fd, F_DUPFD_CLOEXEC, 0);
  if (own < 0) {
    error = errno;
    return nullptr;
  }
  struct stat info {};
  if (fstat(own, &info) != 0)
    error = errno;
  else if (!S_ISREG(info.st_mode))
    error = EINVAL;
  else if (ftruncate(own, 0) != 0 || lseek(own, 0, SEEK_SET) != 0)
    error = errno;
  if (error != 0) {
    close(own);
    return nullptr;
  }
  // No path: nothing done later can reach a file that another put at the adopted file's name.
  return std::unique_ptr<TFileStream>(new TFileStream(own, {}));
}

TFileStream::TFileStream(int fd, std::string path) : fd_(fd), path_(std::move(path)) {
  struct stat info {};
  if (fstat(fd_, &info) == 0 && S_ISREG(info.st_mode)) identity_ = {true, info.st_dev, info.st_ino};
}

TFileStream::~TFileStream() { Close(); }

int64_t TFileStream::Write(const void* data, int64_t count) {
  const char* bytes = static_cast<const char*>(data);
  int64_t written = 0;
  while (written < count && fd_ >= 0) {
    const ssize_t n = write(fd_, bytes + written, size_t(count - written));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      error_ = errno;
      break;
    }
    if (n == 0) {
      error_ = ENOSPC;  // a regular file that takes nothing more has run out of room
      break;
    }
    written += n;
  }
  return written;
}

int TFileStream::Close() {
  if (fd_ < 0) return 0;
  const int result = close(fd_) == 0 ? 0 : errno;
  fd_ = -1;
  return result == EINTR ? 0 : result;  // after EINTR the descriptor is released all the same
}

void TFileStream::CloseAndRemove() {
  Close();
  if (!path_.empty()) RemoveIfSameFile(path_, identity_);
}
