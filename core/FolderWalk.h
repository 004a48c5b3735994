#pragma once
// A folder tree an archive comes in: walked once, in the order a file manager shows it, for the files a
// RealMedia converter takes. Shared by the window's dropped folders and the command-line converter.
#include <string>
#include <vector>

struct TWalkedFile {
  std::string Path;       // the file as found under the walked folder (links to files kept as links)
  std::string Subfolder;  // its folder relative to the walked folder, with a trailing "/"; "" at the top
};

struct TFolderWalk {
  std::vector<TWalkedFile> Files;
  std::vector<std::string> UnreadableFolders;  // folders that could not be listed, with a trailing "/"
};

// Walks folder recursively: hidden files and folders (a name starting with ".") are skipped, symbolic
// links to folders are not followed (and a folder reached twice through a bind mount is walked once),
// and only files whose extension is one of extensions (".rm", letter case ignored) are taken. Within a
// folder its subfolders come first, each with everything under it, then its files; each group in
// natural order ("Part 2" before "Part 10").
TFolderWalk WalkFolder(const std::string& folder, const std::vector<std::string>& extensions);

// Natural order of two names: runs of digits compare by their value, everything else by its letters
// with case ignored; names equal that way fall back to a plain byte comparison, so the order is total.
bool NaturalLess(const std::string& a, const std::string& b);

// The extensions a drop and a walk take, from an open dialog's filter "Text|*.a;*.b|...": its first
// pair's patterns without their "*" (".rm", ".rma", ".ra", ".rmvb" for the program's own).
std::vector<std::string> FilterExtensions(const std::string& openFilter);

// True when path names a folder (following links): what a drop or a command line walks.
bool IsWalkableFolder(const std::string& path);
