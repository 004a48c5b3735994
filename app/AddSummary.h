#pragma once
// What an add batch with folders could not use, told once at its end: the files of the walked folders
// that cannot be read or have no audio stream, and the folders that could not be listed.
#include <QString>
#include <cstdint>
#include <string>
#include <vector>

#include "ui/ReportWindow.h"

struct TLeftOutFile {
  std::string Path;    // as listed: from the walked folder's own name on ("Archive/b/x.rm")
  int32_t Reason = 1;  // the probe's result: 1 cannot be read, 2 no audio stream
};

struct TAddSummary {
  std::vector<std::string> WalkedFolders;      // the folders dropped or named, in their order
  int FoundFiles = 0;                          // the files their walks found
  std::vector<TLeftOutFile> LeftOut;           // in the order they were met
  std::vector<std::string> UnreadableFolders;  // as listed, like the files

  // Something to tell: files or folders left out, or walked folders that held no file to convert.
  bool HasNews() const;
};

// The first line ("3 of the 60 files found in /music/Archive/ were left out.") and the list: grouped by
// reason under the reason's own text, one path a line after a space, at most maxListed paths in all and
// a line for the rest, the codecs hint when a file cannot be read.
QString AddSummaryHeadline(const TAddSummary& summary);
QString AddSummaryList(const TAddSummary& summary, int maxListed = 40);

// The message window for a summary: the list may run to dozens of long paths, so it scrolls instead of
// growing past the screen, and can be copied or saved. "&OK" closes it, "&Help" opens the help and
// keeps it.
class TAddSummaryFrm : public TReportFrm {
  Q_OBJECT
 public:
  explicit TAddSummaryFrm(const TAddSummary& summary, QWidget* parent = nullptr);
};

// Shows the summary modally, over the window on top.
void ShowAddSummary(const TAddSummary& summary);
