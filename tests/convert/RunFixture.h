#pragma once
// A conversion run through the real progress window on the offscreen platform: a real message
// window, a stand-in main window (a plain widget), tasks made by the real probe, the run's modal
// windows answered by a ModalDriver and the shell's "open" recorded.
#include <gtest/gtest.h>

#include <QStringList>
#include <QTemporaryDir>
#include <QTimer>
#include <QUrl>
#include <QWidget>
#include <functional>
#include <memory>
#include <ostream>
#include <string>

#include "convert/ElidedLabel.h"
#include "convert/prg.h"
#include "core/TaskList.h"
#include "tests/support/ModalDriver.h"
#include "tests/support/TestEnvironment.h"
#include "tests/support/UrlRecorder.h"
#include "ui/msgbox.h"

// Texts in test failures read as texts.
inline void PrintTo(const QString& text, std::ostream* os) { *os << '"' << text.toStdString() << '"'; }

// Calls act once cond holds, checking every few milliseconds on the user-interface thread; act runs
// from the event loop, so it may open modal windows.
class WhenReady : public QObject {
  Q_OBJECT
 public:
  WhenReady(std::function<bool()> cond, std::function<void()> act);
  bool fired = false;

 private:
  std::function<bool()> cond_;
  std::function<void()> act_;
  QTimer timer_;
};

// The kind recorded for the end-of-run report, which is no message box.
constexpr int kRunReport = -1;

// Answers every message box and run report that comes, however many: "&OK" where it has one, else
// "&No". A report's whole text is recorded with the kind kRunReport.
class MessageResponder : public QObject {
  Q_OBJECT
 public:
  MessageResponder();
  QStringList messages;
  QList<int> kinds;

 private:
  QTimer timer_;
  bool busy_ = false;
};

// Every distinct text fileLabel showed during the run, in order.
class LabelRecorder : public QObject {
  Q_OBJECT
 public:
  explicit LabelRecorder(const QWidget* label);
  QStringList seen;
};

class RunFixture : public ::testing::Test {
 protected:
  static void SetUpTestSuite();
  void SetUp() override;
  void TearDown() override;

  // Probes path as a new task would be (real probe), stores it checked and returns its index.
  int AddTask(const std::string& path);
  // A copy of a test file under sourceDir, named name.
  std::string CopyOfTestFile(const std::string& file, const std::string& name);
  // A 16-bit mono sine file of the given length and tone, written by the test (WAV).
  std::string LongWav(const std::string& name, int seconds, int rate = 8000, double hz = 440.0);
  // A driver step: waits for the end-of-run report, records its text in reports and answers "&No".
  void AnswerReport();
  // Runs the conversion; the driver answers its modal windows.
  void Run();
  // The fileLabel texts of the last Run.
  QStringList Labels() const { return labels_; }

  std::string sourceDir, outputDir;
  ScopedConfigHome config;
  QTemporaryDir dir;
  UrlRecorder urls;
  std::unique_ptr<TmsgFrm> messages;
  std::unique_ptr<TprgFrm> prg;
  std::unique_ptr<QWidget> mainWindow;
  ModalDriver driver;
  QStringList reports;

 private:
  QStringList labels_;
};

// The text of the end-of-run message for the outcome line.
QString EndMessage(const char* outcome);
