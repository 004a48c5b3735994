#include "run/RunSchedule.h"

#include <algorithm>
#include <map>
#include <tuple>

TRunSchedule::TRunSchedule(const std::vector<TRunTask>& tasks, int32_t slots, int32_t cores, bool compareNow)
    : slotTask_(size_t(std::max(1, slots)), -1), cores_(cores) {
  tasks_.reserve(tasks.size());
  for (const TRunTask& task : tasks) {
    TTask entry;
    entry.TaskIndex = task.TaskIndex;
    tasks_.push_back(std::move(entry));
  }
  UpdateWaiting();
  if (!compareNow) return;
  std::vector<TOutputKey> keys;
  keys.reserve(tasks.size());
  for (const TRunTask& task : tasks) keys.push_back(OutputKeyOf(task.OutputFile));
  CompareOutputs(keys);
}

void TRunSchedule::CompareOutputs(const std::vector<TOutputKey>& keys) {
  // Outputs meet by folder and name, or by the file they already name. Within either group the tasks
  // run in turn, so a task need only wait for the one before it in each.
  using FolderName = std::tuple<bool, dev_t, ino_t, std::string>;
  std::map<FolderName, size_t> lastOfFolder;
  std::map<std::pair<dev_t, ino_t>, size_t> lastOfFile;
  for (size_t at = 0; at < tasks_.size() && at < keys.size(); ++at) {
    const TOutputKey& key = keys[at];
    TTask& entry = tasks_[at];
    entry.Before.clear();
    const FolderName folder{key.FolderKnown, key.FolderKnown ? key.Device : 0,
                            key.FolderKnown ? key.Inode : 0, key.Rest};
    if (const auto last = lastOfFolder.find(folder); last != lastOfFolder.end())
      entry.Before.push_back(last->second);
    lastOfFolder[folder] = at;
    if (key.File.Known) {
      const std::pair<dev_t, ino_t> file{key.File.Device, key.File.Inode};
      if (const auto last = lastOfFile.find(file); last != lastOfFile.end())
        entry.Before.push_back(last->second);
      lastOfFile[file] = at;
    }
  }
  compared_ = true;
}

void TRunSchedule::UpdateWaiting() {
  // Tasks that a free slot would start: a core lent to segments meanwhile would be taken from them.
  const auto freeSlots = std::count(slotTask_.begin(), slotTask_.end(), -1);
  cores_.SetWaiting(int32_t(std::min<int64_t>(int64_t(tasks_.size()) - started_, freeSlots)));
}

bool TRunSchedule::MayStart(const TTask& task) const {
  return task.State == TState::Waiting &&
         std::all_of(task.Before.begin(), task.Before.end(),
                     [this](size_t before) { return tasks_[before].State == TState::Ended; });
}

std::optional<TRunSchedule::TStart> TRunSchedule::StartNext() {
  if (!compared_) return std::nullopt;
  const auto freeSlot = std::find(slotTask_.begin(), slotTask_.end(), -1);
  if (freeSlot == slotTask_.end()) return std::nullopt;
  while (firstWaiting_ < tasks_.size() && tasks_[firstWaiting_].State != TState::Waiting) ++firstWaiting_;
  for (size_t at = firstWaiting_; at < tasks_.size(); ++at) {
    TTask& task = tasks_[at];
    if (!MayStart(task)) continue;
    task.State = TState::Running;
    *freeSlot = int32_t(at);
    ++started_;
    UpdateWaiting();
    cores_.TaskStarted();
    return TStart{int32_t(freeSlot - slotTask_.begin()), task.TaskIndex};
  }
  return std::nullopt;
}

void TRunSchedule::Ended(int32_t slot) {
  if (slot < 0 || slot >= SlotCount() || slotTask_[size_t(slot)] < 0) return;
  tasks_[size_t(slotTask_[size_t(slot)])].State = TState::Ended;
  slotTask_[size_t(slot)] = -1;
  UpdateWaiting();
  cores_.TaskEnded();
}

int32_t TRunSchedule::TaskIn(int32_t slot) const {
  if (slot < 0 || slot >= SlotCount() || slotTask_[size_t(slot)] < 0) return -1;
  return tasks_[size_t(slotTask_[size_t(slot)])].TaskIndex;
}

int32_t TRunSchedule::RunningCount() const {
  return int32_t(std::count_if(slotTask_.begin(), slotTask_.end(), [](int32_t at) { return at >= 0; }));
}
