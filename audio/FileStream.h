#pragma once
// An output file written through a POSIX file descriptor.
#include <memory>
#include <string>

#include "audio/Snd_Classes.h"

class TFileStream : public TByteStream {
 public:
  // Creates or truncates the file for writing; raises ESndException "Cannot create file "%s". %s".
  static std::unique_ptr<TFileStream> Create(const std::string& path);
  ~TFileStream() override;

  int64_t Write(const void* data, int64_t count) override;

 private:
  explicit TFileStream(int fd) : fd_(fd) {}
  int fd_ = -1;
};
