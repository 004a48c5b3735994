#pragma once
// Output and data folders that may not exist yet: made one level at a time from the root.
#include <string>

struct TFolderChain {
  std::string folder;        // the chain with a trailing "/"; empty when a level could not be made
  std::string failedFolder;  // the level that could not be made
  int error = 0;             // errno of that failure
};

// Trims the text, takes it from the root "/" (a relative text too) and creates every missing level.
// A level that exists as something other than a folder fails with ENOTDIR.
TFolderChain CreateFolderChain(const std::string& folderText);

// True when path names an existing folder (following links).
bool FolderExists(const std::string& path);
// True when path names something that exists and is not a folder.
bool NonFolderExists(const std::string& path);

// Makes the missing folders of an output file's path (a folder tree's place under the output folder).
// Empty when its folder exists or has been made; otherwise the sink's message for a file it cannot
// create, Cannot create file "<outputFile>". <the system's text>, with error set to that errno.
std::string CreateOutputFolders(const std::string& outputFile, int& error);
