#include "audio/FileStream.h"

#include <fcntl.h>
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
  return std::unique_ptr<TFileStream>(new TFileStream(fd));
}

TFileStream::~TFileStream() {
  if (fd_ >= 0) close(fd_);
}

int64_t TFileStream::Write(const void* data, int64_t count) {
  const char* bytes = static_cast<const char*>(data);
  int64_t written = 0;
  while (written < count) {
    const ssize_t n = write(fd_, bytes + written, size_t(count - written));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    written += n;
  }
  return written;
}
