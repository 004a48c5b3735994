#pragma once
// Running the build's own tools from a test: cmake --install into a temporary prefix, cpack, the
// desktop validators; the virtual X display for the installed program is tests/support's.
#include <QMap>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <ostream>

#include "tests/support/VirtualDisplay.h"

struct ToolResult {
  bool started = false;
  int exitCode = -1;
  QString output;  // standard output and standard error together
};

// Runs a program to its end (at most timeoutMs).
ToolResult RunTool(const QString& program, const QStringList& arguments,
                   const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment(),
                   int timeoutMs = 120000);

QString BuildDir();        // the build tree the test belongs to
QString ProjectVersion();  // the four numbers the project is built as
QString CMakeProgram();    // the cmake of this build
QString CPackProgram();    // the cpack of this build

// A temporary prefix (its name has a space, as a user's folder may) holding `cmake --install`'s result.
class InstalledTree {
 public:
  InstalledTree();
  bool Installed() const { return installed_; }
  QString Log() const { return log_; }
  QString Prefix() const;
  QString Path(const QString& relative) const;  // Prefix() + "/" + relative

 private:
  QTemporaryDir dir_;
  bool installed_ = false;
  QString log_;
};

// The keys of a desktop entry file's [Desktop Entry] group.
QMap<QString, QString> ReadDesktopEntry(const QString& path);
// A desktop entry's list value ("a;b;c;") as its items.
QStringList DesktopList(const QString& value);

// Readable texts in test failure messages.
void PrintTo(const QString& text, std::ostream* out);
void PrintTo(const QStringList& texts, std::ostream* out);
