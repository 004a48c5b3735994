#include "tests/app/MainWindowFixture.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDropEvent>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QListWidget>
#include <QMimeData>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "core/Profile.h"
#include "core/Settings.h"
#include "core/TaskList.h"
#include "probe/ProbeMedia.h"

namespace {
int argc = 1;
char programName[] = "test_app";
char* argv[] = {programName, nullptr};
}  // namespace

void MainWindowFixture::SetUpTestSuite() {
  if (!QApplication::instance()) new QApplication(argc, argv);
}

void MainWindowFixture::SetUp() {
  previousDataHome_ = qgetenv("XDG_DATA_HOME");
  qputenv("XDG_DATA_HOME", dataHome.path().toUtf8());
  work = workDir.path().toStdString() + "/";
  SetProgramDir(BinDir() + "/test_app");
  AssignProductProfile();
  FillBitrateTable();
  SetApplicationTitle();
  SetProbeLibrary(RealProbeLibrary());
  FreeAllTasks();
  CurrentTask = TTaskRecord{};
  LoadSettings();
  tips = 10000;  // no tip of the day in these tests
  QDesktopServices::setUrlHandler("file", &urls, "open");
  // Start-up's order: main window, editor, progress window, message box.
  main = std::make_unique<TmainFrm>();
  editor = std::make_unique<TaddFrm>();
  progress = std::make_unique<TprgFrm>();
  progress->SetMainWindow(main.get());
  messages = std::make_unique<TmsgFrm>();
  main->show();
  QApplication::processEvents();
}

void MainWindowFixture::TearDown() {
  CloseAllModalWindows();
  QDesktopServices::unsetUrlHandler("file");
  messages.reset();
  progress.reset();
  editor.reset();
  main.reset();
  SetProbeLibrary(RealProbeLibrary());
  FreeAllTasks();
  CurrentTask = TTaskRecord{};
  DefaultSettings = TDefaultSettings{};
  ProbeDone.store(true);
  qputenv("XDG_DATA_HOME", previousDataHome_);
  EXPECT_TRUE(driver.failures.isEmpty()) << driver.failures.join("; ").toStdString();
}

std::string MainWindowFixture::Input(const std::string& testFile, const std::string& name) {
  const std::string path = work + (name.empty() ? testFile : name);
  WriteWholeFile(path, ReadWholeFile(TestDataFile(testFile)));
  return path;
}

void MainWindowFixture::Drop(const QStringList& paths) {
  QMimeData data;
  QList<QUrl> list;
  for (const QString& path : paths) list << QUrl::fromLocalFile(path);
  data.setUrls(list);
  QDragEnterEvent enter(QPoint(100, 100), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(main.get(), &enter);
  QDropEvent drop(QPointF(100, 100), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(main.get(), &drop);
}

bool MainWindowFixture::WaitUntil(const std::function<bool()>& cond) {
  QElapsedTimer watchdog;
  watchdog.start();
  while (!cond()) {
    if (watchdog.elapsed() > 120000) {
      ADD_FAILURE() << "waited in vain";
      return false;
    }
    QEventLoop loop;
    QTimer::singleShot(5, &loop, &QEventLoop::quit);
    loop.exec();
  }
  return true;
}

void MainWindowFixture::WaitForBatch() {
  // The batch starts from the event loop after the drop; it is over when no step is left and no file
  // is being added.
  WaitUntil([this] {
    return driver.Remaining() == 0 && !main->IsAddingFiles() && !QApplication::activeModalWidget();
  });
}

void MainWindowFixture::ConfirmEditor(const std::function<void(TaddFrm*)>& edit) {
  driver.Then(
      [edit](QWidget* window) {
        auto* form = static_cast<TaddFrm*>(window);
        form->nextBtn->click();  // page 1: the output checks
        form->nextBtn->click();  // page 2
        if (edit) edit(form);
        form->nextBtn->click();  // page 3: OK
      },
      "TaddFrm");
}

void MainWindowFixture::ClickRow(int i) {
  QListWidget* list = main->TaskList;
  QRect row = list->visualItemRect(list->item(i));
  QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, QPoint(row.right() - 10, row.center().y()));
  QTest::qWait(20);
}

QStringList MainWindowFixture::RowTexts() const {
  QStringList texts;
  for (int i = 0; i < main->TaskList->count(); ++i) texts << main->TaskList->item(i)->text();
  return texts;
}
