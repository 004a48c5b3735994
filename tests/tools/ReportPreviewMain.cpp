// tolvane-report-preview [FILES]: shows the end-of-run report for a night's run of FILES files
// (default 200) in which every tenth fails and every seventh is cut short, for looking at the window
// (and picturing it) before a real run feeds it. Prints the answer: 1 yes, 2 no.
#include <QApplication>
#include <cstdio>
#include <string>
#include <vector>

#include "ui/RunReport.h"
#include "ui/lang.h"

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  const int count = argc > 1 ? std::stoi(argv[1]) : 200;
  std::vector<TReportedFile> files;
  for (int i = 0; i < count; ++i) {
    TReportedFile file{"/home/ann/Archive/Radio shows/2003/Evening programme " + std::to_string(i) + ".rm",
                       TFileOutcome::Converted, ""};
    if (i % 10 == 3) {
      file.Outcome = TFileOutcome::Failed;
      file.Message = "Evening programme " + std::to_string(i) +
                     ".rm is damaged: the conversion stopped (Invalid data found when processing input).\n"
                     "Its MP3 file is incomplete.";
    } else if (i % 7 == 5) {
      file.Outcome = TFileOutcome::ConvertedInPart;
      file.Message = "Only 0:18 of its 3:02 could be read: the file is cut or damaged.";
    }
    files.push_back(file);
  }
  std::printf("%d\n", ShowRunReport(files, false, StrAskOpenFolder));
  return 0;
}
