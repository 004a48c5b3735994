// tolvane-batch-bench PARALLEL OUTPUT-FOLDER INPUT...: makes one task per input as the main window
// does (the real probe, the default MP3 settings, the output in OUTPUT-FOLDER), converts them through
// the real progress window with ParallelTasks = PARALLEL on the offscreen platform, answers the end
// message and prints wall seconds, CPU seconds and peak memory of the process.
#include <sys/resource.h>

#include <QAbstractButton>
#include <QApplication>
#include <QTimer>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "convert/prg.h"
#include "core/Profile.h"
#include "core/Settings.h"
#include "core/TaskList.h"
#include "probe/ProbeMedia.h"
#include "ui/lang.h"
#include "ui/msgbox.h"

namespace {

double CpuSeconds(const rusage& usage) {
  return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

bool AddTask(const std::string& path) {
  ProbeFile = path;
  ProbeForNewTask = true;
  ProbeResult.store(-1);
  ProbeDone.store(false);
  ProbeMedia();
  if (!ProbeDone.load() || ProbeResult.load() != 0) return false;
  StoreTask(true, 0);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: tolvane-batch-bench PARALLEL OUTPUT-FOLDER INPUT...\n");
    return 2;
  }
  if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QApplication app(argc, argv);
  ProgramDir = QCoreApplication::applicationDirPath().toStdString() + "/";
  AssignProductProfile();
  FillBitrateTable();
  DefaultSettings = TDefaultSettings{};
  DefaultSettings.ParallelTasks = std::atoi(argv[1]);
  DefaultSettings.OutputFileDir = std::string(argv[2]) + "/";
  tips = 10000;
  for (int i = 3; i < argc; ++i) {
    if (!AddTask(argv[i])) {
      std::fprintf(stderr, "cannot read %s\n", argv[i]);
      return 1;
    }
  }
  try {
    TmsgFrm messages;
    TprgFrm progress;
    // Every message is answered "&No" (the end message's open-folder question) or "&OK".
    int answered = 0;
    QTimer answer;
    QObject::connect(&answer, &QTimer::timeout, [&] {
      auto* box = qobject_cast<TmsgFrm*>(QApplication::activeModalWidget());
      if (!box || !box->isVisible()) return;
      for (auto* button : box->findChildren<QAbstractButton*>()) {
        if (button->isVisible() && (button->text() == StrNo || button->text() == StrOK)) {
          ++answered;
          button->click();
          return;
        }
      }
    });
    answer.start(20);
    const auto start = std::chrono::steady_clock::now();
    progress.RunConversion();
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("parallel_tasks %d\n", ParallelTaskCount(DefaultSettings.ParallelTasks));
    std::printf("tasks %zu\n", Tasks.size());
    std::printf("messages %d\n", answered);
    std::printf("wall_seconds %.3f\n", wall);
    std::printf("cpu_seconds %.3f\n", CpuSeconds(usage));
    std::printf("peak_memory_mb %.1f\n", double(usage.ru_maxrss) / 1024.0);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s\n", e.what());
    return 1;
  }
  FreeAllTasks();
  return 0;
}
