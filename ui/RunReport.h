#pragma once
// What the user is told at the end of a run with files that were not converted whole, and before a
// run whose checked inputs are missing: one window each, its list scrolling, copied or saved.
#include <QString>
#include <string>
#include <vector>

enum class TFileOutcome { Converted, ConvertedInPart, Failed, Skipped };

// One task of a run as it ended. message: the program's own words for why it is not whole (empty for
// a file converted whole).
struct TReportedFile {
  std::string File;
  TFileOutcome Outcome = TFileOutcome::Converted;
  std::string Message;
};

// "12 files: 9 converted, 2 converted in part, 1 failed, 0 skipped."; a cancelled run says so first.
QString RunReportHeadline(const std::vector<TReportedFile>& files, bool cancelled);
// Every file not converted whole, or converted with a note, grouped under its outcome (failed, converted
// in part, converted with a note, skipped) in the run's order: its path on a line after a space, the
// message's lines under it, further indented.
QString RunReportList(const std::vector<TReportedFile>& files);
// The end of a run: headline, list and question ("Would you like to open the output folder?") with
// "&Yes" and "&No"; 1 for yes. suggestedFile: where the save dialog proposes to write the list.
int ShowRunReport(const std::vector<TReportedFile>& files, bool cancelled, const std::string& question,
                  const QString& suggestedFile = QString());

// The checked inputs that are missing when a run is prepared, in one list under the system's words.
QString MissingInputsHeadline(size_t count);
QString MissingInputsList(const std::vector<std::string>& missing);
// One window for them all ("&OK", "&Help").
void ShowMissingInputs(const std::vector<std::string>& missing);
