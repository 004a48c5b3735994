#include "ui/TextLines.h"

#include <QFile>
#include <QFileInfo>

#include "probe/TextDecoding.h"

bool ReadTextLines(const std::string& path, std::vector<std::string>& lines) {
  const QString name = QString::fromStdString(path);
  // Only a regular file: a FIFO would block the read, a folder has no lines.
  if (!QFileInfo(name).isFile()) return false;
  QFile file(name);
  if (!file.open(QIODevice::ReadOnly)) return false;
  const QByteArray bytes = file.readAll();
  if (file.error() != QFileDevice::NoError) return false;
  std::vector<std::string> result;
  qsizetype start = 0;
  while (start < bytes.size()) {
    qsizetype end = bytes.indexOf('\n', start);
    const qsizetype next = end < 0 ? bytes.size() : end + 1;
    if (end < 0) end = bytes.size();
    qsizetype stop = end;
    if (stop > start && bytes[stop - 1] == '\r') --stop;
    std::string line(bytes.constData() + start, size_t(stop - start));
    for (char& c : line) {
      if (c == '\0') c = ' ';
    }
    result.push_back(TagBytesToUtf8(line));
    start = next;
  }
  lines = std::move(result);
  return true;
}
