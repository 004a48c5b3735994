#pragma once
// The temporary file an MP3 is written under: a hidden ".NAME.mp3.HOST.PID.part" beside its final
// name, created exclusively (no other machine or process can take that name, also on shared
// storage), locked while it is written, and renamed to the final name once complete, so an
// interrupted run never leaves a half MP3 under a final name. A leftover of a killed run (any
// unlocked ".NAME.mp3.*part", the older ".NAME.mp3.part" included) is removed by the next run that
// writes the same MP3.
#include <functional>
#include <memory>
#include <string>

#include "audio/FileStream.h"

// Why an MP3 cannot be planned at finalPath, empty when it can: its name, with the room its temporary
// name adds, is longer than its file system allows (checked on the nearest existing folder).
std::string OutputNameProblem(const std::string& finalPath);

// The temporary name older versions wrote, ".NAME.mp3.part": where a leftover of theirs lies.
std::string PartPathFor(const std::string& finalPath);

// Removes the leftovers of finalPath's temporary files that no run holds; returns whether another
// run holds one (it is writing that MP3 now).
bool RemoveLeftoverParts(const std::string& finalPath);

// Where the warning goes, once a process, that a folder's file system gives no locks (standard error
// by default).
void SetPartFileWarning(std::function<void(const std::string&)> warn);

class TPartFile {
 public:
  TPartFile() = default;
  ~TPartFile();  // removes a temporary file that was not committed
  TPartFile(const TPartFile&) = delete;
  TPartFile& operator=(const TPartFile&) = delete;

  // Removes the leftovers of finalPath, creates this process's temporary file for it exclusively
  // and locks it, so a second run writing the same MP3 at the same time is refused. Returns the
  // reason it could not, naming the MP3, empty on success.
  std::string Claim(const std::string& finalPath);
  // The system's error behind the last refused Claim (EWOULDBLOCK: another run holds it).
  int LastError() const { return error_; }
  const std::string& Path() const { return path_; }
  bool Claimed() const { return fd_ >= 0; }
  // The descriptor that holds the claim, open for reading and writing; -1 before a claim. Written
  // through it (or Stream), the data cannot land in a file another process put at the name.
  int Descriptor() const { return fd_; }
  // A stream that writes the file anew through its own copy of Descriptor(); null when no copy can be
  // made.
  std::unique_ptr<TFileStream> Stream() const;
  // Whether Path() still names the claimed file: nothing was put at the name, nor was it removed.
  bool HoldsPath() const;

  // Makes the written data durable, then renames the file to finalPath: the last step. replace
  // false keeps a file that was put at finalPath meanwhile (EEXIST). Returns 0 or an errno.
  int Commit(const std::string& finalPath, bool replace);
  // Removes the temporary file, if it still is the one claimed, and lets go of the lock.
  void Remove();

 private:
  void Release();
  std::string Refuse(int error, std::string message);

  int fd_ = -1;
  int error_ = 0;
  std::string path_;
  TFileIdentity identity_;
};
