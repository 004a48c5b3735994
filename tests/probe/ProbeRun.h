#pragma once
// Runs the media probe on a file the way the main window hands a file to the reading worker.
#include <atomic>
#include <cstdint>
#include <string>

#include "core/TaskList.h"
#include "probe/ProbeMedia.h"

// Sets the reading state for path, runs ProbeMedia and returns ProbeResult; -2 when the probe
// never set ProbeDone.
inline int32_t RunProbe(const std::string& path, bool newTask = true) {
  ProbeFile = path;
  ProbeForNewTask = newTask;
  ProbeResult.store(-1);
  ProbeDone.store(false);
  ProbeMedia();
  if (!ProbeDone.load(std::memory_order_acquire)) return -2;
  return ProbeResult.load();
}
