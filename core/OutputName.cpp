#include "OutputName.h"

#include <sys/stat.h>

#include "Profile.h"
#include "Settings.h"
#include "TaskList.h"

namespace {

bool PathExists(const std::string& path) {
  struct stat info {};
  return ::lstat(path.c_str(), &info) == 0;
}

std::string WithExtension(const std::string& fileName, const std::string& ext) {
  const auto dot = fileName.rfind('.');
  return (dot == std::string::npos ? fileName : fileName.substr(0, dot)) + ext;
}

}  // namespace

std::string FileNameWithoutExtension(const std::string& path) {
  return WithExtension(FileNamePart(path), "");
}

std::string UniqueOutputName(const std::string& ext) {
  const std::string fileName = FileNamePart(CurrentTask.SourceFile);
  const std::string& folder = DefaultSettings.OutputFileDir;
  std::string candidate = folder + WithExtension(fileName, ext);
  for (int n = 2; PathExists(candidate) || IsOutputNameTaken(candidate); ++n) {
    candidate = folder + WithExtension(fileName, "(" + std::to_string(n) + ")" + ext);
  }
  return candidate;
}

void ApplyOutputFolderRule() {
  if (DefaultSettings.OutputFileDir.empty() ||
      DefaultSettings.OutputFileDir == DefaultSettings.InputFileDir) {
    DefaultSettings.OutputFileDir = FolderPart(CurrentTask.SourceFile);
  }
}
