#pragma once
// The temporary file an MP3 is written under: a hidden ".NAME.mp3.part" beside its final name,
// renamed to that name once complete, so that an interrupted run never leaves a half MP3 under a
// final name. A leftover of a killed run is taken over by the next run that writes the same MP3.
#include <string>

#include "audio/FileStream.h"

// ".NAME.mp3.part" in the folder of finalPath; a name too long for the file system keeps as much
// of NAME as fits (whole characters).
std::string PartPathFor(const std::string& finalPath);

// Why an MP3 cannot be planned at finalPath, empty when it can: its name, with the room its temporary
// name adds, is longer than its file system allows (checked on the nearest existing folder).
std::string OutputNameProblem(const std::string& finalPath);

class TPartFile {
 public:
  TPartFile() = default;
  ~TPartFile();  // removes a temporary file that was not committed
  TPartFile(const TPartFile&) = delete;
  TPartFile& operator=(const TPartFile&) = delete;

  // Creates the temporary file of finalPath, or takes over the leftover there, and holds a lock on
  // it, so a second run writing the same MP3 at the same time is refused. Returns the reason it
  // could not, empty on success.
  std::string Claim(const std::string& finalPath);
  const std::string& Path() const { return path_; }
  bool Claimed() const { return fd_ >= 0; }

  // Makes the written data durable, then renames the file to finalPath: the last step. replace
  // false keeps a file that was put at finalPath meanwhile (EEXIST). Returns 0 or an errno.
  int Commit(const std::string& finalPath, bool replace);
  // Removes the temporary file, if it still is the one claimed, and lets go of the lock.
  void Remove();

 private:
  void Release();

  int fd_ = -1;
  std::string path_;
  TFileIdentity identity_;
};
