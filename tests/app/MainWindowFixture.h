#pragma once
// The main window with the windows start-up makes beside it (editor, progress window, message box), on
// the offscreen platform, with the settings file and the history folder in temporary homes and the
// test files copied into a work folder. Modal windows are answered by a ModalDriver.
#include <gtest/gtest.h>

#include <QObject>
#include <QStringList>
#include <QTemporaryDir>
#include <QUrl>
#include <functional>
#include <memory>
#include <ostream>
#include <string>

#include "app/MainWindow.h"
#include "convert/prg.h"
#include "tests/support/ModalDriver.h"
#include "tests/support/TestEnvironment.h"
#include "tests/support/UrlRecorder.h"
#include "ui/add.h"
#include "ui/msgbox.h"

inline void PrintTo(const QString& text, std::ostream* out) { *out << '"' << text.toStdString() << '"'; }

class MainWindowFixture : public ::testing::Test {
 protected:
  static void SetUpTestSuite();
  void SetUp() override;
  void TearDown() override;

  // A test file copied into the work folder, under another name if given.
  std::string Input(const std::string& testFile, const std::string& name = "");
  // Delivers a drop of these paths to the main window, as a file manager's drop arrives.
  void Drop(const QStringList& paths);
  // Runs the event loop until cond holds (a watchdog fails the test after a long wait).
  bool WaitUntil(const std::function<bool()>& cond);
  // Waits until the batch that a drop or the dialog started has ended and the driver is done.
  void WaitForBatch();
  // A driver step that presses through the editor's three pages with their Next and OK buttons.
  void ConfirmEditor(const std::function<void(TaddFrm*)>& edit = {});
  QStringList RowTexts() const;
  // Clicks row i of the task list (on its text, not its check box) and lets the window answer.
  void ClickRow(int i);

  ScopedConfigHome config;
  QTemporaryDir dataHome, workDir;
  std::string work;
  UrlRecorder urls;
  QByteArray previousDataHome_;
  std::unique_ptr<TmainFrm> main;
  std::unique_ptr<TaddFrm> editor;
  std::unique_ptr<TprgFrm> progress;
  std::unique_ptr<TmsgFrm> messages;
  ModalDriver driver;
};
