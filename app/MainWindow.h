#pragma once
// The main window: for now its caption and the settings save on close; the task list,
// its buttons and the information panel grow here.
#include <QMainWindow>

class TmainFrm : public QMainWindow {
  Q_OBJECT
 public:
  explicit TmainFrm(QWidget* parent = nullptr);

 protected:
  void closeEvent(QCloseEvent* event) override;
};
