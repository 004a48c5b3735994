#pragma once
// Paths and temporary surroundings for tests.
#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <string>

// The repository, the committed test media, and the third-party samples beside the repository.
std::string SourceDir();
std::string TestDataDir();  // tests/data
std::string SamplesDir();   // ../shared/samples, or TOLVANE_SAMPLES_DIR
std::string BinDir();       // where the programs and their data files are built
std::string TestDataFile(const std::string& name);
// A third-party sample of ../shared/samples, or empty when that folder is not beside the clone.
std::string SampleFile(const std::string& name);

// In a test body: the sample's path in var, or the test is skipped, naming the missing file.
#define TOLVANE_REQUIRE_SAMPLE(var, name)                         \
  const std::string var = SampleFile(name);                       \
  if (var.empty())                                                \
  GTEST_SKIP() << "sample file " << SamplesDir() << "/" << (name) \
               << " is not here (a clone outside its workspace)"

std::string ReadWholeFile(const std::string& path);
void WriteWholeFile(const std::string& path, const std::string& bytes);

// Points XDG_CONFIG_HOME at a fresh temporary folder for the life of the object.
class ScopedConfigHome {
 public:
  ScopedConfigHome();
  ~ScopedConfigHome();
  ScopedConfigHome(const ScopedConfigHome&) = delete;
  ScopedConfigHome& operator=(const ScopedConfigHome&) = delete;
  std::string Path() const;
  std::string SettingsFile() const;  // <config home>/Zarnok/Tolvane.ini

 private:
  QTemporaryDir dir_;
  QByteArray previous_;
  bool hadPrevious_ = false;
};
