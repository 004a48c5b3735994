// Who runs when, without converting anything: list order over the slots, one writer per output file
// however its path is spelled, a core held by each running task, and none lent while tasks wait.
#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <filesystem>

#include "run/RunSchedule.h"
#include "tests/support/TestEnvironment.h"

namespace fs = std::filesystem;

TEST(Schedule, TasksOfOneOutputRunInTurnAndTheOthersFillTheFreeSlots) {
  QTemporaryDir dir;
  const fs::path root = dir.path().toStdString();
  fs::create_directory(root / "out");
  fs::create_directory_symlink(root / "out", root / "linked");
  WriteWholeFile((root / "out/h1.mp3").string(), "an earlier MP3");
  fs::create_hard_link(root / "out/h1.mp3", root / "out/h2.mp3");
  struct Case {
    int slotCount;
    std::vector<const char*> outputs;
    const char* events;  // "+k": task k starts, "-k": it ends; the task started first ends first
  };
  const Case cases[] = {{1, {"out/a.mp3", "out/b.mp3"}, "+0 -0 +1 -1"},
                        {2, {"out/a.mp3", "out/b.mp3", "out/c.mp3"}, "+0 +1 -0 +2 -1 -2"},
                        {2, {"out/a.mp3", "linked/a.mp3", "out/b.mp3"}, "+0 +2 -0 +1 -2 -1"},
                        {3, {"out/a.mp3", "out/./a.mp3", "out/../out//a.mp3"}, "+0 -0 +1 -1 +2 -2"},
                        {2, {"out/new/sub/../z.mp3", "out/new/z.mp3"}, "+0 -0 +1 -1"},  // folders to be made
                        {2, {"out/h1.mp3", "out/h2.mp3"}, "+0 -0 +1 -1"},               // one file, two names
                        {2, {"out/a.mp3", "out/A.mp3"}, "+0 +1 -0 -1"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.events);
    std::vector<TRunTask> tasks;
    for (const char* output : c.outputs) tasks.push_back({int32_t(tasks.size()), (root / output).string()});
    const int cores = c.slotCount + 1;  // one more, free for a running task's segments
    TRunSchedule schedule(tasks, c.slotCount, cores);
    std::string events;
    for (std::vector<int> running;;) {  // slots, in the order their tasks started
      while (const auto start = schedule.StartNext()) {
        events += (events.empty() ? "+" : " +") + std::to_string(start->TaskIndex);
        running.push_back(start->Slot);
      }
      EXPECT_EQ(schedule.Cores().FreeCores(), cores - int(running.size()));
      // The free core goes to segments only while no task waits for a free slot.
      EXPECT_EQ(schedule.Cores().LendsCores(),
                schedule.AllStarted() || schedule.RunningCount() == c.slotCount);
      if (running.empty()) break;
      events += " -" + std::to_string(schedule.TaskIn(running.front()));
      schedule.Ended(running.front());
      running.erase(running.begin());
      EXPECT_EQ(schedule.Cores().LendsCores(), schedule.AllStarted());
    }
    EXPECT_EQ(events, c.events);
  }
}
