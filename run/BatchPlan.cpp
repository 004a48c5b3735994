#include "run/BatchPlan.h"

#include <sys/stat.h>

#include <cctype>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <map>
#include <set>
#include <tuple>
#include <utility>

#include "core/FolderWalk.h"
#include "core/OutputName.h"
#include "core/Profile.h"
#include "core/TextUtils.h"
#include "run/PartFile.h"

namespace {

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

bool Exists(const std::string& path) {
  struct stat info {};
  return lstat(path.c_str(), &info) == 0;
}

bool Newer(const struct stat& a, const struct stat& b) {
  return a.st_mtim.tv_sec != b.st_mtim.tv_sec ? a.st_mtim.tv_sec > b.st_mtim.tv_sec
                                              : a.st_mtim.tv_nsec > b.st_mtim.tv_nsec;
}

// The name a walked folder keeps under -o: its last component as given ("." and ".." resolved), with
// a trailing "/"; empty for the root.
std::string OwnFolderName(const std::string& folder) {
  std::error_code error;
  const std::filesystem::path absolute = std::filesystem::absolute(folder, error);
  std::filesystem::path path = (error ? std::filesystem::path(folder) : absolute).lexically_normal();
  if (!path.has_filename()) path = path.parent_path();
  const std::string name = path.filename().string();
  return name.empty() || name == "/" ? std::string() : name + "/";
}

// The folder part a listed relative name keeps under -o ("./a/b.rm": "a/"); none for an absolute
// name or one that climbs out with "..".
std::string KeptFolder(const std::string& name) {
  const std::filesystem::path folder = std::filesystem::path(FolderPart(name)).lexically_normal();
  const std::string text = folder.string();
  if (folder.is_absolute() || text.empty() || text == "." || text == "./" || text.compare(0, 2, "..") == 0)
    return {};
  return text.back() == '/' ? text : text + "/";
}

std::string LowerCase(std::string text) {
  for (char& c : text) c = char(std::tolower(static_cast<unsigned char>(c)));
  return text;
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

std::string ClashMessage(const std::string& output, const std::string& sources) {
  return "The MP3 file " + Quoted(output) + " would be made from more than one input (" + sources +
         "); none of them is converted.";
}

class Planner {
 public:
  Planner(const TBatchInputs& inputs, const std::vector<std::string>& extensions)
      : inputs_(inputs), extensions_(extensions) {}

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
    // One task per name, however often it was named; each other name of a file (a link) is its own.
    if (!seen_.insert(KeyOf(source)).second) return;
    TEngineTask job;
    job.Task.SourceFile = source;
    std::string& output = job.Task.OutputFile;
    const bool numbered = inputs_.Existing == TExistingOutput::Number;
    if (numbered) {
      output = UniqueOutputPath(folder, source, ".mp3",
                                [this](const std::string& path) { return planned_.count(path) != 0; });
    } else {
      // From its own input alone: another input that would share the name is a clash, found below.
      output = folder + FileNameWithoutExtension(source) + ".mp3";
    }
    planned_[output].push_back(jobs.size());
    const std::string sibling = numbered ? std::string() : Sibling(source);
    const std::string tooLong = OutputNameProblem(output);
    struct stat existing {};
    if (!sibling.empty()) {
      // Its MP3 would also be its neighbour's, whether or not the neighbour is in this run.
      job.Refused = TReason::Clash;
      job.Problem = ClashMessage(output, Quoted(source) + ", " + Quoted(sibling));
    } else if (!tooLong.empty()) {
      job.Refused = TReason::NameTooLong;
      job.Problem = tooLong;
    } else if (stat(output.c_str(), &existing) == 0 && existing.st_dev == info.st_dev &&
               existing.st_ino == info.st_ino) {
      job.Refused = TReason::SameAsInput;
      job.Problem = "The MP3 file " + Quoted(output) + " would replace its own input.";
    } else {
      RecheckExisting(job, inputs_.Existing);
    }
    jobs.push_back(std::move(job));
  }

  void AddProblem(const std::string& source, TReason reason, const std::string& problem) {
    TEngineTask job;
    job.Task.SourceFile = source;
    job.Refused = reason;
    job.Problem = problem;
    jobs.push_back(std::move(job));
  }

  // With names planned from their inputs alone, one name for several inputs would let one's MP3 pass
  // for another's: none of them is converted, the same on every machine and rerun.
  void RefuseClashes() {
    if (inputs_.Existing == TExistingOutput::Number) return;
    for (const auto& [output, indices] : planned_) {
      if (indices.size() < 2) continue;
      std::string sources;
      for (const size_t i : indices)
        sources += (sources.empty() ? "" : ", ") + Quoted(jobs[i].Task.SourceFile);
      for (const size_t i : indices) {
        TEngineTask& job = jobs[i];
        if (job.Refused != TReason::None) continue;
        job.Refused = TReason::Clash;
        job.Problem = ClashMessage(output, sources);
        job.Skip = job.Replace = false;
      }
    }
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

  // Another RealMedia file in source's folder with the same name but for its extension, empty when none.
  std::string Sibling(const std::string& source) {
    const std::string folder = FolderPart(source);
    auto [names, fresh] = folders_.try_emplace(folder);
    if (fresh) {
      std::error_code error;
      for (const auto& entry : std::filesystem::directory_iterator(folder.empty() ? "." : folder, error)) {
        const std::string name = entry.path().filename().string();
        const size_t dot = name.rfind('.');
        if (dot == std::string::npos || dot == 0) continue;
        for (const std::string& extension : extensions_)
          if (LowerCase(name.substr(dot)) == LowerCase(extension)) names->second.insert(name);
      }
    }
    const std::string own = FileNamePart(source);
    const std::string stem = FileNameWithoutExtension(own);
    for (const std::string& name : names->second)
      if (name != own && name.size() > stem.size() && name.compare(0, stem.size(), stem) == 0 &&
          name[stem.size()] == '.' && name.find('.', stem.size() + 1) == std::string::npos)
        return folder + name;
    return {};
  }

  const TBatchInputs& inputs_;
  const std::vector<std::string>& extensions_;
  std::map<std::string, std::set<std::string>> folders_;  // each input folder's RealMedia files
  std::set<NameKey> seen_;
  std::map<std::string, std::vector<size_t>> planned_;  // each planned MP3 and the tasks that would write it
};

}  // namespace

bool IsFinishedMP3(const std::string& mp3, const std::string& source) {
  struct stat output {
  }, input{};
  if (stat(mp3.c_str(), &output) != 0 || !S_ISREG(output.st_mode) || output.st_size == 0) return false;
  return stat(source.c_str(), &input) != 0 || !Newer(input, output);
}

void RecheckExisting(TEngineTask& job, TExistingOutput existing) {
  if (job.Refused != TReason::None) return;
  switch (existing) {
    case TExistingOutput::Number:
      return;
    case TExistingOutput::Overwrite:
      job.Skip = false;
      job.Replace = true;
      return;
    case TExistingOutput::Skip:
      job.Skip = IsFinishedMP3(job.Task.OutputFile, job.Task.SourceFile);
      // An empty MP3, or one from before its input changed, is converted again in its place.
      job.Replace = !job.Skip && Exists(job.Task.OutputFile);
      return;
  }
}

std::vector<TEngineTask> PlanBatch(const TBatchInputs& options, const std::vector<std::string>& extensions) {
  Planner planner(options, extensions);
  std::vector<std::string> inputs = options.Inputs;
  inputs.insert(inputs.end(), options.Listed.begin(), options.Listed.end());
  for (size_t at = 0; at < inputs.size(); ++at) {
    const std::string& input = inputs[at];
    if (!IsWalkableFolder(input)) {
      const std::string kept = at >= options.Inputs.size() ? KeptFolder(input) : std::string();
      planner.AddFile(input, options.OutputDir.empty() ? FolderPart(input) : options.OutputDir + kept);
      continue;
    }
    const TFolderWalk walk = WalkFolder(input, extensions);
    const std::string tree =
        options.OutputDir.empty() ? std::string() : options.OutputDir + OwnFolderName(input);
    for (const TWalkedFile& file : walk.Files)
      planner.AddFile(file.Path, tree.empty() ? FolderPart(file.Path) : tree + file.Subfolder);
    // An unmounted share looks the same: nothing to convert is not a success.
    if (walk.Files.empty() && walk.UnreadableFolders.empty())
      planner.AddProblem(input, TReason::Missing,
                         "The folder " + Quoted(input) + " holds no RealMedia file.");
    for (const std::string& folder : walk.UnreadableFolders)
      planner.AddProblem(folder, TReason::Unreadable, "The folder " + Quoted(folder) + " cannot be read.");
  }
  planner.RefuseClashes();
  return std::move(planner.jobs);
}
