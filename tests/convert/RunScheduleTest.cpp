// Who runs when, without converting anything: tasks in list order over the run's slots, tasks that
// write one file (however its path is spelled) one after the other, and the cores they hold.
#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <filesystem>

#include "convert/RunSchedule.h"
#include "tests/support/TestEnvironment.h"

namespace {

namespace fs = std::filesystem;

struct ScheduleCase {
  const char* name;
  int slotCount;
  std::vector<const char*> outputs;  // below the test's folder: out/, linked -> out, out/h1 == out/h2
  const char* events;                // "+k" task k starts, "-k" it ends
};

void PrintTo(const ScheduleCase& c, std::ostream* os) { *os << c.name; }

class Schedule : public ::testing::TestWithParam<ScheduleCase> {};

// Starts what may start, then ends the task that started first, until every task has run; the
// budget holds a core for each running task throughout.
std::string RunThrough(TRunSchedule& schedule, int cores) {
  std::string events;
  std::vector<int> running;  // slots, in the order their tasks started
  for (;;) {
    while (const auto start = schedule.StartNext()) {
      events += (events.empty() ? "+" : " +") + std::to_string(start->TaskIndex);
      running.push_back(start->Slot);
    }
    EXPECT_EQ(schedule.Cores().FreeCores(), cores - int(running.size())) << events;
    if (running.empty()) break;
    events += " -" + std::to_string(schedule.TaskIn(running.front()));
    schedule.Ended(running.front());
    running.erase(running.begin());
  }
  EXPECT_TRUE(schedule.AllStarted()) << events;
  return events;
}

}  // namespace

TEST_P(Schedule, TasksOfOneOutputRunInTurnAndTheOthersFillTheFreeSlots) {
  const ScheduleCase& c = GetParam();
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const fs::path root = dir.path().toStdString();
  fs::create_directory(root / "out");
  fs::create_directory_symlink(root / "out", root / "linked");
  WriteWholeFile((root / "out/h1.mp3").string(), "an earlier MP3");
  fs::create_hard_link(root / "out/h1.mp3", root / "out/h2.mp3");
  std::vector<TRunTask> tasks;
  for (const char* output : c.outputs) tasks.push_back({int32_t(tasks.size()), (root / output).string()});
  const int cores = c.slotCount + 1;  // a core beyond the slots: free for a running task's segments
  TRunSchedule schedule(tasks, c.slotCount, cores);
  EXPECT_EQ(RunThrough(schedule, cores), c.events);
  EXPECT_EQ(schedule.Cores().FreeCores(), cores);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Schedule,
    ::testing::Values(
        ScheduleCase{"OneSlotIsListOrder", 1, {"out/a.mp3", "out/a.mp3", "out/b.mp3"}, "+0 -0 +1 -1 +2 -2"},
        ScheduleCase{
            "DistinctOutputsFillTheSlots", 2, {"out/a.mp3", "out/b.mp3", "out/c.mp3"}, "+0 +1 -0 +2 -1 -2"},
        ScheduleCase{"ALinkedFolderIsTheSameFolder",
                     2,
                     {"out/a.mp3", "linked/a.mp3", "out/b.mp3"},
                     "+0 +2 -0 +1 -2 -1"},
        ScheduleCase{"OtherSpellingsOfOnePath",
                     3,
                     {"out/a.mp3", "out/./a.mp3", "out/../out//a.mp3"},
                     "+0 -0 +1 -1 +2 -2"},
        ScheduleCase{"FoldersStillToBeMade",
                     2,
                     {"out/new/sub/../z.mp3", "out/new/z.mp3", "out/new/y.mp3"},
                     "+0 +2 -0 +1 -2 -1"},
        ScheduleCase{"TwoNamesOfOneFile", 2, {"out/h1.mp3", "out/h2.mp3"}, "+0 -0 +1 -1"},
        ScheduleCase{"NamesDifferingInCaseAreTwoFiles", 2, {"out/a.mp3", "out/A.mp3"}, "+0 +1 -0 -1"}),
    [](const ::testing::TestParamInfo<ScheduleCase>& info) { return std::string(info.param.name); });
