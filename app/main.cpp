// Tolvane: converts the audio of RealMedia files into MP3 files.
#include <QApplication>
#include <QIcon>
#include <QMessageBox>

extern "C" {
#include <libavutil/log.h>
}

#include "TerminationSignals.h"
#include "audio/DecoderCheck.h"
#include "core/Profile.h"
#include "core/Settings.h"
#include "core/TaskList.h"
#include "app/MainWindow.h"

int main(int argc, char* argv[]) {
  QApplication application(argc, argv);
  QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/tolvane.png")));
  // Damaged files make the decoders chatty; only real errors reach the terminal.
  av_log_set_level(AV_LOG_ERROR);
  // Without the RealMedia demuxer and a RealAudio decoder nothing could be converted.
  if (!DirectShowPresent()) {
    QMessageBox::critical(nullptr, QString(), DirectShowMissingMessage);
    return 0;
  }

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
