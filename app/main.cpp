// Tolvane: converts the audio of RealMedia files into MP3 files.
#include <QApplication>

#include "TerminationSignals.h"
#include "core/Profile.h"
#include "core/Settings.h"
#include "core/TaskList.h"
#include "ui/MainWindow.h"

int main(int argc, char* argv[]) {
  QApplication application(argc, argv);

  SetProgramDir(QCoreApplication::applicationFilePath().toStdString());
  AssignProductProfile();
  FillBitrateTable();
  LoadSettings();
  SetApplicationTitle();
  QCoreApplication::setApplicationName(QString::fromStdString(ApplicationTitle));

  int exitCode = 0;
  {
    TmainFrm mainFrm;
    CloseWindowOnTerminationSignals(&mainFrm);
    mainFrm.show();
    exitCode = QApplication::exec();
  }
  FreeAllTasks();
  return exitCode;
}
