#pragma once
// What every end-to-end test starts from: a virtual display, a driver for it, and a temporary home
// with its own settings folder, data folder and a media folder holding copies of the test files.
#include <gtest/gtest.h>

#include <QPoint>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QVariant>
#include <memory>
#include <ostream>

#include "tests/e2e/DesktopDriver.h"
#include "tests/support/VirtualDisplay.h"

// The program's window titles as patterns for DesktopDriver (whole titles).
namespace titles {
inline const QString kMain = R"(^Tolvane   \(Zarnok Software\)$)";
inline const QString kTips = R"(^Tip of the Day$)";
inline const QString kEditor = R"(^Settings \.\.\.$)";
inline const QString kMessage = R"(^   Message \.\.\.$)";
inline const QString kProgress = R"(^Conversion Progress$)";
inline const QString kOpenDialog = R"(^Select File\(s\) to Convert\.\.\.$)";
}  // namespace titles

class E2eTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Copies tests/data/<name> into the media folder; returns the copy's path.
  QString CopyTestFile(const QString& name);
  QString MediaPath(const QString& name) const { return home_.path() + "/media/" + name; }
  QString SettingsFile() const { return home_.path() + "/config/Zarnok/Tolvane.ini"; }
  // A tone of that many seconds as AC-3 in RealMedia, made with the ffmpeg tool, titled "Long
  // Recording": a run long enough to act during it.
  static bool MakeRecording(const QString& path, int seconds);
  // Stores one value in the settings file before a start, as an earlier run would have.
  void StoreSetting(const QString& name, const QVariant& value);
  QVariant StoredSetting(const QString& name) const;

  // Starts bin/tolvane with the temporary folders, in the media folder.
  std::unique_ptr<ProgramRun> StartProgram(const QStringList& arguments = {},
                                           const QStringList& extraEnvironment = {});
  // Waits for the main window, and for the tip of the day and closes it when expectTip. The wait lasts
  // as long as the program runs, within a limit made for a busy machine.
  QString WaitForMainWindow(bool expectTip);
  // Starts a window manager on the test's display; under twm keys then go to the window under the
  // pointer.
  void StartWindowManager(WindowManager::Kind kind = WindowManager::Kind::Twm);
  // Drops the files on the main window with a real drag from the drag source; returns its result. The
  // source stays until the next drop or the test's end: the program fetches the data after the drop.
  QString DropOnMainWindow(const QString& mainWindow, const QStringList& files);
  // Presses the editor through its three pages and OK, taking its settings as they are.
  void ConfirmEditor();
  // Answers the message window now showing with the keys and waits until it has closed.
  void AnswerMessage(const QStringList& keys);
  // Starts the conversion from the main window and answers the end message ("open the output
  // folder?") with "&No".
  void ConvertAll(const QString& mainWindow);
  // Closes the program as a session end does and expects a clean end with exit code 0.
  void CloseProgram(ProgramRun& program);

  QTemporaryDir home_;
  VirtualDisplay display_{"1024x768x24"};
  // Each failure leaves a picture of the screen as it was then in the build's e2e-failures folder.
  std::unique_ptr<::testing::TestEventListener> screenAtFailure_;
  std::unique_ptr<DragSourceRun> dragSource_;
  DesktopDriver desktop_{display_};
  std::unique_ptr<WindowManager> windowManager_;

  // A first start on a machine busy with other work: the limit of the wait for the main window.
  static constexpr int kStartWaitMs = 120000;
};

// Readable texts in test failure messages.
void PrintTo(const QString& text, std::ostream* out);
void PrintTo(const QStringList& texts, std::ostream* out);
