#include "tests/support/CutMusic.h"

#include <spawn.h>
#include <sys/types.h>
#include <sys/wait.h>

#include <cerrno>
#include <vector>

#include "tests/support/TestEnvironment.h"

extern char** environ;

namespace {

// Runs the ffmpeg tool and waits for it. posix_spawn rather than fork: the tests that use this run
// worker threads, and ThreadSanitizer refuses a fork once threads exist.
bool RunFfmpeg(std::vector<std::string> arguments) {
  arguments.insert(arguments.begin(), "ffmpeg");
  std::vector<char*> argv;
  for (std::string& argument : arguments) argv.push_back(argument.data());
  argv.push_back(nullptr);
  pid_t pid = 0;
  if (posix_spawnp(&pid, "ffmpeg", nullptr, nullptr, argv.data(), environ) != 0) return false;
  int status = 0;
  while (waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) return false;
  }
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace

std::string MakeCutMusic(const std::string& folder, const std::string& name) {
  const std::string sample = SampleFile("firstrun.rm");
  if (sample.empty()) return {};
  const std::string whole = folder + "/whole-" + name;
  if (!RunFfmpeg({"-loglevel", "error", "-nostdin", "-y", "-stream_loop", "9", "-i", sample, "-vn", "-ac",
                  "1", "-c:a", "ac3", "-b:a", "64k", whole})) {
    return {};
  }
  const std::string bytes = ReadWholeFile(whole);
  if (bytes.empty()) return {};
  const std::string path = folder + "/" + name;
  WriteWholeFile(path, bytes.substr(0, bytes.size() / 10));
  return path;
}
