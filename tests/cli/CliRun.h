#pragma once
// Runs the built tolvane-convert as a script would, with its own settings folder, and reads what it
// tells: the exit status, standard output (the JSON lines) and standard error.
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
  // The JSON lines of standard output, each parsed; a line that does not parse fails the test.
  std::vector<QJsonObject> Lines() const;
  // outcome by input, each input named once (a second line for an input fails the test).
  std::map<std::string, std::string> Outcomes() const;
};

class CliRunner {
 public:
  CliRunner();
  static QString Program();  // the built tolvane-convert
  QProcessEnvironment Environment() const;
  std::string ConfigHome() const { return config_.path().toStdString(); }
  // Runs the program to its end.
  CliResult Run(const QStringList& arguments, int timeoutMs = 300000) const;
  // Starts it and returns at once; the caller waits for it or ends it.
  void Start(QProcess& process, const QStringList& arguments) const;

 private:
  QTemporaryDir config_;
};

// Every file under root (hidden ones included), relative to it, sorted.
QStringList FilesUnder(const std::string& root);
QStringList ToQt(const std::vector<std::string>& texts);

// Texts in test failures read as texts.
void PrintTo(const QString& text, std::ostream* out);
void PrintTo(const QStringList& texts, std::ostream* out);
