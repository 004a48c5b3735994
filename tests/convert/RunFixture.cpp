#include "tests/convert/RunFixture.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDesktopServices>
#include <QLabel>
#include <QPointer>
#include <cmath>
#include <cstdint>
#include <filesystem>

#include "convert/ElidedLabel.h"
#include "core/Profile.h"
#include "core/Settings.h"
#include "tests/probe/ProbeRun.h"
#include "ui/ReportWindow.h"
#include "ui/lang.h"

namespace {

int argc = 1;
char programName[] = "test_convert";
char* argv[] = {programName, nullptr};

void PutLE(std::string& bytes, uint32_t value, int count) {
  for (int i = 0; i < count; ++i) bytes += char((value >> (8 * i)) & 0xFF);
}

}  // namespace

WhenReady::WhenReady(std::function<bool()> cond, std::function<void()> act)
    : cond_(std::move(cond)), act_(std::move(act)) {
  timer_.setInterval(5);
  connect(&timer_, &QTimer::timeout, this, [this] {
    if (fired || !cond_()) return;
    fired = true;
    timer_.stop();
    QTimer::singleShot(0, this, [this] { act_(); });
  });
  timer_.start();
}

MessageResponder::MessageResponder() {
  timer_.setInterval(5);
  connect(&timer_, &QTimer::timeout, this, [this] {
    QWidget* modal = QApplication::activeModalWidget();
    auto* box = qobject_cast<TmsgFrm*>(modal);
    auto* report = qobject_cast<TReportFrm*>(modal);
    if (busy_ || !(box || report) || !modal->isVisible()) return;
    busy_ = true;
    messages << (box ? box->Text() : report->Text());
    kinds << (box ? box->Kind() : kRunReport);
    QPointer<QWidget> target(modal);
    // Pressed from the event loop, not from inside this timer's own handler.
    QTimer::singleShot(0, this, [this, target] {
      busy_ = false;
      if (!target) return;
      QAbstractButton* button = FindButton(target, StrOK);
      if (!button) button = FindButton(target, StrNo);
      if (button) button->click();
    });
  });
  timer_.start();
}

LabelRecorder::LabelRecorder(const QWidget* label) {
  // Told by the label itself: a task that ends at once replaces its text before any timer could look.
  connect(static_cast<const TElidedLabel*>(label), &TElidedLabel::FullTextSet, this,
          [this](const QString& text) {
            if (!text.isEmpty() && (seen.isEmpty() || seen.last() != text)) seen << text;
          });
}

void RunFixture::SetUpTestSuite() {
  if (!QApplication::instance()) new QApplication(argc, argv);
}

void RunFixture::SetUp() {
  ASSERT_TRUE(dir.isValid());
  sourceDir = dir.path().toStdString() + "/in";
  outputDir = dir.path().toStdString() + "/out";
  std::filesystem::create_directories(sourceDir);
  std::filesystem::create_directories(outputDir);
  ProgramDir = BinDir() + "/";
  AssignProductProfile();
  FillBitrateTable();
  DefaultSettings = TDefaultSettings{};
  DefaultSettings.InputFileDir = sourceDir + "/";
  DefaultSettings.OutputFileDir = outputDir + "/";
  // One task at a time unless a test asks for more: the run as it always was.
  DefaultSettings.ParallelTasks = 1;
  FreeAllTasks();
  QDesktopServices::setUrlHandler("file", &urls, "open");
  messages = std::make_unique<TmsgFrm>();
  prg = std::make_unique<TprgFrm>();
  mainWindow = std::make_unique<QWidget>();
  mainWindow->setWindowTitle("Tolvane");
  mainWindow->resize(500, 400);
  mainWindow->show();
  prg->SetMainWindow(mainWindow.get());
}

void RunFixture::TearDown() {
  CloseAllModalWindows();
  QDesktopServices::unsetUrlHandler("file");
  EXPECT_TRUE(driver.failures.isEmpty()) << driver.failures.join("; ").toStdString();
  prg.reset();
  messages.reset();
  mainWindow.reset();
  FreeAllTasks();
}

int RunFixture::AddTask(const std::string& path) {
  const int32_t result = RunProbe(path);
  EXPECT_EQ(result, 0) << "the probe refused " << path;
  StoreTask(true, 0);
  return int(Tasks.size()) - 1;
}

std::string RunFixture::CopyOfTestFile(const std::string& file, const std::string& name) {
  const std::string path = sourceDir + "/" + name;
  WriteWholeFile(path, ReadWholeFile(TestDataFile(file)));
  return path;
}

std::string RunFixture::LongWav(const std::string& name, int seconds, int rate, double hz) {
  const uint32_t frames = uint32_t(seconds) * uint32_t(rate);
  std::string bytes = "RIFF";
  PutLE(bytes, 36 + frames * 2, 4);
  bytes += "WAVEfmt ";
  PutLE(bytes, 16, 4);
  PutLE(bytes, 1, 2);  // PCM
  PutLE(bytes, 1, 2);  // mono
  PutLE(bytes, uint32_t(rate), 4);
  PutLE(bytes, uint32_t(rate) * 2, 4);
  PutLE(bytes, 2, 2);
  PutLE(bytes, 16, 2);
  bytes += "data";
  PutLE(bytes, frames * 2, 4);
  bytes.reserve(bytes.size() + frames * 2);
  for (uint32_t i = 0; i < frames; ++i) {
    const double s = 0.25 * std::sin(2 * M_PI * hz * i / rate);
    PutLE(bytes, uint32_t(uint16_t(int16_t(std::lround(s * 32767)))), 2);
  }
  const std::string path = sourceDir + "/" + name;
  WriteWholeFile(path, bytes);
  return path;
}

void RunFixture::AnswerReport() {
  driver.Then(
      [this](QWidget* window) {
        reports << static_cast<TReportFrm*>(window)->Text();
        if (QAbstractButton* no = FindButton(window, StrNo)) no->click();
      },
      "TReportFrm");
}

void RunFixture::Run() {
  LabelRecorder recorder(prg->fileLabel);
  prg->RunConversion();
  labels_ = recorder.seen;
}

QString EndMessage(const char* outcome) { return QString(outcome) + "\n" + StrAskOpenFolder; }
