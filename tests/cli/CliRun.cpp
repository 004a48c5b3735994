#include "tests/cli/CliRun.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QDirIterator>
#include <QJsonDocument>

#include "tests/support/TestEnvironment.h"

std::vector<QJsonObject> CliResult::Lines() const {
  std::vector<QJsonObject> lines;
  for (const QByteArray& line : QByteArray::fromStdString(out).split('\n')) {
    if (line.isEmpty()) continue;
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(line, &error);
    EXPECT_EQ(error.error, QJsonParseError::NoError) << line.toStdString();
    EXPECT_TRUE(document.isObject()) << line.toStdString();
    lines.push_back(document.object());
  }
  return lines;
}

std::map<std::string, std::string> CliResult::Outcomes() const {
  std::map<std::string, std::string> outcomes;
  for (const QJsonObject& line : Lines()) {
    const std::string input = line["input"].toString().toStdString();
    EXPECT_TRUE(outcomes.emplace(input, line["outcome"].toString().toStdString()).second)
        << "twice: " << input;
  }
  return outcomes;
}

CliRunner::CliRunner() = default;

QString CliRunner::Program() { return QString::fromStdString(BinDir() + "/tolvane-convert"); }

QProcessEnvironment CliRunner::Environment() const {
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.insert("XDG_CONFIG_HOME", config_.path());
  return environment;
}

void CliRunner::Start(QProcess& process, const QStringList& arguments) const {
  process.setProcessEnvironment(Environment());
  process.start(Program(), arguments);
  EXPECT_TRUE(process.waitForStarted(10000)) << Program().toStdString();
}

CliResult CliRunner::Run(const QStringList& arguments, int timeoutMs) const {
  QProcess process;
  Start(process, arguments);
  const bool ended = process.waitForFinished(timeoutMs);
  EXPECT_TRUE(ended) << "still running: " << arguments.join(' ').toStdString();
  if (!ended) {
    process.kill();
    process.waitForFinished(5000);
  }
  CliResult result;
  result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
  result.out = process.readAllStandardOutput().toStdString();
  result.err = process.readAllStandardError().toStdString();
  return result;
}

QStringList FilesUnder(const std::string& root) {
  const QString top = QString::fromStdString(root);
  QStringList files;
  QDirIterator it(top, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
  while (it.hasNext()) files << QDir(top).relativeFilePath(it.next());
  files.sort();
  return files;
}

QStringList ToQt(const std::vector<std::string>& texts) {
  QStringList list;
  for (const std::string& text : texts) list << QString::fromStdString(text);
  return list;
}

void PrintTo(const QString& text, std::ostream* out) { *out << '"' << text.toStdString() << '"'; }

void PrintTo(const QStringList& texts, std::ostream* out) { *out << "{ " << texts.join(", ").toStdString() << " }"; }
