#include "WalkedLayouts.h"

#include <algorithm>
#include <mutex>
#include <vector>

namespace {

// The multi-rate files of a run, added and then converted, within a bound on the memory they hold.
constexpr std::size_t kKept = 4096;
constexpr std::size_t kKeptBytes = 64u << 20;
// A file changed within the same tick of the file system's clock as an earlier change keeps its
// time stamps: only a layout walked well after the file's last change is kept.
constexpr int64_t kSettledNs = 100 * 1000 * 1000;

struct Entry {
  FileStamp stamp;
  std::shared_ptr<WalkedLayout> layout;
  std::size_t bytes;
};

std::mutex mutex;
std::vector<Entry> entries;  // the most recently used last
std::size_t keptBytes = 0;

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
      keptBytes -= it->bytes;
      entries.erase(it);
      break;
    }
  }
  const std::size_t bytes = layout->layout.Footprint();
  while (!entries.empty() && (entries.size() >= kKept || keptBytes + bytes > kKeptBytes)) {
    keptBytes -= entries.front().bytes;
    entries.erase(entries.begin());
  }
  keptBytes += bytes;
  entries.push_back({stamp, std::move(layout), bytes});
}
