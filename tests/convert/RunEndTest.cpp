// How a run ends as the user sees it: a clean run and a run of one file keep their old messages; a run
// with several files not converted whole opens nothing while it goes on and lists them all in one
// report; several missing inputs are listed in one window before the run.
#include <QApplication>
#include <filesystem>
#include <vector>

#include "tests/convert/RunFixture.h"
#include "ui/lang.h"

namespace {

namespace fs = std::filesystem;

struct EndCase {
  const char* name;
  int good, empty, missing;
  // Each window of the run in turn: its kind and how its text begins.
  std::vector<std::pair<int, QString>> windows;
};

void PrintTo(const EndCase& c, std::ostream* os) { *os << c.name; }

class RunEnd : public RunFixture, public ::testing::WithParamInterface<EndCase> {};

}  // namespace

TEST_P(RunEnd, ShowsItsWindowsOnlyAtTheStartAndTheEnd) {
  const EndCase& c = GetParam();
  std::vector<std::string> notWhole;
  for (int i = 0; i < c.good; ++i) AddTask(CopyOfTestFile("ra144.rm", "good" + std::to_string(i) + ".rm"));
  for (int i = 0; i < c.empty + c.missing; ++i) {
    notWhole.push_back(CopyOfTestFile("aac.rm", "bad" + std::to_string(i) + ".rm"));
    AddTask(notWhole.back());
    if (i < c.empty)
      fs::resize_file(notWhole.back(), 0);
    else
      fs::remove(notWhole.back());
  }
  bool shownDuringRun = false;
  QTimer watch;
  QObject::connect(&watch, &QTimer::timeout, [&] {
    shownDuringRun = shownDuringRun || (prg->Converting() && prg->RunningSinks().size() > 0 &&
                                        QApplication::activeModalWidget() != prg.get());
  });
  watch.start(5);
  MessageResponder responder;

  Run();

  EXPECT_FALSE(shownDuringRun) << "a window opened while a task converted";
  ASSERT_EQ(responder.messages.size(), int(c.windows.size())) << responder.messages.join(" | ").toStdString();
  for (size_t i = 0; i < c.windows.size(); ++i) {
    EXPECT_EQ(responder.kinds[int(i)], c.windows[i].first) << i;
    EXPECT_TRUE(responder.messages[int(i)].startsWith(c.windows[i].second))
        << responder.messages[int(i)].toStdString();
  }
  // Each file not converted whole is named on a line of its own in a list.
  if (c.windows.back().first == kRunReport) {
    for (const std::string& path : notWhole) {
      EXPECT_TRUE(responder.messages.last().contains(QString::fromStdString("\n " + path + "\n"))) << path;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RunEnd,
    ::testing::Values(
        EndCase{"Clean", 2, 0, 0, {{mkInformation, EndMessage(StrAllConverted)}}},
        EndCase{"OneFileFailing",
                0,
                1,
                0,
                {{mkError, "The file \""},
                 {mkInformation,
                  EndMessage("The conversion has finished, but 1 of 1 file could not be converted.")}}},
        EndCase{"SeveralFailing",
                1,
                2,
                0,
                {{kRunReport, "3 files: 1 converted, 0 converted in part, 2 failed, 0 skipped.\nFailed:\n"}}},
        EndCase{
            "SeveralMissing",
            1,
            0,
            2,
            {{kRunReport,
              "The system cannot open the device or file specified.\nThese 2 checked input files"},
             {kRunReport, "3 files: 1 converted, 0 converted in part, 2 failed, 0 skipped.\nFailed:\n"}}}),
    [](const ::testing::TestParamInfo<EndCase>& info) { return std::string(info.param.name); });
