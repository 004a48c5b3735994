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

std::string UniqueOutputPath(const std::string& folder, const std::string& sourceFile, const std::string& ext,
                             const std::function<bool(const std::string&)>& taken) {
  const std::string fileName = FileNamePart(sourceFile);
  std::string candidate = folder + WithExtension(fileName, ext);
  for (int n = 2; PathExists(candidate) || (taken && taken(candidate)); ++n) {
    candidate = folder + WithExtension(fileName, "(" + std::to_string(n) + ")" + ext);
  }
  return candidate;
}

std::string UniqueOutputName(const std::string& ext) {
  return UniqueOutputPath(DefaultSettings.OutputFileDir, CurrentTask.SourceFile, ext, &IsOutputNameTaken);
}

void ApplyOutputFolderRule() {
  if (DefaultSettings.OutputFileDir.empty() ||
      DefaultSettings.OutputFileDir == DefaultSettings.InputFileDir) {
    DefaultSettings.OutputFileDir = FolderPart(CurrentTask.SourceFile);
  }
}
