#include "TaskList.h"

std::vector<std::unique_ptr<TTaskRecord>> Tasks;
TTaskRecord CurrentTask;

std::string ProbeFile;
bool ProbeForNewTask = false;
std::string ProbeOutputFolder;
std::atomic<bool> ProbeDone{true};
std::atomic<int32_t> ProbeResult{-1};

std::array<int32_t, BitrateCount> BitrateTable{};

void FillBitrateTable() { BitrateTable = MP3Bitrates; }

int BitrateIndex(int32_t kbps) {
  for (int i = 0; i < BitrateCount; ++i) {
    if (BitrateTable[i] == kbps) return i;
  }
  return -1;
}

void StoreTask(bool append, int index) {
  if (append) {
    Tasks.push_back(std::make_unique<TTaskRecord>(CurrentTask));
    Tasks.back()->Checked = true;
    return;
  }
  if (index < 0 || index >= static_cast<int>(Tasks.size())) return;
  *Tasks[index] = CurrentTask;
}

void DeleteTask(int index) {
  if (index < 0 || index >= static_cast<int>(Tasks.size())) return;
  Tasks.erase(Tasks.begin() + index);
}

bool IsOutputNameTaken(const std::string& path) {
  for (const auto& task : Tasks) {
    if (task->OutputFile == path) return true;
  }
  return false;
}

void FreeAllTasks() { Tasks.clear(); }
