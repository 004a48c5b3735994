#pragma once
// Runs the built tolvane-convert as a script would, with a settings folder of its own, and reads what
// it tells: the exit status, the JSON lines of standard output and standard error.
#include <QJsonObject>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>
#include <map>
#include <ostream>
#include <string>
#include <vector>

struct CliResult {
  int exitCode = -1;  // -1 when it did not end normally
  std::string out, err;
  // The JSON lines by input; a line that does not parse, or a second line for an input, fails the test.
  std::map<std::string, QJsonObject> Lines() const;
};

class CliRunner {
 public:
  static QString Program();  // the built tolvane-convert
  QProcessEnvironment Environment() const;
  std::string ConfigHome() const { return config_.path().toStdString(); }
  void Start(QProcess& process, const QStringList& arguments) const;
  CliResult Run(const QStringList& arguments) const;

 private:
  QTemporaryDir config_;
};

// Every file under root, hidden ones included, relative to it and sorted.
QStringList FilesUnder(const std::string& root);
QStringList ToQt(const std::vector<std::string>& texts);
void PrintTo(const QStringList& texts, std::ostream* out);
