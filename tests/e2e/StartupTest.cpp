// Starts the real program under Xvfb, waits for its main window, closes it with SIGTERM as a
// session end would, and checks the settings file it leaves behind.
#include <gtest/gtest.h>
#include <signal.h>

#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QThread>

#include "tests/support/TestEnvironment.h"

namespace {

// An Xvfb server on a free display for the life of the object.
class VirtualDisplay {
 public:
  VirtualDisplay() {
    server_.setProgram("Xvfb");
    server_.setArguments({"-displayfd", "1", "-screen", "0", "1024x768x24", "-nolisten", "tcp"});
    server_.start();
    if (server_.waitForReadyRead(20000)) display_ = ":" + QString(server_.readLine()).trimmed();
  }
  ~VirtualDisplay() {
    server_.terminate();
    server_.waitForFinished(5000);
  }
  QString Display() const { return display_; }

 private:
  QProcess server_;
  QString display_;
};

QString WindowTree(const QString& display) {
  QProcess tree;
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.insert("DISPLAY", display);
  tree.setProcessEnvironment(environment);
  tree.start("xwininfo", {"-root", "-tree"});
  tree.waitForFinished(5000);
  return QString::fromUtf8(tree.readAllStandardOutput());
}

TEST(Startup, ProgramStartsShowsItsWindowAndClosesCleanly) {
  VirtualDisplay display;
  ASSERT_FALSE(display.Display().isEmpty()) << "Xvfb did not start";
  QTemporaryDir config;

  QProcess program;
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.insert("DISPLAY", display.Display());
  environment.insert("XDG_CONFIG_HOME", config.path());
  environment.insert("QT_QPA_PLATFORM", "xcb");
  program.setProcessEnvironment(environment);
  program.setProcessChannelMode(QProcess::ForwardedChannels);
  program.start(QString::fromStdString(BinDir() + "/tolvane"));
  ASSERT_TRUE(program.waitForStarted(10000));

  QElapsedTimer waited;
  waited.start();
  bool shown = false;
  while (!shown && waited.elapsed() < 60000 && program.state() == QProcess::Running) {
    shown = WindowTree(display.Display()).contains("\"Tolvane   (");
    if (!shown) QThread::msleep(200);
  }
  ASSERT_TRUE(shown) << "the main window never appeared";

  ::kill(static_cast<pid_t>(program.processId()), SIGTERM);
  ASSERT_TRUE(program.waitForFinished(30000));
  EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(program.exitCode(), 0);

  QSettings stored(config.path() + "/Zarnok/Tolvane.ini", QSettings::IniFormat);
  const QStringList expected = {
      "AudioBitrate",       "AudioBitsPerSample", "AudioChannels", "AudioSampleRate", "AudioVBR",
      "AudioVbrMaxBitrate", "AudioVbrMinBitrate", "InputFileDir",  "OutputFileDir",   "tips"};
  QStringList keys = stored.allKeys();
  keys.sort();
  EXPECT_EQ(keys, expected);
  EXPECT_EQ(stored.value("AudioBitrate").toInt(), 192);
}

}  // namespace
