#pragma once
// Which file an output path names, as the system resolves it: two spellings of one folder, a linked
// folder or a link to the file itself all name the same file, and two tasks must not write it at once.
#include <sys/types.h>

#include <string>

#include "audio/FileStream.h"

struct TOutputKey {
  // The deepest folder of the path that exists, by identity, and the path below it (the folders still
  // to be made and the file's name), case-folded where that folder folds case. Without any such
  // folder, Rest is the whole path as written.
  bool FolderKnown = false;
  dev_t Device = 0;
  ino_t Inode = 0;
  std::string Rest;
  // The regular file the path names now, when there is one (links followed).
  TFileIdentity File;
};

// Whether names in the existing folder are compared without regard to letter case (FAT, exFAT, NTFS,
// SMB shares, or a folder with the case-folding attribute). Replaceable, for a test on a file system
// that does not fold.
extern bool (*FolderFoldsCase)(const std::string& folder);

// Two paths name one file when their keys hold the same folder and the same rest below it, or the same
// existing file.
TOutputKey OutputKeyOf(const std::string& path);
