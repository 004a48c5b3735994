#pragma once
// Surroundings of the task editor and reading tests: an application on the offscreen platform, the
// settings file and the history folder in temporary homes, a work folder, the message window and the
// editor, as start-up makes them.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTemporaryDir>
#include <memory>
#include <ostream>
#include <string>

#include "core/Profile.h"
#include "core/Settings.h"
#include "core/TaskList.h"
#include "probe/ProbeMedia.h"
#include "tests/probe/ProbeRun.h"
#include "tests/support/ModalDriver.h"
#include "tests/support/TestEnvironment.h"
#include "ui/TagHistory.h"
#include "ui/add.h"
#include "ui/msgbox.h"

// Readable failure output for Qt texts.
inline void PrintTo(const QString& text, std::ostream* out) { *out << '"' << text.toStdString() << '"'; }

// Points XDG_DATA_HOME (where the histories live) at a fresh temporary folder for the life of the object.
class ScopedDataHome {
 public:
  ScopedDataHome()
      : hadPrevious_(qEnvironmentVariableIsSet("XDG_DATA_HOME")), previous_(qgetenv("XDG_DATA_HOME")) {
    qputenv("XDG_DATA_HOME", dir_.path().toUtf8());
  }
  ~ScopedDataHome() {
    if (hadPrevious_)
      qputenv("XDG_DATA_HOME", previous_);
    else
      qunsetenv("XDG_DATA_HOME");
  }
  ScopedDataHome(const ScopedDataHome&) = delete;
  ScopedDataHome& operator=(const ScopedDataHome&) = delete;
  std::string Path() const { return dir_.path().toStdString(); }

 private:
  QTemporaryDir dir_;
  bool hadPrevious_;
  QByteArray previous_;
};

inline void EnsureApplication() {
  static int argc = 1;
  static char name[] = "test_ui_editor";
  static char* argv[] = {name, nullptr};
  if (!QApplication::instance()) new QApplication(argc, argv);
}

class EditorFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    EnsureApplication();
    SetProgramDir(BinDir() + "/test_ui");
    AssignProductProfile();
    FillBitrateTable();
    SetProbeLibrary(RealProbeLibrary());
    FreeAllTasks();
    CurrentTask = TTaskRecord{};
    LoadSettings();  // makes the settings file in the temporary config home
    work = workDir.path().toStdString() + "/";
    messages = std::make_unique<TmsgFrm>();
    editor = std::make_unique<TaddFrm>();
  }
  void TearDown() override {
    CloseAllModalWindows();
    editor.reset();
    messages.reset();
    SetProbeLibrary(RealProbeLibrary());
    FreeAllTasks();
    CurrentTask = TTaskRecord{};
    DefaultSettings = TDefaultSettings{};
  }

  // A committed test file copied into the work folder, under another name if given.
  std::string Input(const std::string& testFile, const std::string& name = "") {
    const std::string path = work + (name.empty() ? testFile : name);
    WriteWholeFile(path, ReadWholeFile(TestDataFile(testFile)));
    return path;
  }
  // CurrentTask as the reading of a new file leaves it.
  void ProbeNewTask(const std::string& path) { ASSERT_EQ(RunProbe(path, true), 0) << path; }
  std::string History(const char* name) const { return HistoryFolder() + name; }

  ScopedConfigHome config;
  ScopedDataHome data;
  QTemporaryDir workDir;
  std::string work;
  std::unique_ptr<TmsgFrm> messages;
  std::unique_ptr<TaddFrm> editor;
};

inline void ExpectNoDriverFailures(const ModalDriver& driver) {
  EXPECT_TRUE(driver.failures.isEmpty()) << driver.failures.join("; ").toStdString();
  EXPECT_EQ(driver.Remaining(), 0);
}
