#pragma once
// The task editor's two file pickers. Qt's own dialog on every desktop, so the questions below behave
// the same everywhere and the dialogs can be driven like any other modal window.
#include <QFileDialog>

// The input picker: a single existing file, any type, resizable.
void SetUpInputPicker(QFileDialog& dialog);

// The output picker: MP3 files, default suffix mp3, the folder must exist, and it asks before a file that
// does not exist yet is created. It does not ask about an existing file: the editor asks that itself.
class TOutFileDialog : public QFileDialog {
  Q_OBJECT
 public:
  explicit TOutFileDialog(QWidget* parent = nullptr);

 public slots:
  void accept() override;
};

// Starts the dialog at path: its folder, and its file name in the name field.
void StartPickerAt(QFileDialog& dialog, const QString& path);
