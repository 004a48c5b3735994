#pragma once
// Runs the built tolvane-convert as a script would, with a settings folder of its own, and reads what
// it tells: the exit status, the JSON lines of standard output and standard error. posix_spawn rather
// than fork: some of these tests run worker threads, and ThreadSanitizer refuses a fork then.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>
#include <QTemporaryDir>
#include <cerrno>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "tests/support/TestEnvironment.h"

struct CliResult {
  int exitCode = -1, signal = 0;  // exitCode -1: the signal ended it
  std::string out, err;
  // The JSON lines by input; a line that does not parse, or a second line for an input, fails the test.
  std::map<std::string, QJsonObject> Lines() const {
    std::map<std::string, QJsonObject> lines;
    for (const QByteArray& line : QByteArray::fromStdString(out).split('\n')) {
      QJsonParseError error;
      const QJsonObject object = QJsonDocument::fromJson(line, &error).object();
      EXPECT_TRUE(line.isEmpty() || error.error == QJsonParseError::NoError) << line.toStdString();
      if (!line.isEmpty()) {
        EXPECT_TRUE(lines.emplace(object["input"].toString().toStdString(), object).second);
      }
    }
    return lines;
  }
};

class CliRunner {
 public:
  static std::string Program() { return BinDir() + "/tolvane-convert"; }
  std::string ConfigHome() const { return config_.path().toStdString(); }
  // Starts tolvane-convert with these arguments, or (shell) sh -c with the command; one at a time.
  pid_t Start(const QStringList& arguments, bool shell = false) const {
    std::vector<std::string> words = {"env", "XDG_CONFIG_HOME=" + ConfigHome(), shell ? "sh" : Program()};
    if (shell) words.push_back("-c");
    for (const QString& argument : arguments) words.push_back(argument.toStdString());
    std::vector<char*> argv;
    for (std::string& word : words) argv.push_back(word.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    for (const int fd : {1, 2})
      posix_spawn_file_actions_addopen(&actions, fd, Output(fd).c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    // The stop signals as a terminal gives them, even where the test runner ignores them.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t stops;
    sigemptyset(&stops);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&stops, signal);
    posix_spawnattr_setsigdefault(&attributes, &stops);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF);
    pid_t pid = -1;
    EXPECT_EQ(posix_spawnp(&pid, "env", &actions, &attributes, argv.data(), environ), 0);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    return pid;
  }
  CliResult Wait(pid_t pid) const {
    CliResult result;
    int status = 0;
    while (pid > 0 && waitpid(pid, &status, 0) < 0 && errno == EINTR) continue;
    if (WIFEXITED(status)) result.exitCode = WEXITSTATUS(status);
    if (WIFSIGNALED(status)) result.signal = WTERMSIG(status);
    result.out = ReadWholeFile(Output(1));
    result.err = ReadWholeFile(Output(2));
    return result;
  }
  CliResult Run(const QStringList& arguments) const { return Wait(Start(arguments)); }
  CliResult Shell(const std::string& command) const {
    return Wait(Start({QString::fromStdString(command)}, true));
  }

 private:
  std::string Output(int fd) const { return ConfigHome() + (fd == 1 ? "/.out" : "/.err"); }
  QTemporaryDir config_;
};

// Every file under root, hidden ones included, relative to it and sorted.
inline QStringList FilesUnder(const std::string& root) {
  QStringList files;
  std::error_code error;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(root, error))
    if (entry.is_regular_file())
      files << QString::fromStdString(entry.path().lexically_relative(root).string());
  files.sort();
  return files;
}

// A test with a folder of its own for inputs and outputs, and the program to run on them.
class CliFolderTest : public ::testing::Test {
 protected:
  std::string Path(const std::string& relative) const { return dir.path().toStdString() + "/" + relative; }
  std::string Write(const std::string& relative, const std::string& bytes) const {
    std::filesystem::create_directories(std::filesystem::path(Path(relative)).parent_path());
    WriteWholeFile(Path(relative), bytes);
    return Path(relative);
  }
  std::string Copy(const std::string& testFile, const std::string& relative) const {
    return Write(relative, ReadWholeFile(TestDataFile(testFile)));
  }
  static QString Q(const std::string& text) { return QString::fromStdString(text); }

  QTemporaryDir dir;
  CliRunner cli;
};

inline void PrintTo(const QStringList& texts, std::ostream* out) {
  *out << "{ " << texts.join(", ").toStdString() << " }";
}
