#pragma once
// A message with a list that may run to hundreds of long lines (the files an add left out, the files a
// run did not convert whole): icon, headline, the list scrolling in its own box, an optional question
// under it, and the two answer buttons of the program's messages. The list can be copied whole or
// saved as a text file.
#include <QDialog>
#include <QString>
#include <string>

class QFileDialog;
class QLabel;
class QTextEdit;
class QPushButton;

class TReportFrm : public QDialog {
  Q_OBJECT
 public:
  // kind: a message kind (the icon). A second caption reading "&Help" opens the help and keeps the
  // window; any other answers 2. question: shown under the list, or nothing when empty.
  TReportFrm(int kind, const QString& headline, const QString& list, const QString& question,
             const std::string& secondCaption, const std::string& firstCaption, QWidget* parent = nullptr);

  // Modal, over the window on top; 1 for the first button, 2 for the second or the title bar.
  int Show();
  // Headline, list and question, as shown and as copied or saved.
  QString Text() const;
  // Writes Text() to path (UTF-8, a line break at the end); false with the system's reason in error.
  bool SaveTo(const QString& path, std::string* error = nullptr) const;

  QLabel* icon = nullptr;
  QLabel* headLabel = nullptr;
  QTextEdit* listBox = nullptr;
  QLabel* questionLabel = nullptr;
  QPushButton* copyBtn = nullptr;
  QPushButton* saveBtn = nullptr;
  QPushButton* okBtn = nullptr;    // the first caption; the default button
  QPushButton* helpBtn = nullptr;  // the second caption
  QFileDialog* saveDlg = nullptr;  // starts at suggestedFile
  QString suggestedFile;  // the save dialog's first proposal; a file name in the home folder if empty

 protected:
  void showEvent(QShowEvent* event) override;
  void reject() override;  // Escape and the title bar answer like the second button

 private:
  void CopyAll() const;
  void SaveAs();

  QString headline_;
  QString question_;
};
