#include "tests/install/InstallTools.h"

#include <QDir>
#include <QFile>
#include <QTextStream>

ToolResult RunTool(const QString& program, const QStringList& arguments,
                   const QProcessEnvironment& environment, int timeoutMs) {
  ToolResult result;
  QProcess process;
  process.setProcessEnvironment(environment);
  process.setProcessChannelMode(QProcess::MergedChannels);
  process.start(program, arguments);
  result.started = process.waitForStarted(10000);
  if (!result.started) return result;
  if (!process.waitForFinished(timeoutMs)) {
    process.kill();
    process.waitForFinished(5000);
  }
  result.output = QString::fromUtf8(process.readAll());
  if (process.exitStatus() == QProcess::NormalExit) result.exitCode = process.exitCode();
  return result;
}

QString BuildDir() { return QStringLiteral(TOLVANE_BUILD_DIR); }
QString ProjectVersion() { return QStringLiteral(TOLVANE_VERSION); }
QString CMakeProgram() { return QStringLiteral(TOLVANE_CMAKE); }
QString CPackProgram() { return QStringLiteral(TOLVANE_CPACK); }

InstalledTree::InstalledTree() {
  if (!dir_.isValid() || !QDir(dir_.path()).mkdir("install prefix")) return;
  const ToolResult install = RunTool(CMakeProgram(), {"--install", BuildDir(), "--prefix", Prefix()});
  log_ = install.output;
  installed_ = install.exitCode == 0;
}

QString InstalledTree::Prefix() const { return dir_.path() + "/install prefix"; }
QString InstalledTree::Path(const QString& relative) const { return Prefix() + "/" + relative; }

QMap<QString, QString> ReadDesktopEntry(const QString& path) {
  QMap<QString, QString> keys;
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) return keys;
  QTextStream in(&file);
  bool inEntry = false;
  while (!in.atEnd()) {
    const QString line = in.readLine().trimmed();
    if (line.isEmpty() || line.startsWith('#')) continue;
    if (line.startsWith('[')) {
      inEntry = line == "[Desktop Entry]";
      continue;
    }
    const int equals = line.indexOf('=');
    if (inEntry && equals > 0) keys.insert(line.left(equals).trimmed(), line.mid(equals + 1).trimmed());
  }
  return keys;
}

QStringList DesktopList(const QString& value) { return value.split(';', Qt::SkipEmptyParts); }

void PrintTo(const QString& text, std::ostream* out) { *out << '"' << text.toStdString() << '"'; }

void PrintTo(const QStringList& texts, std::ostream* out) {
  *out << "{ " << texts.join(", ").toStdString() << " }";
}
