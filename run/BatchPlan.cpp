#include "run/BatchPlan.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <set>
#include <tuple>
#include <utility>

#include "core/FolderWalk.h"
#include "core/OutputName.h"
#include "core/Profile.h"
#include "core/TextUtils.h"

namespace {

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

bool Exists(const std::string& path) {
  struct stat info {};
  return lstat(path.c_str(), &info) == 0;
}

// The window's numbering, song(2).mp3 and on, past the names the run's other outputs hold only.
std::string NumberedPastRun(const std::string& folder, const std::string& source,
                            const std::set<std::string>& taken) {
  const std::string base = FileNameWithoutExtension(source);
  std::string candidate = folder + base + ".mp3";
  for (int n = 2; taken.count(candidate) != 0; ++n)
    candidate = folder + base + "(" + std::to_string(n) + ").mp3";
  return candidate;
}

// A name by its folder's identity: "a.rm", "./a.rm" and a linked folder's "a.rm" are one name.
struct NameKey {
  dev_t device = 0;
  ino_t inode = 0;
  std::string name;
  bool operator<(const NameKey& other) const {
    return std::tie(device, inode, name) < std::tie(other.device, other.inode, other.name);
  }
};

class Planner {
 public:
  Planner(const TBatchInputs& inputs) : inputs_(inputs) {}

  void AddFile(const std::string& source, const std::string& folder) {
    struct stat info {};
    if (stat(source.c_str(), &info) != 0) {
      const int error = errno;
      AddProblem(source, error == ENOENT ? TReason::Missing : TReason::Unreadable,
                 "The file " + Quoted(source) + " cannot be opened (" + std::strerror(error) + ").");
      return;
    }
    // A FIFO or a device would block the probe or read without end.
    if (!S_ISREG(info.st_mode)) {
      AddProblem(source, TReason::NotAFile, "The file " + Quoted(source) + " is not a regular file.");
      return;
    }
    // One task per name, however often it was named.
    if (!seen_.insert(KeyOf(source)).second) return;
    TEngineTask job;
    job.Task.SourceFile = source;
    const auto isTaken = [this](const std::string& path) { return taken_.count(path) != 0; };
    std::string& output = job.Task.OutputFile;
    output = inputs_.Existing == TExistingOutput::Number ? UniqueOutputPath(folder, source, ".mp3", isTaken)
                                                         : NumberedPastRun(folder, source, taken_);
    taken_.insert(output);
    struct stat existing {};
    const bool exists = stat(output.c_str(), &existing) == 0;
    if (exists && existing.st_dev == info.st_dev && existing.st_ino == info.st_ino) {
      job.Refused = TReason::SameAsInput;
      job.Problem = "The MP3 file " + Quoted(output) + " would replace its own input.";
    } else if (inputs_.Existing == TExistingOutput::Skip) {
      job.Skip = Exists(output);
    }
    job.Replace = inputs_.Existing == TExistingOutput::Overwrite;
    jobs.push_back(std::move(job));
  }

  void AddProblem(const std::string& source, TReason reason, const std::string& problem) {
    TEngineTask job;
    job.Task.SourceFile = source;
    job.Refused = reason;
    job.Problem = problem;
    jobs.push_back(std::move(job));
  }

  std::vector<TEngineTask> jobs;

 private:
  static NameKey KeyOf(const std::string& path) {
    NameKey key;
    key.name = FileNamePart(path);
    struct stat folder {};
    const std::string parent = FolderPart(path);
    if (stat(parent.empty() ? "." : parent.c_str(), &folder) == 0) {
      key.device = folder.st_dev;
      key.inode = folder.st_ino;
    } else {
      key.name = path;
    }
    return key;
  }

  const TBatchInputs& inputs_;
  std::set<NameKey> seen_;
  std::set<std::string> taken_;
};

}  // namespace

std::vector<TEngineTask> PlanBatch(const TBatchInputs& options, const std::vector<std::string>& extensions) {
  Planner planner(options);
  for (const std::string& input : options.Inputs) {
    if (!IsWalkableFolder(input)) {
      planner.AddFile(input, options.OutputDir.empty() ? FolderPart(input) : options.OutputDir);
      continue;
    }
    const TFolderWalk walk = WalkFolder(input, extensions);
    for (const TWalkedFile& file : walk.Files) {
      planner.AddFile(file.Path,
                      options.OutputDir.empty() ? FolderPart(file.Path) : options.OutputDir + file.Subfolder);
    }
    for (const std::string& folder : walk.UnreadableFolders)
      planner.AddProblem(folder, TReason::Unreadable, "The folder " + Quoted(folder) + " cannot be read.");
  }
  return std::move(planner.jobs);
}
