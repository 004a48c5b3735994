#include "app/AddSummary.h"

#include <algorithm>

#include "ui/lang.h"
#include "ui/msgbox.h"

namespace {

QString Q(const std::string& text) { return QString::fromStdString(text); }

QString Files(int count) { return count == 1 ? QStringLiteral("1 file") : QString("%1 files").arg(count); }

}  // namespace

bool TAddSummary::HasNews() const {
  return !LeftOut.empty() || !UnreadableFolders.empty() || (!WalkedFolders.empty() && FoundFiles == 0);
}

QString AddSummaryHeadline(const TAddSummary& summary) {
  const QString where =
      summary.WalkedFolders.size() == 1 ? Q(summary.WalkedFolders.front()) : QStringLiteral("the folders");
  QStringList sentences;
  if (summary.FoundFiles == 0 && summary.UnreadableFolders.empty()) {
    sentences << "No file to convert (.rm, .rma, .ra, .rmvb) was found in " + where + ".";
  } else if (!summary.LeftOut.empty()) {
    const int left = int(summary.LeftOut.size());
    sentences << QString("%1 of the %2 found in %3 %4 left out.")
                     .arg(QString::number(left), Files(summary.FoundFiles), where,
                          left == 1 ? QStringLiteral("was") : QStringLiteral("were"));
  }
  if (!summary.UnreadableFolders.empty()) {
    const int count = int(summary.UnreadableFolders.size());
    sentences << (count == 1 ? QStringLiteral("1 folder") : QString("%1 folders").arg(count)) +
                     " could not be opened.";
  }
  return sentences.join(' ');
}

QString AddSummaryList(const TAddSummary& summary, int maxListed) {
  std::vector<std::string> unreadable, silent;
  for (const TLeftOutFile& file : summary.LeftOut)
    (file.Reason == 2 ? silent : unreadable).push_back(file.Path);
  struct Group {
    QString heading;
    const std::vector<std::string>* paths;
    size_t shown = 0;
  };
  std::vector<Group> groups = {
      {StrCannotRead, &unreadable},
      {StrNoAudio, &silent},
      {QStringLiteral("These folders could not be opened:"), &summary.UnreadableFolders}};
  if (summary.FoundFiles == 0 && summary.UnreadableFolders.empty() && summary.WalkedFolders.size() > 1)
    groups.push_back({QString(), &summary.WalkedFolders});
  // Every kind gets a few lines of its own, however long the first list is; the rest go in order.
  size_t room = size_t(std::max(0, maxListed));
  for (Group& group : groups) {
    group.shown = std::min({group.paths->size(), size_t(5), room});
    room -= group.shown;
  }
  for (Group& group : groups) {
    const size_t more = std::min(group.paths->size() - group.shown, room);
    group.shown += more;
    room -= more;
  }
  QStringList lines;
  for (const Group& group : groups) {
    if (group.paths->empty()) continue;
    if (!group.heading.isEmpty()) lines << group.heading;
    for (size_t i = 0; i < group.shown; ++i) lines << " " + Q((*group.paths)[i]);
    if (group.paths->size() > group.shown)
      lines << QString(" ... and %1 more").arg(group.paths->size() - group.shown);
  }
  if (!unreadable.empty()) lines << QString() << StrCodecHint;
  return lines.join('\n');
}

TAddSummaryFrm::TAddSummaryFrm(const TAddSummary& summary, QWidget* parent)
    : TReportFrm(mkWarning, AddSummaryHeadline(summary), AddSummaryList(summary), QString(), StrHelp, StrOK,
                 parent) {
  setObjectName("addSummaryFrm");
}

void ShowAddSummary(const TAddSummary& summary) {
  TAddSummaryFrm window(summary);
  window.Show();
}
