#include "WalkedLayouts.h"

#include <algorithm>
#include <mutex>
#include <vector>

namespace {

// A few files: the one being converted, the ones being added, a rewind's.
constexpr std::size_t kKept = 4;
// A file changed within the same tick of the file system's clock as an earlier change keeps its
// time stamps: only a layout walked well after the file's last change is kept.
constexpr int64_t kSettledNs = 100 * 1000 * 1000;

struct Entry {
  FileStamp stamp;
  std::shared_ptr<WalkedLayout> layout;
};

std::mutex mutex;
std::vector<Entry> entries;  // the most recently used last

int64_t Nanoseconds(const timespec& t) { return int64_t{t.tv_sec} * 1000000000 + t.tv_nsec; }

}  // namespace

std::shared_ptr<WalkedLayout> FindWalkedLayout(const FileStamp& stamp) {
  const std::lock_guard<std::mutex> lock(mutex);
  for (auto it = entries.begin(); it != entries.end(); ++it) {
    if (it->stamp == stamp) {
      Entry found = *it;
      entries.erase(it);
      entries.push_back(found);
      return found.layout;
    }
  }
  return nullptr;
}

void KeepWalkedLayout(const FileStamp& stamp, const timespec& walkStarted,
                      std::shared_ptr<WalkedLayout> layout) {
  const int64_t lastChange = std::max(Nanoseconds(stamp.modified), Nanoseconds(stamp.changed));
  if (Nanoseconds(walkStarted) - lastChange < kSettledNs) return;
  const std::lock_guard<std::mutex> lock(mutex);
  for (auto it = entries.begin(); it != entries.end(); ++it) {
    if (it->stamp == stamp) {
      entries.erase(it);
      break;
    }
  }
  if (entries.size() >= kKept) entries.erase(entries.begin());
  entries.push_back({stamp, std::move(layout)});
}
