#include "app/MainWindow.h"

#include <QCloseEvent>
#include <QMessageBox>

#include "core/Exception.h"
#include "core/Profile.h"
#include "core/Settings.h"
#include "core/TaskList.h"

TmainFrm::TmainFrm(QWidget* parent) : QMainWindow(parent) {
  ProbeDone.store(true, std::memory_order_release);
  setWindowTitle(QString::fromStdString(ApplicationTitle + "   (" + MakerCredit + ")"));
  resize(600, 451);
  setMinimumSize(200, 50);
}

void TmainFrm::closeEvent(QCloseEvent* event) {
  // A file being read keeps the window open.
  if (!ProbeDone.load(std::memory_order_acquire)) {
    event->ignore();
    return;
  }
  try {
    SaveSettings();
  } catch (const Exception& error) {
    QMessageBox::critical(this, QString::fromStdString(ApplicationTitle),
                          QString::fromStdString(error.Message()));
    event->ignore();
    return;
  }
  event->accept();
}
