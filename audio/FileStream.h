#pragma once
// An output file written through a POSIX file descriptor.
#include <sys/types.h>

#include <memory>
#include <string>

#include "audio/Snd_Classes.h"

// Which file a path named when it was created: the same device and inode.
struct TFileIdentity {
  bool Known = false;
  dev_t Device = 0;
  ino_t Inode = 0;
};

// Removes path only when it still names that regular file, directly or through symbolic links (the
// file they lead to is removed, the links stay): a device, or a file put there meanwhile, is never
// removed. Returns whether it removed it.
bool RemoveIfSameFile(const std::string& path, const TFileIdentity& file);

class TFileStream : public TByteStream {
 public:
  // Creates or truncates a regular file for writing; raises ESndException "Cannot create file "%s". %s"
  // (CannotCreate). Anything else at the path (a FIFO, a socket, a device, a folder) is refused
  // without blocking and left as it is.
  static std::unique_ptr<TFileStream> Create(const std::string& path);
  // Writes through a copy of fd, an open regular file another owner keeps (a claimed temporary file),
  // from its start: what the file held is dropped. The file is never touched by name: CloseAndRemove
  // only closes it. Null, with the errno in error, when no copy can be made.
  static std::unique_ptr<TFileStream> Adopt(int fd, int& error);
  ~TFileStream() override;

  int64_t Write(const void* data, int64_t count) override;
  int LastError() const override { return error_; }

  // Closes the file; returns 0 or the errno of a failed close (a write the system only now refuses).
  int Close();
  // Closes the file and removes it, but only when the path still names the regular file this stream
  // created: a device such as /dev/full, or a file put there meanwhile, is never removed. An adopted
  // file is only closed; its owner removes it.
  void CloseAndRemove();
  // The file this stream created or adopted.
  const TFileIdentity& Identity() const { return identity_; }
  // The open descriptor (open for reading too when adopted); -1 once closed.
  int Descriptor() const { return fd_; }

 private:
  TFileStream(int fd, std::string path);
  int fd_ = -1;
  int error_ = 0;
  std::string path_;
  TFileIdentity identity_;
};
