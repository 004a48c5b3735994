#pragma once
// Reads parts of a file for the tag parsers without ever blocking on something that is not a
// regular file (a FIFO named .rm would otherwise hang the reader) and without reading past its end.
#include <sys/types.h>
#include <time.h>

#include <atomic>
#include <cstdint>
#include <string>

// Which file, in which state: what fstat said of it when it was opened.
struct FileStamp {
  dev_t device = 0;
  ino_t inode = 0;
  uint64_t size = 0;
  timespec modified{}, changed{};
  bool operator==(const FileStamp& other) const;
};

class BoundedFile {
 public:
  explicit BoundedFile(const char* path);
  ~BoundedFile();
  BoundedFile(const BoundedFile&) = delete;
  BoundedFile& operator=(const BoundedFile&) = delete;

  // True when path named a regular file that could be opened for reading.
  bool IsOpen() const { return fd_ >= 0; }
  uint64_t Size() const { return size_; }
  // Up to count bytes from offset; fewer (or none) where the file ends or a read fails.
  std::string ReadAt(uint64_t offset, std::size_t count) const;
  // The same into out (room for count bytes); returns how many bytes it holds.
  std::size_t ReadInto(uint64_t offset, char* out, std::size_t count) const;
  const FileStamp& Stamp() const { return stamp_; }
  // The bytes read from the file so far.
  uint64_t BytesRead() const { return bytesRead_.load(std::memory_order_relaxed); }

 private:
  int fd_ = -1;
  uint64_t size_ = 0;
  FileStamp stamp_;
  mutable std::atomic<uint64_t> bytesRead_{0};
};
