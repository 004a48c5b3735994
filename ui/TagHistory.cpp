#include "ui/TagHistory.h"

#include <QComboBox>
#include <QSaveFile>
#include <QStandardPaths>
#include <QStringList>
#include <algorithm>
#include <cstring>
#include <vector>

#include "core/ShortText.h"
#include "core/FolderChain.h"
#include "ui/TextLines.h"
#include "ui/lang.h"
#include "ui/msgbox.h"

namespace {

// Alphabetical without regard to letter case; equal texts then by their exact characters, so the
// order never depends on the order of the file.
bool Before(const QString& a, const QString& b) {
  const int folded = QString::compare(a, b, Qt::CaseInsensitive);
  return folded != 0 ? folded < 0 : QString::compare(a, b, Qt::CaseSensitive) < 0;
}

QStringList Entries(const QComboBox* list) {
  QStringList entries;
  entries.reserve(list->count());
  for (int i = 0; i < list->count(); ++i) entries << list->itemText(i);
  return entries;
}

// Items change without touching the text the user sees or typed.
void ReplaceItems(QComboBox* list, const QStringList& entries) {
  const QString shown = list->currentText();
  const QSignalBlocker quiet(list);
  list->clear();
  list->addItems(entries);
  list->setCurrentIndex(-1);
  list->setEditText(shown);
}

std::string ReadName(const std::string& folder, const char* name) {
  // One spelling: a year history written under its older lower-case name is still read.
  if (std::strcmp(name, YearHistoryFile) == 0 && !NonFolderExists(folder + YearHistoryFile) &&
      NonFolderExists(folder + LegacyYearHistoryFile))
    return folder + LegacyYearHistoryFile;
  return folder + name;
}

}  // namespace

std::string HistoryFolder() {
  const QString base = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
  return (base + QStringLiteral("/Zarnok/Tolvane/")).toStdString();
}

void LoadHistoryList(const std::string& path, QComboBox* list) {
  std::vector<std::string> lines;
  ReadTextLines(path, lines);  // a missing file leaves no lines: an empty history
  QStringList entries;
  entries.reserve(int(lines.size()));
  // A line of megabytes would make the list unusable; no field keeps more than 255 characters anyway.
  for (const std::string& line : lines)
    entries << QString::fromStdString(CutToChars(line, ShortText::MaxChars));
  std::stable_sort(entries.begin(), entries.end(), Before);
  ReplaceItems(list, entries);
}

bool SaveHistoryList(const std::string& path, const QComboBox* list, std::string& reason) {
  const std::string::size_type slash = path.rfind('/');
  if (slash != std::string::npos) {
    const TFolderChain chain = CreateFolderChain(path.substr(0, slash + 1));
    if (chain.folder.empty()) {
      reason = std::strerror(chain.error);
      return false;
    }
  }
  QByteArray bytes;
  for (const QString& entry : Entries(list)) bytes += entry.toUtf8() + "\r\n";
  // Written beside and then renamed over the old file, so a full disk never leaves half a history.
  QSaveFile file(QString::fromStdString(path));
  file.setDirectWriteFallback(true);
  if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
    reason = file.errorString().toStdString();
    file.cancelWriting();
    return false;
  }
  return true;
}

bool AddHistoryEntry(QComboBox* list, const std::string& text) {
  const QString entry = QString::fromStdString(CutToChars(text, ShortText::MaxChars));
  if (entry.isEmpty()) return false;
  const QStringList entries = Entries(list);
  for (const QString& existing : entries) {
    if (QString::compare(existing, entry, Qt::CaseInsensitive) == 0) return false;
  }
  const auto place = std::upper_bound(entries.begin(), entries.end(), entry, Before);
  const QString shown = list->currentText();
  const QSignalBlocker quiet(list);
  list->insertItem(int(place - entries.begin()), entry);
  list->setEditText(shown);
  return true;
}

void LoadAllHistories(QComboBox* album, QComboBox* artist, QComboBox* year, QComboBox* comment) {
  const std::string folder = HistoryFolder();
  LoadHistoryList(ReadName(folder, AlbumHistoryFile), album);
  LoadHistoryList(ReadName(folder, ArtistHistoryFile), artist);
  LoadHistoryList(ReadName(folder, YearHistoryFile), year);
  LoadHistoryList(ReadName(folder, CommentHistoryFile), comment);
}

void SaveNewHistoryEntries(QComboBox* album, QComboBox* artist, QComboBox* year, QComboBox* comment) {
  const std::string folder = HistoryFolder();
  const std::pair<QComboBox*, const char*> fields[] = {{album, AlbumHistoryFile},
                                                       {artist, ArtistHistoryFile},
                                                       {year, YearHistoryFile},
                                                       {comment, CommentHistoryFile}};
  std::string failedFile, failedReason;
  for (const auto& [list, name] : fields) {
    if (!AddHistoryEntry(list, list->currentText().toStdString())) continue;
    std::string reason;
    const std::string path = folder + name;
    if (!SaveHistoryList(path, list, reason) && failedFile.empty()) {
      failedFile = path;
      failedReason = reason;
    }
  }
  // One folder usually fails for all four: the user hears about it once.
  if (!failedFile.empty())
    ShowMessageBox(mkError, "Cannot create file \"" + failedFile + "\". " + failedReason, StrHelp, StrOK);
}
