#include "ui/RunReport.h"

#include <QStringList>

#include "ui/ReportWindow.h"
#include "ui/lang.h"
#include "ui/msgbox.h"

namespace {

QString Q(const std::string& text) { return QString::fromStdString(text); }

QString Files(size_t count) { return count == 1 ? QStringLiteral("1 file") : QString("%1 files").arg(count); }

constexpr const char* kCannotOpenDevice = "The system cannot open the device or file specified.";

}  // namespace

QString RunReportHeadline(const std::vector<TReportedFile>& files, bool cancelled) {
  size_t counts[4] = {0, 0, 0, 0};
  for (const TReportedFile& file : files) ++counts[int(file.Outcome)];
  const QString tally = QString("%1: %2 converted, %3 converted in part, %4 failed, %5 skipped.")
                            .arg(Files(files.size()))
                            .arg(counts[int(TFileOutcome::Converted)])
                            .arg(counts[int(TFileOutcome::ConvertedInPart)])
                            .arg(counts[int(TFileOutcome::Failed)])
                            .arg(counts[int(TFileOutcome::Skipped)]);
  return cancelled ? QLatin1String(StrCanceled) + ' ' + tally : tally;
}

QString RunReportList(const std::vector<TReportedFile>& files) {
  const struct {
    TFileOutcome outcome;
    const char* heading;
  } groups[] = {{TFileOutcome::Failed, "Failed:"},
                {TFileOutcome::ConvertedInPart, "Converted in part:"},
                {TFileOutcome::Converted, "Converted with a note:"},
                {TFileOutcome::Skipped, "Skipped:"}};
  QStringList lines;
  for (const auto& group : groups) {
    bool headed = false;
    for (const TReportedFile& file : files) {
      // A file converted whole is listed only with its note (a lower-rate stream taken, say).
      if (file.Outcome != group.outcome || (file.Outcome == TFileOutcome::Converted && file.Message.empty()))
        continue;
      if (!headed) lines << QLatin1String(group.heading);
      headed = true;
      lines << " " + Q(file.File);
      for (const QString& line : Q(file.Message).split('\n', Qt::SkipEmptyParts)) lines << "    " + line;
    }
  }
  return lines.join('\n');
}

int ShowRunReport(const std::vector<TReportedFile>& files, bool cancelled, const std::string& question,
                  const QString& suggestedFile) {
  TReportFrm window(mkInformation, RunReportHeadline(files, cancelled), RunReportList(files), Q(question),
                    StrNo, StrYes);
  window.setObjectName("runReportFrm");
  window.suggestedFile = suggestedFile;
  return window.Show();
}

QString MissingInputsHeadline(size_t count) {
  return QLatin1String(kCannotOpenDevice) + '\n' +
         (count == 1 ? QStringLiteral("This checked input file cannot be found:")
                     : QString("These %1 checked input files cannot be found:").arg(count));
}

QString MissingInputsList(const std::vector<std::string>& missing) {
  QStringList lines;
  for (const std::string& path : missing) lines << " " + Q(path);
  return lines.join('\n');
}

void ShowMissingInputs(const std::vector<std::string>& missing) {
  TReportFrm window(mkError, MissingInputsHeadline(missing.size()), MissingInputsList(missing), QString(),
                    StrHelp, StrOK);
  window.setObjectName("missingInputsFrm");
  window.Show();
}
