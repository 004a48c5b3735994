#include "tests/cli/CliRun.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QDirIterator>
#include <QJsonDocument>

#include "tests/support/TestEnvironment.h"

std::map<std::string, QJsonObject> CliResult::Lines() const {
  std::map<std::string, QJsonObject> lines;
  for (const QByteArray& line : QByteArray::fromStdString(out).split('\n')) {
    if (line.isEmpty()) continue;
    QJsonParseError error;
    const QJsonObject object = QJsonDocument::fromJson(line, &error).object();
    EXPECT_EQ(error.error, QJsonParseError::NoError) << line.toStdString();
    const std::string input = object["input"].toString().toStdString();
    EXPECT_TRUE(lines.emplace(input, object).second) << "a second line for " << input;
  }
  return lines;
}

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

CliResult CliRunner::Run(const QStringList& arguments) const {
  QProcess process;
  Start(process, arguments);
  EXPECT_TRUE(process.waitForFinished(600000)) << arguments.join(' ').toStdString();
  CliResult result;
  result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
  result.out = process.readAllStandardOutput().toStdString();
  result.err = process.readAllStandardError().toStdString();
  return result;
}

QStringList FilesUnder(const std::string& root) {
  QStringList files;
  QDirIterator it(QString::fromStdString(root), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
  while (it.hasNext()) files << QDir(QString::fromStdString(root)).relativeFilePath(it.next());
  files.sort();
  return files;
}

QStringList ToQt(const std::vector<std::string>& texts) {
  QStringList list;
  for (const std::string& text : texts) list << QString::fromStdString(text);
  return list;
}

void PrintTo(const QStringList& texts, std::ostream* out) {
  *out << "{ " << texts.join(", ").toStdString() << " }";
}
