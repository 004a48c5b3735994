#pragma once
// The files of one add batch: picked or dropped files as they are, and every dropped folder walked for
// the files the converter takes, on a worker thread while the window keeps answering (a network share
// or a slow disk may take a while to list).
#include <QStringList>
#include <functional>
#include <string>
#include <vector>

#include "app/AddSummary.h"
#include "core/FolderWalk.h"

struct TBatchFile {
  std::string Path;
  bool Walked = false;    // found in a walked folder: its failures go to the batch's summary
  std::string Subfolder;  // its folder relative to the walked folder, with a trailing "/"; "" at the top
  std::string Shown;      // a walked file as a summary lists it: from the walked folder's own name on
};

// WalkFolder(folder, extensions), with the calling (user-interface) thread waiting in a local event loop.
TFolderWalk WalkFolderInBackground(const std::string& folder, const std::vector<std::string>& extensions);

// paths in their order: a folder (IsWalkableFolder) gives the files of its walk, anything else is taken
// as one file. The walked folders, the count of their files and the folders that could not be listed
// (as listed: from the walked folder's own name on) go to summary; walking(folder) is told before each
// walk.
std::vector<TBatchFile> CollectBatchFiles(const QStringList& paths,
                                          const std::vector<std::string>& extensions, TAddSummary& summary,
                                          const std::function<void(const std::string&)>& walking = {});
