#include "tests/e2e/E2eFixture.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSettings>
#include <iostream>

#include "tests/support/TestEnvironment.h"

namespace {

class ScreenAtFailure : public ::testing::EmptyTestEventListener {
 public:
  // testName: the test's own (the listener may not ask for it while gtest records a failure).
  ScreenAtFailure(const VirtualDisplay& display, QString testName)
      : display_(display), environment_(display.Environment()), testName_(std::move(testName)) {}

  void OnTestPartResult(const ::testing::TestPartResult& result) override {
    if (!result.failed()) return;
    std::cout << "display " << display_.Display().toStdString() << ", its server "
              << (display_.Running() ? "runs" : "has ended") << "\n";
    // What the program itself said: a crash report, a Qt warning, a sanitizer's finding.
    if (ProgramRun* program = ProgramRun::Latest()) {
      std::cout << "the program " << (program->Running() ? "runs" : "has ended") << "; it printed:\n"
                << program->Output().toStdString() << "\n";
      if (program->Running() && !backtraceShown_) {
        backtraceShown_ = true;
        std::cout << "where it is:\n" << program->Backtrace().toStdString() << "\n";
      }
    }
    const QString folder = QString::fromStdString(BinDir()) + "/../e2e-failures";
    QDir().mkpath(folder);
    const QString picture = QString("%1/%2-%3.png").arg(folder, testName_).arg(++failures_);
    QProcess screenshot;
    screenshot.setProcessEnvironment(environment_);
    screenshot.start("import", {"-window", "root", picture});
    if (screenshot.waitForFinished(20000)) std::cout << "the screen then: " << picture.toStdString() << "\n";
  }

 private:
  const VirtualDisplay& display_;
  QProcessEnvironment environment_;
  QString testName_;
  int failures_ = 0;
  bool backtraceShown_ = false;
};

}  // namespace

