#include "app/Startup.h"

#include <QApplication>
#include <QIcon>
#include <QMessageBox>
#include <memory>

extern "C" {
#include <libavutil/log.h>
}

#include "app/CloseRequests.h"
#include "app/CommandLine.h"
#include "app/MainWindow.h"
#include "app/TerminationSignals.h"
#include "audio/DecoderCheck.h"
#include "audio/Snd_Classes.h"
#include "audio/lame.h"
#include "convert/prg.h"
#include "core/Profile.h"
#include "core/Settings.h"
#include "core/TaskList.h"
#include "ui/add.h"
#include "ui/lang.h"
#include "ui/msgbox.h"
#include "ui/tips.h"

int RunTolvane(int argc, char** argv) {
  QApplication application(argc, argv);
  QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/tolvane.png")));
  // Only closing the main window ends the program: a message closed while the windows are hidden in
  // the tray must not.
  QApplication::setQuitOnLastWindowClosed(false);
  // The per-user data folder of the tag histories is named after these.
  QCoreApplication::setOrganizationName("Zarnok");
  QCoreApplication::setApplicationName("Tolvane");
  // Damaged files make the decoders chatty; only real errors reach the terminal.
  av_log_set_level(AV_LOG_ERROR);
  // Without the RealMedia demuxer and a RealAudio decoder nothing could be converted.
  if (!DirectShowPresent()) {
    QMessageBox::critical(nullptr, QString(), DirectShowMissingMessage);
    return 0;
  }
  if (qEnvironmentVariableIsSet(LameLibraryVariable)) {
    SetLameLibraryFile(qEnvironmentVariable(LameLibraryVariable).toStdString());
  }

  SetProgramDir(QCoreApplication::applicationFilePath().toStdString());
  AssignProductProfile();
  FillBitrateTable();
  LoadSettings();
  SetApplicationTitle();
  // The task bar shows each window's own caption, which starts with the title; a display name would be
  // appended to every caption ("   Message ... — Tolvane"). The menu entry names the program instead.
  QGuiApplication::setDesktopFileName("example.zarnok.Tolvane");

  int exitCode = 0;
  {
    // Created once, in this order, and kept until the loop has ended.
    auto main = std::make_unique<TmainFrm>();
    auto editor = std::make_unique<TaddFrm>();
    std::unique_ptr<TprgFrm> progress;
    try {
      progress = std::make_unique<TprgFrm>();
    } catch (const ESndException& error) {
      // Without the encoder nothing can be converted: the message, then the end, before any window shows.
      ShowMessageBox(mkError, error.Message(), StrHelp, StrOK);
      return 0;
    }
    progress->SetMainWindow(main.get());
    auto messages = std::make_unique<TmsgFrm>();
    std::unique_ptr<TTipsFrm> tipsWindow;
    if (tips < 10000) tipsWindow = std::make_unique<TTipsFrm>();

    main->SetStartFiles(CommandLineFiles(QCoreApplication::arguments()));
    CloseWindowOnTerminationSignals(main.get());
    const auto closeRequests = AnswerBlockedCloseRequests(main.get());
    QObject::connect(main.get(), &TmainFrm::Closed, &application, &QCoreApplication::quit,
                     Qt::QueuedConnection);
    main->show();
    exitCode = QApplication::exec();
  }
  FreeAllTasks();
  return exitCode;
}
