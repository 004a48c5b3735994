#pragma once
// A folder tree as an archive comes: nested folders, extensions in several letter cases, a file that
// cannot be read and one without audio, a text file, a link looping back to the top and a hidden folder.
#include <string>
#include <vector>

struct TMediaTree {
  std::string Root;                 // with a trailing "/"
  std::vector<std::string> Good;    // relative to Root, in the order a file manager shows them
  std::vector<std::string> Titles;  // their titles, in that order
  std::string Unreadable, NoAudio;  // relative to Root
};

TMediaTree MakeMediaTree(const std::string& root);

// The path of relative under root with its extension replaced by ".mp3".
std::string Mp3Path(const std::string& root, const std::string& relative);