void E2eTest::SetUp() {
  const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
  screenAtFailure_ = std::make_unique<ScreenAtFailure>(
      display_, QString("%1.%2").arg(test->test_suite_name(), test->name()));
  ::testing::UnitTest::GetInstance()->listeners().Append(screenAtFailure_.get());
  ASSERT_TRUE(home_.isValid());
  ASSERT_FALSE(display_.Display().isEmpty()) << "Xvfb did not start";
  for (const char* folder : {"config", "data", "media", "runtime"})
    ASSERT_TRUE(QDir(home_.path()).mkdir(folder));
  // A session's runtime folder is private to its user.
  QFile::setPermissions(home_.path() + "/runtime", QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

void E2eTest::TearDown() {
  windowManager_.reset();
  if (screenAtFailure_) ::testing::UnitTest::GetInstance()->listeners().Release(screenAtFailure_.get());
}

QString E2eTest::CopyTestFile(const QString& name) {
  const QString copy = MediaPath(name);
  EXPECT_TRUE(QFile::copy(QString::fromStdString(TestDataFile(name.toStdString())), copy))
      << name.toStdString();
  return copy;
}

bool E2eTest::MakeRecording(const QString& path, int seconds) {
  QProcess ffmpeg;
  ffmpeg.start("ffmpeg", {"-loglevel", "error", "-f", "lavfi", "-i",
                          QString("sine=frequency=440:duration=%1").arg(seconds), "-ac", "2", "-c:a", "ac3",
                          "-b:a", "96k", "-metadata", "title=Long Recording", path});
  return ffmpeg.waitForFinished(120000) && ffmpeg.exitCode() == 0 && QFile::exists(path);
}

void E2eTest::StoreSetting(const QString& name, const QVariant& value) {
  QSettings settings(SettingsFile(), QSettings::IniFormat);
  settings.setValue(name, value);
}

QVariant E2eTest::StoredSetting(const QString& name) const {
  QSettings settings(SettingsFile(), QSettings::IniFormat);
  return settings.value(name);
}

std::unique_ptr<ProgramRun> E2eTest::StartProgram(const QStringList& arguments,
                                                  const QStringList& extraEnvironment) {
  QStringList environment = extraEnvironment;
  // The documents folder (the first start's input folder) lies inside the test's home too.
  environment << "HOME=" + home_.path() << "XDG_RUNTIME_DIR=" + home_.path() + "/runtime";
  auto program = std::make_unique<ProgramRun>(display_, QString::fromStdString(BinDir() + "/tolvane"),
                                              arguments, home_.path() + "/config", home_.path() + "/data",
                                              home_.path() + "/media", environment);
  EXPECT_TRUE(program->Started());
  return program;
}

QString E2eTest::WaitForMainWindow(bool expectTip) {
  // In steps, so that a program that ended is not waited for.
  QString main;
  ProgramRun* program = ProgramRun::Latest();
  const QDeadlineTimer deadline(kStartWaitMs);
  while (main.isEmpty() && !deadline.hasExpired() && (!program || program->Running()))
    main = desktop_.WaitForWindow(titles::kMain, 2000);
  EXPECT_FALSE(main.isEmpty()) << "the main window did not appear";
  if (expectTip && !main.isEmpty()) {
    const QString tip = desktop_.WaitForWindow(titles::kTips);
    EXPECT_FALSE(tip.isEmpty()) << "the tip of the day did not appear";
    if (!tip.isEmpty()) desktop_.Keys(tip, {"Return"});
    EXPECT_TRUE(desktop_.WaitUntilGone(titles::kTips)) << "the tip of the day did not close";
  }
  return main;
}

void E2eTest::StartWindowManager(WindowManager::Kind kind) {
  windowManager_ = std::make_unique<WindowManager>(display_, kind);
  ASSERT_TRUE(windowManager_->Running())
      << "the window manager did not start (scripts/install-deps.sh installs it): "
      << windowManager_->Output().toStdString();
  desktop_.SetPointerFocus(kind == WindowManager::Kind::Twm);
}

QString E2eTest::DropOnMainWindow(const QString& mainWindow, const QStringList& files) {
  dragSource_.reset();  // the last one's window would take the press
  dragSource_ = std::make_unique<DragSourceRun>(display_, desktop_, files);
  DragSourceRun& source = *dragSource_;
  if (source.Window().isEmpty()) {
    ADD_FAILURE() << "the drag source did not show";
    return QString();
  }
  const QRect from = desktop_.Geometry(source.Window());
  const QRect to = desktop_.Geometry(mainWindow);
  // Onto the task list: the upper left part of the window.
  desktop_.Drag(from.center(), to.topLeft() + QPoint(to.width() / 4, to.height() / 3));
  return source.DropResult();
}

void E2eTest::ConfirmEditor() {
  const QString editor = desktop_.WaitForWindow(titles::kEditor);
  ASSERT_FALSE(editor.isEmpty()) << "the task editor did not appear";
  // Next to page 2, next to page 3, OK.
  desktop_.Keys(editor, {"alt+n", "alt+n", "alt+o"});
  ASSERT_TRUE(desktop_.WaitUntilGone(titles::kEditor)) << "the task editor did not close";
}

void E2eTest::AnswerMessage(const QStringList& keys) {
  const QString message = desktop_.WaitForWindow(titles::kMessage);
  ASSERT_FALSE(message.isEmpty()) << "no message appeared";
  ASSERT_TRUE(desktop_.KeysUntilHidden(message, keys)) << "the message did not close";
}

void E2eTest::ConvertAll(const QString& mainWindow) {
  desktop_.Keys(mainWindow, {"alt+s"});
  // The run ends with its outcome and the question whether to open the output folder.
  const QString message = desktop_.WaitForWindow(titles::kMessage, 60000);
  ASSERT_FALSE(message.isEmpty()) << "the conversion did not end with its message";
  EXPECT_FALSE(desktop_.Windows(titles::kProgress).isEmpty()) << "the progress window is not shown";
  ASSERT_TRUE(desktop_.KeysUntilHidden(message, {"alt+n"})) << "the end message did not close";
  ASSERT_TRUE(desktop_.WaitUntilGone(titles::kProgress)) << "the progress window did not close";
}

void E2eTest::CloseProgram(ProgramRun& program) {
  program.Terminate();
  ASSERT_TRUE(program.WaitForEnd()) << "the program did not end";
  EXPECT_TRUE(program.EndedNormally()) << program.Output().toStdString();
  EXPECT_EQ(program.ExitCode(), 0) << program.Output().toStdString();
}

void PrintTo(const QString& text, std::ostream* out) { *out << '"' << text.toStdString() << '"'; }

void PrintTo(const QStringList& texts, std::ostream* out) {
  *out << "{ " << texts.join(", ").toStdString() << " }";
}
