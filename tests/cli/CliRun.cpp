#include "tests/cli/CliRun.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>

#include <QDir>
#include <QDirIterator>
#include <QJsonDocument>
#include <cerrno>
#include <cstring>

#include "tests/support/TestEnvironment.h"

extern char** environ;

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

std::string CliRunner::Program() { return BinDir() + "/tolvane-convert"; }

pid_t CliRunner::Start(const QStringList& arguments, bool shell) const {
  std::vector<std::string> words = {shell ? "sh" : Program()};
  if (shell) words.push_back("-c");
  for (const QString& argument : arguments) words.push_back(argument.toStdString());
  std::vector<std::string> environment = {"XDG_CONFIG_HOME=" + ConfigHome()};
  for (char** variable = environ; *variable; ++variable)
    if (std::strncmp(*variable, "XDG_CONFIG_HOME=", 16) != 0) environment.push_back(*variable);
  std::vector<char*> argv, envp;
  for (std::string& word : words) argv.push_back(word.data());
  for (std::string& variable : environment) envp.push_back(variable.data());
  argv.push_back(nullptr);
  envp.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, (ConfigHome() + "/.out").c_str(),
                                   O_WRONLY | O_CREAT | O_TRUNC, 0600);
  posix_spawn_file_actions_addopen(&actions, 2, (ConfigHome() + "/.err").c_str(),
                                   O_WRONLY | O_CREAT | O_TRUNC, 0600);
  pid_t pid = -1;
  EXPECT_EQ(posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), envp.data()), 0) << argv[0];
  posix_spawn_file_actions_destroy(&actions);
  return pid;
}

CliResult CliRunner::Wait(pid_t pid) const {
  CliResult result;
  int status = 0;
  while (pid > 0 && waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  if (WIFEXITED(status)) result.exitCode = WEXITSTATUS(status);
  if (WIFSIGNALED(status)) result.signal = WTERMSIG(status);
  result.out = ReadWholeFile(ConfigHome() + "/.out");
  result.err = ReadWholeFile(ConfigHome() + "/.err");
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
