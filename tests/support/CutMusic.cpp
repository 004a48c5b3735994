#include "tests/support/CutMusic.h"

#include <QProcess>
#include <QStringList>

#include "tests/support/TestEnvironment.h"

std::string MakeCutMusic(const std::string& folder, const std::string& name) {
  const std::string sample = SampleFile("firstrun.rm");
  if (sample.empty()) return {};
  const std::string whole = folder + "/whole-" + name;
  QProcess ffmpeg;
  ffmpeg.start("ffmpeg",
               {"-loglevel", "error", "-y", "-stream_loop", "9", "-i", QString::fromStdString(sample), "-vn",
                "-ac", "1", "-c:a", "ac3", "-b:a", "64k", QString::fromStdString(whole)});
  if (!ffmpeg.waitForFinished(120000) || ffmpeg.exitStatus() != QProcess::NormalExit ||
      ffmpeg.exitCode() != 0)
    return {};
  const std::string bytes = ReadWholeFile(whole);
  if (bytes.empty()) return {};
  const std::string path = folder + "/" + name;
  WriteWholeFile(path, bytes.substr(0, bytes.size() / 10));
  return path;
}
