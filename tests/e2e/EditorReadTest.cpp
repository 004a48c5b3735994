// The task editor reads another input file off the window's thread: while a large multi-rate file is
// read, the window answers the window manager's pings (openbox).
#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QThread>
#include <iostream>

#include "tests/e2e/E2eFixture.h"
#include "tests/support/MultiRateMaker.h"
#include "tests/support/TestEnvironment.h"

namespace {

// True while the process holds path open (its read goes on).
bool HoldsOpen(qint64 pid, const QString& path) {
  const QString folder = QString("/proc/%1/fd").arg(pid);
  for (const QString& fd : QDir(folder).entryList(QDir::Files | QDir::System))
    if (QFileInfo(folder + "/" + fd).symLinkTarget() == path) return true;
  return false;
}

}  // namespace

class EditorRead : public E2eTest {};

TEST_F(EditorRead, TheWindowAnswersPingsWhileTheEditorReadsASlowMultiRateFile) {
  ASSERT_NO_FATAL_FAILURE(StartWindowManager(WindowManager::Kind::Openbox));
  // 256 stream headers behind 600 MB of empty packets: the probe walks them all before it refuses the
  // file, a read of a second or more.
  const QString slow = MediaPath("slow multirate.rm");
  WriteWholeFile(slow.toStdString(), ManyStreamsBehindEmptyPackets(256, uint64_t{600} << 20));
  const QString first = CopyTestFile("ra144.rm");
  StoreSetting("tips", 10000);
  auto program = StartProgram({first});
  ASSERT_FALSE(WaitForMainWindow(/*expectTip=*/false).isEmpty());
  const QString editor = desktop_.WaitForWindow(titles::kEditor);
  ASSERT_FALSE(editor.isEmpty()) << "the task editor did not appear";

  // From the input field (Next, Cancel, then the field) a space opens the picker.
  desktop_.Keys(editor, {"Tab", "Tab", "space"});
  const QString picker = desktop_.WaitForWindow("^Open$");
  ASSERT_FALSE(picker.isEmpty()) << "the input picker did not open";
  desktop_.Type(picker, slow);
  desktop_.Keys(picker, {"Return"});
  const QDeadlineTimer opened(DesktopDriver::kWaitMs);
  while (!HoldsOpen(program->Pid(), slow) && !opened.hasExpired()) QThread::msleep(5);
  ASSERT_TRUE(HoldsOpen(program->Pid(), slow)) << "the picked file was not read";

  QProcess ping;
  ping.setProcessEnvironment(display_.Environment());
  ping.start(QString::fromStdString(BinDir() + "/tolvane-test-ping"), {editor, "5", "5000"});
  ASSERT_TRUE(ping.waitForFinished(60000));
  const QString answers = QString::fromUtf8(ping.readAllStandardOutput()).trimmed();
  const bool stillReading = HoldsOpen(program->Pid(), slow);
  std::cout << "ping answers (ms) during the read: " << answers.split('\n').join(", ").toStdString() << "\n";
  EXPECT_EQ(ping.exitCode(), 0) << "a ping went unanswered: " << answers.toStdString();
  EXPECT_TRUE(stillReading) << "the read had ended before the pings were answered; make the file larger";

  // The file is refused: the editor keeps its task and takes keys again.
  const QDeadlineTimer read(120000);
  while (HoldsOpen(program->Pid(), slow) && !read.hasExpired()) QThread::msleep(50);
  EXPECT_TRUE(desktop_.Windows(titles::kMessage).isEmpty());
  ASSERT_TRUE(desktop_.KeysUntilHidden(editor, {"alt+c"})) << "the editor did not take keys after the read";
  ASSERT_NO_FATAL_FAILURE(CloseProgram(*program));
}
