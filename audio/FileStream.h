#pragma once
// An output file written through a POSIX file descriptor.
#include <sys/types.h>

#include <memory>
#include <string>

#include "audio/Snd_Classes.h"

class TFileStream : public TByteStream {
 public:
  // Creates or truncates the file for writing; raises ESndException "Cannot create file "%s". %s".
  static std::unique_ptr<TFileStream> Create(const std::string& path);
  ~TFileStream() override;

  int64_t Write(const void* data, int64_t count) override;
  int LastError() const override { return error_; }

  // Closes the file; returns 0 or the errno of a failed close (a write the system only now refuses).
  int Close();
  // Closes the file and removes it, but only when the path still names the regular file this stream
  // created: a device such as /dev/full, or a file put there meanwhile, is never removed.
  void CloseAndRemove();

 private:
  TFileStream(int fd, std::string path);
  int fd_ = -1;
  int error_ = 0;
  std::string path_;
  bool regular_ = false;
  dev_t device_ = 0;
  ino_t inode_ = 0;
};
