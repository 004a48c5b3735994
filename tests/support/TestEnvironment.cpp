#include "TestEnvironment.h"

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace {
std::string EnvOr(const char* name, const std::string& fallback) {
  const char* value = std::getenv(name);
  return value && *value ? value : fallback;
}
}  // namespace

std::string SourceDir() { return EnvOr("TOLVANE_SOURCE_DIR", TOLVANE_SOURCE_DIR); }
std::string TestDataDir() { return SourceDir() + "/tests/data"; }
// A worktree outside the workspace root names the samples folder in TOLVANE_SAMPLES_DIR.
std::string SamplesDir() { return EnvOr("TOLVANE_SAMPLES_DIR", SourceDir() + "/../shared/samples"); }
std::string BinDir() { return EnvOr("TOLVANE_BIN_DIR", TOLVANE_BIN_DIR); }
std::string TestDataFile(const std::string& name) { return TestDataDir() + "/" + name; }

std::string SampleFile(const std::string& name) {
  const std::string path = SamplesDir() + "/" + name;
  std::ifstream probe(path, std::ios::binary);
  return probe ? path : std::string();
}

std::string ReadWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

void WriteWholeFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  if (!out) throw std::runtime_error("cannot write " + path);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

ScopedConfigHome::ScopedConfigHome() {
  hadPrevious_ = qEnvironmentVariableIsSet("XDG_CONFIG_HOME");
  previous_ = qgetenv("XDG_CONFIG_HOME");
  qputenv("XDG_CONFIG_HOME", dir_.path().toUtf8());
}

ScopedConfigHome::~ScopedConfigHome() {
  if (hadPrevious_)
    qputenv("XDG_CONFIG_HOME", previous_);
  else
    qunsetenv("XDG_CONFIG_HOME");
}

std::string ScopedConfigHome::Path() const { return dir_.path().toStdString(); }
std::string ScopedConfigHome::SettingsFile() const { return Path() + "/Zarnok/Tolvane.ini"; }
