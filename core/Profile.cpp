#include "Profile.h"

#include <QDir>
#include <QFileInfo>

std::string ProgramDir;
std::string RegistryKey;
std::string HelpFile;
std::string OpenFilter;
std::string TipsFile;
std::string ApplicationTitle;

const char* const MakerCredit = "Zarnok Software";

std::string FolderPart(const std::string& path) {
  const auto slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string FileNamePart(const std::string& path) {
  const auto slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string DataFilePath(const std::string& fileName) {
  const std::string beside = ProgramDir + fileName;
  if (QFileInfo::exists(QString::fromStdString(beside))) return beside;
  const QString installed =
      QDir::cleanPath(QString::fromStdString(ProgramDir + "../share/tolvane/" + fileName));
  if (QFileInfo::exists(installed)) return installed.toStdString();
  return beside;
}

void SetProgramDir(const std::string& executablePath) { ProgramDir = FolderPart(executablePath); }

void AssignProductProfile() {
  RegistryKey = "Software\\Zarnok\\Tolvane";
  HelpFile = "tolvane.html";
  OpenFilter =
      "All available Files|*.rm;*.rma;*.ra;*.rmvb|Real Meida Files(*.rm;*.rma;*.ra;*.rmvb)|*.rm;*.rma;*."
      "ra;*.rmvb";
  TipsFile = "tips-rm.txt";
}

void SetApplicationTitle() { ApplicationTitle = "Tolvane"; }
