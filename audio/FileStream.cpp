#include "audio/FileStream.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

std::unique_ptr<TFileStream> TFileStream::Create(const std::string& path) {
  const int fd = open(path.c_str(), O_CREAT | O_TRUNC | O_WRONLY | O_CLOEXEC, 0666);
  if (fd < 0) {
    const int error = errno;
    throw ESndException("Cannot create file \"" + path + "\". " + std::strerror(error),
                        TSndFailure::CannotCreate, error);
  }
  return std::unique_ptr<TFileStream>(new TFileStream(fd, path));
}

TFileStream::TFileStream(int fd, std::string path) : fd_(fd), path_(std::move(path)) {
  struct stat info {};
  if (fstat(fd_, &info) == 0 && S_ISREG(info.st_mode)) {
    regular_ = true;
    device_ = info.st_dev;
    inode_ = info.st_ino;
  }
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
  struct stat info {};
  if (regular_ && stat(path_.c_str(), &info) == 0 && S_ISREG(info.st_mode) && info.st_dev == device_ &&
      info.st_ino == inode_) {
    unlink(path_.c_str());
  }
}
