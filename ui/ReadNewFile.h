#pragma once
// Reading a file the user adds: the media probe runs on a thread of its own while the window stays
// alive, a file that cannot be used is reported, and the new task goes through the task editor (or,
// for the rest of a batch with the same settings, straight into the task list).
#include <cstdint>
#include <functional>
#include <string>
#include <thread>

// The caller has set ProbeFile = path, ProbeForNewTask = true, ProbeDone = false, ProbeResult = -1.
// True when a task was appended to Tasks (checked). Runs on the user-interface thread.
bool ReadNewFile(const std::string& path, bool sameSettings);

// What became of one file of a batch: added; skipped because it cannot be read or has no audio (its
// message has been shown, the batch goes on); or the user cancelled its editor, or no probe thread
// could be made (the batch ends).
enum class TReadOutcome { Added, Skipped, Cancelled };
TReadOutcome ReadNewFileOutcome(const std::string& path, bool sameSettings);
// The same for a file of an added folder tree, whose batch gathers the files it cannot use into one
// message: quiet, such a file opens no message and its ProbeResult (1 cannot be read, 2 no audio stream)
// is left in reason. With ProbeOutputFolder set, the editor keeps a new input's output in that folder and
// takes it though it does not exist yet (the run makes it).
TReadOutcome ReadNewFileOutcome(const std::string& path, bool sameSettings, bool quiet, int32_t* reason);

// Runs ProbeMedia on a thread of its own while this (the user-interface) thread goes on handling the
// windows' events, and returns once it has ended. The caller has set the reading state. False when no
// thread could be made: the message has been shown and ProbeDone is true again.
bool ProbeOffTheWindowThread();

// How the probe thread is made. Like std::thread, it throws std::system_error when the system refuses a
// thread; a test installs one that does, nullptr restores the real one.
using TProbeThreadFactory = std::thread (*)(std::function<void()> body);
void SetProbeThreadFactory(TProbeThreadFactory factory);
