#include "BoundedFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

bool FileStamp::operator==(const FileStamp& other) const {
  return device == other.device && inode == other.inode && size == other.size &&
         modified.tv_sec == other.modified.tv_sec && modified.tv_nsec == other.modified.tv_nsec &&
         changed.tv_sec == other.changed.tv_sec && changed.tv_nsec == other.changed.tv_nsec;
}

BoundedFile::BoundedFile(const char* path) {
  if (!path) return;
  // O_NONBLOCK: opening a FIFO must not wait for a writer; regular files ignore the flag.
  const int fd = ::open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return;
  struct stat info {};
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_size < 0) {
    ::close(fd);
    return;
  }
  fd_ = fd;
  size_ = static_cast<uint64_t>(info.st_size);
  stamp_ = {info.st_dev, info.st_ino, size_, info.st_mtim, info.st_ctim};
}

BoundedFile::~BoundedFile() {
  if (fd_ >= 0) ::close(fd_);
}

std::string BoundedFile::ReadAt(uint64_t offset, std::size_t count) const {
  std::string bytes;
  if (fd_ < 0 || offset >= size_) return bytes;
  if (count > size_ - offset) count = static_cast<std::size_t>(size_ - offset);
  bytes.resize(count);
  bytes.resize(ReadInto(offset, &bytes[0], count));
  return bytes;
}

std::size_t BoundedFile::ReadInto(uint64_t offset, char* out, std::size_t count) const {
  if (fd_ < 0 || offset >= size_) return 0;
  if (count > size_ - offset) count = static_cast<std::size_t>(size_ - offset);
  std::size_t done = 0;
  while (done < count) {
    const ssize_t n = ::pread(fd_, out + done, count - done, static_cast<off_t>(offset + done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<std::size_t>(n);
  }
  bytesRead_.fetch_add(done, std::memory_order_relaxed);
  return done;
}
