#include "ui/FilePickers.h"

#include <QFileInfo>

#include "ui/lang.h"
#include "ui/msgbox.h"

void SetUpInputPicker(QFileDialog& dialog) {
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::ExistingFile);
  dialog.setSizeGripEnabled(true);
}

TOutFileDialog::TOutFileDialog(QWidget* parent) : QFileDialog(parent) {
  setOption(QFileDialog::DontUseNativeDialog);
  setAcceptMode(QFileDialog::AcceptSave);
  setFileMode(QFileDialog::AnyFile);
  setOption(QFileDialog::DontConfirmOverwrite);
  setNameFilter(QStringLiteral("MP3 Files(*.mp3)"));
  setDefaultSuffix(QStringLiteral("mp3"));
  setSizeGripEnabled(true);
}

void TOutFileDialog::accept() {
  const QStringList files = selectedFiles();
  if (files.size() == 1) {
    const QFileInfo chosen(files.first());
    // A folder is opened by the dialog itself; only a file name that names nothing yet is asked about.
    if (!chosen.exists()) {
      if (!chosen.dir().exists()) {
        ShowMessageBox(mkWarning,
                       chosen.path().toStdString() + "\nPath does not exist.\nCheck the path and try again.",
                       StrHelp, StrOK);
        return;
      }
      const std::string question =
          chosen.fileName().toStdString() + "\nThis file does not exist.\nDo you want to create it?";
      if (ShowMessageBox(mkQuestion, question, StrNo, StrYes) != 1) return;
    }
  }
  QFileDialog::accept();
}

void StartPickerAt(QFileDialog& dialog, const QString& path) {
  if (path.isEmpty()) return;
  const QFileInfo start(path);
  // A folder that is not there yet opens its nearest existing parent, not wherever the program started.
  QString folder = start.absolutePath();
  while (!QFileInfo(folder).isDir() && folder != QFileInfo(folder).absolutePath())
    folder = QFileInfo(folder).absolutePath();
  if (QFileInfo(folder).isDir()) dialog.setDirectory(folder);
  dialog.selectFile(start.fileName());
}
