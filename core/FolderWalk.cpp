#include "core/FolderWalk.h"

#include <dirent.h>
#include <sys/stat.h>

#include <QString>
#include <algorithm>
#include <memory>
#include <set>
#include <utility>

#include "core/TextUtils.h"

namespace {

struct DirCloser {
  void operator()(DIR* dir) const { ::closedir(dir); }
};
using DirHandle = std::unique_ptr<DIR, DirCloser>;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Compares digit runs by value: shorter without leading zeros is smaller; equal values tie (0).
int CompareNumbers(const std::string& a, size_t& i, const std::string& b, size_t& j) {
  size_t ia = i, jb = j;
  while (ia < a.size() && a[ia] == '0') ++ia;
  while (jb < b.size() && b[jb] == '0') ++jb;
  size_t ea = ia, eb = jb;
  while (ea < a.size() && IsDigit(a[ea])) ++ea;
  while (eb < b.size() && IsDigit(b[eb])) ++eb;
  int result = 0;
  if (ea - ia != eb - jb) {
    result = ea - ia < eb - jb ? -1 : 1;
  } else {
    const int c = a.compare(ia, ea - ia, b, jb, eb - jb);
    result = c < 0 ? -1 : (c > 0 ? 1 : 0);
  }
  i = ea;
  j = eb;
  return result;
}

// The text up to the next digit, as Unicode with case and accents folded ("Ä" sorts with "a").
QString TextRun(const std::string& s, size_t& i) {
  const size_t start = i;
  while (i < s.size() && !IsDigit(s[i])) ++i;
  const QString text =
      QString::fromUtf8(s.data() + start, qsizetype(i - start)).normalized(QString::NormalizationForm_KD);
  QString folded;
  folded.reserve(text.size());
  for (const QChar c : text)
    if (c.category() != QChar::Mark_NonSpacing) folded += c;
  return folded.toCaseFolded();
}

bool HasExtension(const std::string& name, const std::vector<std::string>& extensions) {
  const auto dot = name.rfind('.');
  if (dot == std::string::npos || dot == 0) return false;
  const QString extension = QString::fromUtf8(name.data() + dot, qsizetype(name.size() - dot));
  return std::any_of(extensions.begin(), extensions.end(), [&](const std::string& wanted) {
    return extension.compare(QString::fromStdString(wanted), Qt::CaseInsensitive) == 0;
  });
}

class Walker {
 public:
  explicit Walker(const std::vector<std::string>& extensions) : extensions_(extensions) {}

  void Walk(const std::string& folder, const std::string& subfolder, const struct stat& self) {
    // A folder met again (a bind mount of an ancestor) would repeat its files, or never end.
    if (!visited_.insert({self.st_dev, self.st_ino}).second) return;
    DirHandle dir(::opendir(folder.c_str()));
    if (!dir) {
      result.UnreadableFolders.push_back(folder);
      return;
    }
    std::vector<std::pair<std::string, struct stat>> folders;
    std::vector<std::string> files;
    while (const dirent* entry = ::readdir(dir.get())) {
      const std::string name = entry->d_name;
      if (name.empty() || name[0] == '.') continue;  // ".", ".." and hidden names
      const std::string path = folder + name;
      struct stat info {};
      if (::lstat(path.c_str(), &info) != 0) continue;
      if (S_ISDIR(info.st_mode)) {
        folders.emplace_back(name, info);
        continue;
      }
      // A link to a file is taken like the file; a link to a folder is not followed.
      if (S_ISLNK(info.st_mode) && (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode))) continue;
      if (!S_ISREG(info.st_mode) || !HasExtension(name, extensions_)) continue;
      files.push_back(name);
    }
    dir.reset();  // one open folder per level would run out of descriptors in a deep tree
    std::sort(folders.begin(), folders.end(),
              [](const auto& a, const auto& b) { return NaturalLess(a.first, b.first); });
    std::sort(files.begin(), files.end(), NaturalLess);
    for (const auto& [name, info] : folders) Walk(folder + name + "/", subfolder + name + "/", info);
    for (const std::string& name : files) result.Files.push_back({folder + name, subfolder});
  }

  TFolderWalk result;

 private:
  const std::vector<std::string>& extensions_;
  std::set<std::pair<dev_t, ino_t>> visited_;
};

}  // namespace

bool NaturalLess(const std::string& a, const std::string& b) {
  size_t i = 0, j = 0;
  while (i < a.size() && j < b.size()) {
    int c = 0;
    if (IsDigit(a[i]) && IsDigit(b[j])) {
      c = CompareNumbers(a, i, b, j);
    } else if (!IsDigit(a[i]) && !IsDigit(b[j])) {
      const QString ta = TextRun(a, i), tb = TextRun(b, j);
      // A text run ends where digits start: the shorter run is a prefix only when it is one letter-wise.
      c = ta.compare(tb);
    } else {
      // Digits sort before letters, as they do in a file manager.
      c = IsDigit(a[i]) ? -1 : 1;
    }
    if (c != 0) return c < 0;
  }
  if ((i < a.size()) != (j < b.size())) return j < b.size();
  return a < b;
}

std::vector<std::string> FilterExtensions(const std::string& openFilter) {
  std::vector<std::string> pieces;
  SplitText(openFilter, "|", pieces);
  if (pieces.size() < 2) return {};
  std::vector<std::string> patterns, extensions;
  SplitText(ReplaceAll(pieces[1], "*", ""), ";", patterns);
  for (const std::string& extension : patterns)
    if (!extension.empty()) extensions.push_back(extension);
  return extensions;
}

bool IsWalkableFolder(const std::string& path) {
  struct stat info {};
  return !path.empty() && ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

TFolderWalk WalkFolder(const std::string& folder, const std::vector<std::string>& extensions) {
  Walker walker(extensions);
  std::string top = folder;
  if (top.empty() || top.back() != '/') top += '/';
  struct stat info {};
  // The folder named by the user is walked even when it is a link: only links met inside are not.
  if (::stat(top.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
    walker.result.UnreadableFolders.push_back(top);
    return walker.result;
  }
  walker.Walk(top, "", info);
  return walker.result;
}
