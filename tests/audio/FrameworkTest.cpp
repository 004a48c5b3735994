// The source/sink framework with a counting sink: runs, events and their threads, stop, pause,
// errors, restarts from OnDone, destruction in every state, and the file source's bookkeeping.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>
#include <memory>
#include <mutex>
#include <thread>

#include "FrameworkTestSources.h"
#include "audio/MainThreadCall.h"

namespace {

struct Recorder {
  std::atomic<int> done{0};
  std::atomic<int> errors{0};
  std::mutex mutex;
  std::vector<std::string> messages;
  std::vector<std::thread::id> doneThreads, errorThreads;
  std::vector<int> progress;

  void Attach(TSndOutput& sink) {
    sink.OnDone = [this](TComponent*) {
      std::lock_guard<std::mutex> lock(mutex);
      doneThreads.push_back(std::this_thread::get_id());
      ++done;
    };
    sink.OnThreadException = [this](TComponent*, const Exception& e) {
      std::lock_guard<std::mutex> lock(mutex);
      messages.push_back(e.what());
      errorThreads.push_back(std::this_thread::get_id());
      ++errors;
    };
    sink.OnProgress = [this, &sink](TComponent*) {
      std::lock_guard<std::mutex> lock(mutex);
      progress.push_back(sink.ProgressPercent());
    };
  }
};

TEST(Framework, RunDeliversEverythingAndReportsOnTheOwnerThread) {
  TSineSource source(8000, 2, 440, 2.0);
  TCountingSink sink;
  Recorder rec;
  rec.Attach(sink);
  sink.SetInput(&source);
  sink.Start();
  EXPECT_NE(sink.State(), TOutputState::Idle);
  ASSERT_TRUE(PumpUntil([&] { return rec.done == 1; }));
  PumpFor(50);
  EXPECT_EQ(rec.done, 1);
  EXPECT_EQ(rec.errors, 0);
  EXPECT_EQ(sink.State(), TOutputState::Idle);
  EXPECT_EQ(sink.BytesRead, source.Frames * 4);
  EXPECT_EQ(sink.Finishes, 1);
  EXPECT_FALSE(source.Busy);
  EXPECT_EQ(source.OpenCount, 0);
  EXPECT_EQ(source.RealOpens, source.RealCloses);
  EXPECT_EQ(rec.doneThreads[0], std::this_thread::get_id());
  ASSERT_FALSE(rec.progress.empty());
  EXPECT_EQ(rec.progress.back(), 100);
  EXPECT_TRUE(std::is_sorted(rec.progress.begin(), rec.progress.end()));
}

TEST(Framework, StartWhileBusyRaisesAndLeavesTheRunAlone) {
  TSineSource source(8000, 2, 440, 4.0);
  TCountingSink sink;
  Recorder rec;
  rec.Attach(sink);
  EXPECT_THROW(
      {
        try {
          sink.Start();
        } catch (const ESndException& e) {
          EXPECT_STREQ(e.what(), "Input is not assigned");
          throw;
        }
      },
      ESndException);
  sink.SetInput(&source);
  sink.Start();
  try {
    sink.Start();
    ADD_FAILURE() << "a second Start was accepted";
  } catch (const ESndException& e) {
    EXPECT_STREQ(e.what(), "Component is Busy");
  }
  ASSERT_TRUE(PumpUntil([&] { return rec.done == 1; }));
  EXPECT_EQ(sink.Prepares, 1);
  EXPECT_EQ(sink.BytesRead, source.Frames * 4);
  EXPECT_EQ(rec.errors, 0);
}

TEST(Framework, StopFinishesOnceWithDone) {
  TSineSource source(8000, 2, 440, 60.0);
  std::atomic<bool> started{false};
  source.OnRead = [&](int index) {
    if (index == 5) started = true;
  };
  TCountingSink sink;
  Recorder rec;
  rec.Attach(sink);
  sink.SetInput(&source);
  sink.Start();
  ASSERT_TRUE(PumpUntil([&] { return started.load(); }));
  sink.Stop();
  ASSERT_TRUE(PumpUntil([&] { return rec.done == 1; }));
  PumpFor(50);
  EXPECT_EQ(rec.done, 1);
  EXPECT_EQ(sink.Finishes, 1);
  EXPECT_LT(sink.BytesRead, source.Frames * 4);
  EXPECT_FALSE(source.Busy);
  // Stop outside a run changes nothing.
  sink.Stop();
  PumpFor(30);
  EXPECT_EQ(rec.done, 1);
}

TEST(Framework, PauseHaltsBetweenStepsAndStopWaitsForResume) {
  TSineSource source(8000, 2, 440, 60.0);
  std::atomic<bool> started{false};
  source.OnRead = [&](int index) {
    if (index == 3) started = true;
  };
  TCountingSink sink;
  Recorder rec;
  rec.Attach(sink);
  sink.SetInput(&source);
  sink.Start();
  ASSERT_TRUE(PumpUntil([&] { return started.load(); }));
  sink.Pause();
  EXPECT_EQ(sink.State(), TOutputState::Paused);
  // Pause does not wait for the step in progress; once that has ended no further step runs.
  ASSERT_TRUE(PumpUntil([&] { return sink.PauseSettled(); }));
  const int steps = sink.Steps;
  PumpFor(150);
  EXPECT_EQ(sink.Steps, steps);
  sink.Resume();
  EXPECT_EQ(sink.State(), TOutputState::Running);
  EXPECT_FALSE(sink.PauseSettled());
  ASSERT_TRUE(PumpUntil([&] { return sink.Steps > steps + 2; }));
  sink.Pause();
  ASSERT_TRUE(PumpUntil([&] { return sink.PauseSettled(); }));
  const int pausedAt = sink.Steps;
  sink.Stop();
  PumpFor(150);
  EXPECT_EQ(rec.done, 0);
  EXPECT_EQ(sink.Steps, pausedAt);
  EXPECT_EQ(sink.State(), TOutputState::Paused);
  sink.Resume();
  ASSERT_TRUE(PumpUntil([&] { return rec.done == 1; }));
  EXPECT_EQ(sink.Finishes, 1);
  EXPECT_EQ(sink.State(), TOutputState::Idle);
  // Pause and Resume outside a run do nothing.
  sink.Pause();
  EXPECT_EQ(sink.State(), TOutputState::Idle);
  sink.Resume();
}

TEST(Framework, PauseReturnsAtOnceWhileAStepIsStillRunning) {
  TSineSource source(8000, 2, 440, 60.0);
  std::mutex gate;
  std::unique_lock<std::mutex> closed(gate);
  std::atomic<bool> held{false};
  source.OnRead = [&](int index) {
    if (index != 3) return;
    held = true;
    std::lock_guard<std::mutex> wait(gate);  // a step as slow as a stalled disk
  };
  TCountingSink sink;
  Recorder rec;
  rec.Attach(sink);
  sink.SetInput(&source);
  sink.Start();
  ASSERT_TRUE(PumpUntil([&] { return held.load(); }));
  sink.Pause();  // returns although the worker is stuck inside its step
  EXPECT_EQ(sink.State(), TOutputState::Paused);
  EXPECT_FALSE(sink.PauseSettled());
  closed.unlock();
  ASSERT_TRUE(PumpUntil([&] { return sink.PauseSettled(); }));
  const int steps = sink.Steps;
  PumpFor(100);
  EXPECT_EQ(sink.Steps, steps);
  EXPECT_EQ(rec.done, 0);
  sink.Resume();
  ASSERT_TRUE(PumpUntil([&] { return rec.done == 1; }));
  EXPECT_EQ(sink.BytesRead, source.Frames * 4);
}

TEST(Framework, PauseFromTheProgressHandlerStopsBeforeTheNextStep) {
  TSineSource source(8000, 2, 440, 30.0);
  TCountingSink sink;
  Recorder rec;
  rec.Attach(sink);
  std::atomic<int> stepsAtPause{-1};
  sink.OnProgress = [&](TComponent*) {
    if (stepsAtPause < 0 && sink.ProgressPercent() >= 10) {
      sink.Pause();  // the worker waits for this handler: Pause must not wait for it
      stepsAtPause = sink.Steps.load();
    }
  };
  sink.SetInput(&source);
  sink.Start();
  ASSERT_TRUE(PumpUntil([&] { return stepsAtPause >= 0; }));
  PumpFor(100);
  EXPECT_EQ(sink.Steps, stepsAtPause);
  sink.Resume();
  ASSERT_TRUE(PumpUntil([&] { return rec.done == 1; }));
  EXPECT_EQ(sink.BytesRead, source.Frames * 4);
}

TEST(Framework, StartInsideAndRightAfterOnDoneBeginsTheNextRun) {
  TSineSource source(8000, 2, 440, 0.3);
  TCountingSink sink;
  std::atomic<int> done{0};
  sink.OnDone = [&](TComponent*) {
    if (++done < 5) sink.Start();
  };
  sink.SetInput(&source);
  sink.Start();
  ASSERT_TRUE(PumpUntil([&] { return done == 5; }));
  EXPECT_EQ(sink.Prepares, 5);
  EXPECT_EQ(sink.BytesRead, 5 * source.Frames * 4);

  // Start issued from the test thread as soon as OnDone has returned, before the worker went idle.
  sink.OnDone = [&](TComponent*) { ++done; };
  for (int run = 0; run < 20; ++run) {
    const int before = done;
    sink.Start();
    ASSERT_TRUE(PumpUntil([&] { return done == before + 1; })) << "run " << run;
  }
  EXPECT_EQ(sink.Finishes, 25);
  EXPECT_EQ(sink.BytesRead, 25 * source.Frames * 4);
}

TEST(Framework, LastProgressCarriesOverToTheNextRun) {
  TSineSource source(8000, 2, 440, 1.0);
  TCountingSink sink;
  Recorder rec;
  rec.Attach(sink);
  sink.SetInput(&source);
  sink.Start();
  ASSERT_TRUE(PumpUntil([&] { return rec.done == 1; }));
  ASSERT_FALSE(rec.progress.empty());
  EXPECT_GT(rec.progress.front(), 0);  // 0 equals the initial LastProgress: not reported
  const size_t firstRun = rec.progress.size();
  sink.Start();
  ASSERT_TRUE(PumpUntil([&] { return rec.done == 2; }));
  ASSERT_GT(rec.progress.size(), firstRun);
  EXPECT_EQ(rec.progress[firstRun], 0);  // differs from the 100 the first run ended with
}

TEST(Framework, ErrorsInStepsFinaliseAndReportOnceWithoutDone) {
  const char* expected[] = {"Step failed", "Standard failure", "Unknown error"};
  for (int kind = 0; kind < 3; ++kind) {
    TSineSource source(8000, 2, 440, 10.0);
    TCountingSink sink;
    Recorder rec;
    rec.Attach(sink);
    sink.ThrowAtStep = 3;
    sink.ThrowKind = kind;
    sink.SetInput(&source);
    sink.Start();
    ASSERT_TRUE(PumpUntil([&] { return rec.errors == 1; }));
    PumpFor(50);
    EXPECT_EQ(rec.errors, 1);
    EXPECT_EQ(rec.done, 0);
    EXPECT_EQ(rec.messages[0], expected[kind]);
    EXPECT_NE(rec.errorThreads[0], std::this_thread::get_id());  // reported on the worker
    EXPECT_EQ(sink.Finishes, 1);
    EXPECT_EQ(sink.State(), TOutputState::Idle);
    EXPECT_FALSE(source.Busy);
    EXPECT_FALSE(sink.InputLock);
    // The sink runs again after an error.
    sink.ThrowAtStep = 0;
    sink.Start();
    ASSERT_TRUE(PumpUntil([&] { return rec.done == 1; }));
  }
}

TEST(Framework, AFailedFinishIsReportedOnceWithoutDoneAndNotFinishedTwice) {
  TSineSource source(8000, 2, 440, 1.0);
  TCountingSink sink;
  Recorder rec;
  rec.Attach(sink);
  sink.ThrowInFinish = true;
  sink.SetInput(&source);
  source.OpenSource();  // the run's own open, as the conversion run holds it
  sink.Start();
  ASSERT_TRUE(PumpUntil([&] { return rec.errors == 1; }));
  PumpFor(50);
  EXPECT_EQ(rec.errors, 1);
  EXPECT_EQ(rec.done, 0);
  EXPECT_EQ(rec.messages[0], "Finish failed");
  EXPECT_NE(rec.errorThreads[0], std::this_thread::get_id());
  // Finished once: a second finish would end the input's read twice and close the run's own open.
  EXPECT_EQ(sink.Finishes, 1);
  EXPECT_EQ(source.OpenCount, 1);
  EXPECT_FALSE(source.Busy);
  EXPECT_EQ(sink.State(), TOutputState::Idle);
  source.CloseSource();
  sink.ThrowInFinish = false;
  sink.Start();
  ASSERT_TRUE(PumpUntil([&] { return rec.done == 1; }));
  EXPECT_EQ(rec.errors, 1);
}

TEST(Framework, ReaderErrorIsReportedThroughTheErrorPath) {
  TSineSource source(8000, 2, 440, 10.0);
  source.OnRead = [](int index) {
    if (index == 4) throw Exception("Read failed");
  };
  TCountingSink sink;
  Recorder rec;
  rec.Attach(sink);
  sink.SetInput(&source);
  sink.Start();
  ASSERT_TRUE(PumpUntil([&] { return rec.errors == 1; }));
  EXPECT_EQ(rec.messages[0], "Read failed");
  EXPECT_EQ(sink.Finishes, 1);
  EXPECT_FALSE(sink.InputLock);
}

TEST(Framework, PrepareFailureReachesOnThreadExceptionOnly) {
  TSineSource source(8000, 2, 440, 1.0);
  TCountingSink sink;
  Recorder rec;
  rec.Attach(sink);
  sink.ThrowInPrepare = true;
  sink.SetInput(&source);
  EXPECT_NO_THROW(sink.Start());
  EXPECT_EQ(rec.errors, 1);
  EXPECT_EQ(rec.messages[0], "Prepare failed");
  EXPECT_EQ(rec.errorThreads[0], std::this_thread::get_id());
  EXPECT_EQ(sink.State(), TOutputState::Idle);
  PumpFor(50);
  EXPECT_EQ(rec.done, 0);
  EXPECT_EQ(sink.Finishes, 0);  // nothing was running, so nothing is finalised

  // Without a handler nothing at all is reported.
  sink.OnThreadException = nullptr;
  EXPECT_NO_THROW(sink.Start());
  PumpFor(30);
  EXPECT_EQ(rec.errors, 1);
  EXPECT_EQ(rec.done, 0);
}

TEST(Framework, DestroyedInputIsClearedFromSinkAndConverter) {
  TCountingSink sink;
  auto source = std::make_unique<TSineSource>(8000, 2, 440, 1.0);
  sink.SetInput(source.get());
  EXPECT_EQ(sink.Input(), source.get());
  source.reset();
  EXPECT_EQ(sink.Input(), nullptr);

  struct PassThrough : TSndConverter {
    ~PassThrough() override { NotifyDestruction(); }
    int32_t SampleBits() override { return 16; }
    int32_t ChannelCount() override { return 2; }
    int32_t SamplesPerSecond() override { return 8000; }
    int32_t ReadData(void*, int32_t) override { return 0; }
    void BeginRead() override {}
    void EndRead() override {}
  };
  PassThrough converter;
  auto inner = std::make_unique<TSineSource>(8000, 2, 440, 1.0);
  converter.SetInput(inner.get());
  converter.SetInput(&converter);  // refused
  EXPECT_EQ(converter.Input(), inner.get());
  inner.reset();
  EXPECT_EQ(converter.Input(), nullptr);

  // A sink destroyed first unlinks itself from its source.
  TSineSource outliving(8000, 2, 440, 1.0);
  {
    TCountingSink shortLived;
    shortLived.SetInput(&outliving);
  }
}

TEST(Framework, InputDestroyedDuringARunEndsTheRun) {
  auto source = std::make_unique<TSineSource>(8000, 2, 440, 60.0);
  std::atomic<bool> started{false};
  source->OnRead = [&](int index) {
    if (index == 3) started = true;
  };
  TCountingSink sink;
  Recorder rec;
  rec.Attach(sink);
  sink.SetInput(source.get());
  sink.Start();
  ASSERT_TRUE(PumpUntil([&] { return started.load(); }));
  source.reset();  // waits for the read in progress, then the sink has no input
  ASSERT_TRUE(PumpUntil([&] { return rec.done == 1; }));
  EXPECT_EQ(sink.Input(), nullptr);
  EXPECT_EQ(sink.Finishes, 1);
}

TEST(Framework, InputSwappedDuringARun) {
  TSineSource first(8000, 2, 440, 60.0), second(8000, 2, 880, 1.0);
  std::atomic<bool> started{false};
  first.OnRead = [&](int index) {
    if (index == 3) started = true;
  };
  TCountingSink sink;
  Recorder rec;
  rec.Attach(sink);
  sink.SetInput(&first);
  sink.Start();
  ASSERT_TRUE(PumpUntil([&] { return started.load(); }));
  sink.SetInput(&second);
  EXPECT_FALSE(first.Busy);
  EXPECT_EQ(first.OpenCount, 0);
  ASSERT_TRUE(PumpUntil([&] { return rec.done == 1; }));
  EXPECT_EQ(second.Position, second.Frames * 4);
  EXPECT_FALSE(second.Busy);
}

TEST(Framework, DestructionWhileRunningPausedOrWaitingForTheOwner) {
  for (int state = 0; state < 3; ++state) {
    // 409600 bytes: the first 4096-byte step already moves the percentage.
    TSineSource source(8000, 2, 440, state == 2 ? 12.8 : 600.0);
    std::atomic<bool> started{false};
    source.OnRead = [&](int index) {
      if (index == 3) started = true;
    };
    auto sink = std::make_unique<TCountingSink>();
    std::atomic<int> done{0}, progress{0};
    sink->OnDone = [&](TComponent*) { ++done; };
    sink->SetInput(&source);
    if (state == 2) sink->OnProgress = [&](TComponent*) { ++progress; };
    sink->Start();
    if (state == 2) {
      // Never pumped: after its first step the worker waits for this thread to run OnProgress.
      while (source.Reads < 1) std::this_thread::yield();
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    } else {
      ASSERT_TRUE(PumpUntil([&] { return started.load(); }));
    }
    if (state == 1) {
      // Pause lets the step in progress end; only then does the read count hold.
      sink->Pause();
      ASSERT_TRUE(PumpUntil([&] { return sink->PauseSettled(); }));
    }
    const int reads = source.Reads;
    sink.reset();
    EXPECT_EQ(done, 0) << "state " << state;
    EXPECT_EQ(progress, 0) << "state " << state;
    if (state != 0) {
      EXPECT_EQ(source.Reads, reads) << "state " << state;
    }
    EXPECT_FALSE(source.Busy) << "the run was finalised";
    const int after = source.Reads;
    PumpFor(30);
    EXPECT_EQ(source.Reads, after);
  }
}

TEST(Framework, IdleWorkerThatDoesNotHaltStillRuns) {
  TSineSource source(8000, 2, 440, 0.5);
  TCountingSink sink;
  Recorder rec;
  rec.Attach(sink);
  sink.SetSuspendWhenIdle(false);
  EXPECT_FALSE(sink.SuspendWhenIdle());
  sink.SetInput(&source);
  for (int run = 1; run <= 3; ++run) {
    sink.Start();
    ASSERT_TRUE(PumpUntil([&] { return rec.done == run; }));
  }
  PumpFor(50);
  EXPECT_EQ(rec.done, 3);
  EXPECT_EQ(sink.Finishes, 3);
}

TEST(Framework, OnDoneArrivesThroughTheEventLoopAndModalLoops) {
  int argc = 1;
  char name[] = "test";
  char* argv[] = {name, nullptr};
  QCoreApplication app(argc, argv);
  TSineSource source(8000, 2, 440, 0.5);
  TCountingSink sink;
  std::atomic<int> done{0}, progress{0};
  sink.SetInput(&source);
  sink.OnProgress = [&](TComponent*) { ++progress; };

  // Like the progress window: its own modal loop, OnDone arms a timer that starts the next run.
  QEventLoop dialog;
  sink.OnDone = [&](TComponent*) {
    if (++done < 3) {
      QTimer::singleShot(100, &dialog, [&] { sink.Start(); });
    } else {
      dialog.quit();
    }
  };
  sink.Start();
  QTimer::singleShot(60000, &dialog, &QEventLoop::quit);
  dialog.exec();
  EXPECT_EQ(done, 3);
  EXPECT_GT(progress, 0);

  // A message box opened while the run goes on: OnDone arrives inside the box's own loop.
  std::atomic<bool> boxOpen{false};
  bool doneInsideBox = false;
  QEventLoop* box = nullptr;
  source.OnRead = [&](int index) {
    if (index == 2) {
      while (!boxOpen) std::this_thread::yield();
    }
  };
  sink.OnDone = [&](TComponent*) {
    ++done;
    doneInsideBox = box != nullptr;
    if (box) box->quit();
  };
  QTimer::singleShot(0, &dialog, [&] {
    QEventLoop loop;
    box = &loop;
    boxOpen = true;
    QTimer::singleShot(60000, &loop, &QEventLoop::quit);
    loop.exec();
    box = nullptr;
    dialog.quit();
  });
  sink.Start();
  dialog.exec();
  EXPECT_EQ(done, 4);
  EXPECT_TRUE(doneInsideBox);
}

TEST(Framework, SinkMadeBeforeTheApplicationStillGetsItsCallsFromTheEventLoop) {
  TSineSource source(8000, 2, 440, 0.5);
  TCountingSink sink;
  sink.SetInput(&source);
  int argc = 1;
  char name[] = "test";
  char* argv[] = {name, nullptr};
  QCoreApplication app(argc, argv);
  QEventLoop loop;
  std::atomic<int> done{0};
  sink.OnDone = [&](TComponent*) {
    ++done;
    loop.quit();
  };
  sink.Start();
  QTimer::singleShot(60000, &loop, &QEventLoop::quit);
  loop.exec();
  EXPECT_EQ(done, 1);
}

TEST(Framework, ProgressPercentRoundsHalfToEvenWithoutClamping) {
  TCountingSink sink;
  EXPECT_EQ(sink.ProgressPercent(), 0);
  TSineSource source(8000, 2, 440, 1.0);
  sink.SetInput(&source);
  source.Size = -1;
  EXPECT_EQ(sink.ProgressPercent(), -1);
  source.Size = 0;
  source.Position = 10;
  EXPECT_EQ(sink.ProgressPercent(), 0);
  source.Size = 8;
  source.Position = 1;  // 12.5
  EXPECT_EQ(sink.ProgressPercent(), 12);
  source.Position = 3;  // 37.5
  EXPECT_EQ(sink.ProgressPercent(), 38);
  source.Position = 12;  // more than Size
  EXPECT_EQ(sink.ProgressPercent(), 150);
  source.Size = int64_t(3) << 31;  // beyond 32 bits
  source.Position = int64_t(3) << 30;
  EXPECT_EQ(sink.ProgressPercent(), 50);
}

TEST(Framework, FileSourceBookkeeping) {
  TSineSource source(8000, 1, 440, 2.5);  // 40000 bytes
  EXPECT_EQ(source.SampleBits(), 16);     // a query opens and closes again
  EXPECT_EQ(source.RealOpens, 1);
  EXPECT_EQ(source.RealCloses, 1);
  EXPECT_EQ(source.OpenCount, 0);
  EXPECT_EQ(source.TotalSeconds(), 2);  // 2.5 rounds to even
  source.Frames = 8000 * 7 / 2;
  EXPECT_EQ(source.TotalSeconds(), 4);  // 3.5
  EXPECT_EQ(source.OpenCount, 0);

  source.OpenSource();
  source.OpenSource();
  const int opens = source.RealOpens;
  source.CloseSource();
  EXPECT_EQ(source.OpenCount, 1);
  EXPECT_EQ(source.RealCloses, opens - 1);
  EXPECT_EQ(source.ChannelCount(), 1);
  EXPECT_EQ(source.RealOpens, opens);  // nested queries cost nothing
  source.CloseSource();
  EXPECT_EQ(source.RealCloses, opens);
  source.CloseSource();  // never below zero
  EXPECT_EQ(source.OpenCount, 0);

  source.BeginRead();
  try {
    source.BeginRead();
    ADD_FAILURE();
  } catch (const ESndException& e) {
    EXPECT_STREQ(e.what(), "The component is Busy");
  }
  source.EndRead();
  EXPECT_FALSE(source.Busy);

  source.StartSample = 100;
  source.EndSample = 600;
  source.BeginRead();
  EXPECT_EQ(source.Size, 500 * 2);
  EXPECT_EQ(source.SeekTarget, 100);
  EXPECT_EQ(source.BlockPos, 1);
  EXPECT_EQ(source.BlockEnd, 0);
  source.ForceIdle();
  EXPECT_FALSE(source.Busy);
  EXPECT_EQ(source.OpenCount, 0);

  TSineSource unnamed(8000, 2, 440, 1.0);
  unnamed.FileName.clear();
  try {
    unnamed.BeginRead();
    ADD_FAILURE();
  } catch (const ESndException& e) {
    EXPECT_STREQ(e.what(), "The file name is not assigned");
  }

  // A source with no format reports 0 seconds and is closed again.
  TSineSource empty(0, 0, 440, 1.0);
  EXPECT_EQ(empty.TotalSeconds(), 0);
  EXPECT_EQ(empty.OpenCount, 0);
  EXPECT_EQ(empty.RealOpens, empty.RealCloses);
}

TEST(Framework, FileSinkOnlyRewrites) {
  struct FileSink : TSndFileOut {
    ~FileSink() override { TerminateWorker(); }
    void PrepareOutput() override {}
    bool WriteStep(bool) override { return false; }
    void FinishOutput() override {}
  } sink;
  EXPECT_EQ(sink.FileMode(), foRewrite);
  sink.SetFileMode(foAppend);
  EXPECT_EQ(sink.FileMode(), foRewrite);
}

}  // namespace
