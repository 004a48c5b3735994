#pragma once
// Runs the built tolvane-convert as a script would, with a settings folder of its own, and reads what
// it tells: the exit status, the JSON lines of standard output and standard error. posix_spawn rather
// than fork (QProcess): some of these tests run worker threads, and ThreadSanitizer refuses a fork
// once threads exist.
#include <sys/types.h>

#include <QJsonObject>
#include <QStringList>
#include <QTemporaryDir>
#include <map>
#include <ostream>
#include <string>
#include <vector>

struct CliResult {
  int exitCode = -1;  // -1 when a signal ended it
  int signal = 0;     // the signal that ended it
  std::string out, err;
  // The JSON lines by input; a line that does not parse, or a second line for an input, fails the test.
  std::map<std::string, QJsonObject> Lines() const;
};

class CliRunner {
 public:
  static std::string Program();  // the built tolvane-convert
  std::string ConfigHome() const { return config_.path().toStdString(); }
  // Starts tolvane-convert with these arguments, or (shell) sh -c with the command; one at a time.
  pid_t Start(const QStringList& arguments, bool shell = false) const;
  CliResult Wait(pid_t pid) const;
  CliResult Run(const QStringList& arguments) const { return Wait(Start(arguments)); }
  CliResult Shell(const std::string& command) const {
    return Wait(Start({QString::fromStdString(command)}, true));
  }

 private:
  QTemporaryDir config_;
};

// Every file under root, hidden ones included, relative to it and sorted.
QStringList FilesUnder(const std::string& root);
QStringList ToQt(const std::vector<std::string>& texts);
void PrintTo(const QStringList& texts, std::ostream* out);
