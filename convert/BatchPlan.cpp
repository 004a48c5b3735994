#include "convert/BatchPlan.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <set>
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

class Planner {
 public:
  Planner(const TBatchOptions& options) : options_(options) {}

  void AddFile(const std::string& source, const std::string& folder) {
    struct stat info {};
    if (stat(source.c_str(), &info) != 0) {
      AddProblem(source, "The file " + Quoted(source) + " cannot be opened (" + std::strerror(errno) + ").");
      return;
    }
    // A FIFO or a device would block the probe or read without end.
    if (!S_ISREG(info.st_mode)) {
      AddProblem(source, "The file " + Quoted(source) + " is not a regular file.");
      return;
    }
    // One job per file, however often it was named.
    if (!seen_.insert({info.st_dev, info.st_ino}).second) return;
    TBatchJob job;
    job.Source = source;
    const auto isTaken = [this](const std::string& path) { return taken_.count(path) != 0; };
    job.Output = options_.Existing == TExistingOutput::Number
                     ? UniqueOutputPath(folder, source, ".mp3", isTaken)
                     : NumberedPastRun(folder, source, taken_);
    taken_.insert(job.Output);
    struct stat existing {};
    const bool exists = stat(job.Output.c_str(), &existing) == 0;
    if (exists && existing.st_dev == info.st_dev && existing.st_ino == info.st_ino) {
      job.Problem = "The MP3 file " + Quoted(job.Output) + " would replace its own input.";
    } else if (options_.Existing == TExistingOutput::Skip) {
      job.Skip = Exists(job.Output);
    }
    job.Replace = options_.Existing == TExistingOutput::Overwrite;
    jobs.push_back(std::move(job));
  }

  void AddProblem(const std::string& source, const std::string& problem) {
    TBatchJob job;
    job.Source = source;
    job.Problem = problem;
    jobs.push_back(std::move(job));
  }

  std::vector<TBatchJob> jobs;

 private:
  const TBatchOptions& options_;
  std::set<std::pair<dev_t, ino_t>> seen_;
  std::set<std::string> taken_;
};

}  // namespace

std::vector<TBatchJob> PlanBatch(const TBatchOptions& options, const std::vector<std::string>& extensions) {
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
      planner.AddProblem(folder, "The folder " + Quoted(folder) + " cannot be read.");
  }
  return std::move(planner.jobs);
}
