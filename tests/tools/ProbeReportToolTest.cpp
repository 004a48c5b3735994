// tolvane-inspect as a user runs it: the probe's result, every task field in order, then the tags.
#include <gtest/gtest.h>

#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>
#include <string>
#include <vector>

#include "tests/support/TestEnvironment.h"

namespace {

std::vector<std::string> InspectLines(const std::string& file) {
  QProcess process;
  process.setProcessChannelMode(QProcess::SeparateChannels);
  process.start(QString::fromStdString(BinDir() + "/tolvane-inspect"), {QString::fromStdString(file)});
  EXPECT_TRUE(process.waitForFinished(60000));
  EXPECT_EQ(process.exitCode(), 0);
  std::vector<std::string> lines;
  for (const QString& line :
       QString::fromUtf8(process.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts)) {
    lines.push_back(line.toStdString());
  }
  return lines;
}

std::vector<std::string> Names(const std::vector<std::string>& lines) {
  std::vector<std::string> names;
  for (const std::string& line : lines) names.push_back(line.substr(0, line.find('=')));
  return names;
}

const std::vector<std::string> kExpectedNames = {
    "ProbeResult",    "SourceFile",    "OutputFile", "HasAudio",      "Duration",    "SourceSampleRate",
    "SourceChannels", "EstimatedSize", "SampleRate", "BitsPerSample", "ChannelMode", "Bitrate",
    "VbrMinBitrate",  "VbrMaxBitrate", "UseVBR",     "Title",         "Artist",      "Album",
    "Comment",        "Genre",         "Year",       "Checked",       "TagTitle",    "TagArtist",
    "TagAlbum",       "TagYear",       "TagComment", "TagGenre",      "TagComment2", "TagArtist2",
    "TagDuration"};

bool Has(const std::vector<std::string>& lines, const std::string& line) {
  for (const std::string& l : lines) {
    if (l == line) return true;
  }
  return false;
}

TEST(InspectToolTest, PrintsTheProbedTaskAndTheTags) {
  QTemporaryDir dir;
  const std::string path = dir.path().toStdString() + "/Live.Set.rm";
  WriteWholeFile(path, ReadWholeFile(TestDataFile("ac3-stereo.rm")));
  const std::vector<std::string> lines = InspectLines(path);
  EXPECT_EQ(Names(lines), kExpectedNames);
  EXPECT_TRUE(Has(lines, "ProbeResult=0"));
  EXPECT_TRUE(Has(lines, "SourceFile=" + path));
  EXPECT_TRUE(Has(lines, "OutputFile=" + dir.path().toStdString() + "/Live.Set.mp3"));
  EXPECT_TRUE(Has(lines, "SourceSampleRate=44100"));
  EXPECT_TRUE(Has(lines, "Bitrate=192")) << "the built-in default settings";
  EXPECT_TRUE(Has(lines, "Title=Café Ünïcødé — Привет 音楽"));
  EXPECT_TRUE(Has(lines, "TagComment2=© 2024 Élan Музыка 株式会社"));
  EXPECT_TRUE(Has(lines, "TagDuration=20200000"));
}

TEST(InspectToolTest, PrintsTheTagsOfARejectedFileToo) {
  const std::vector<std::string> lines = InspectLines(TestDataFile("video-only.rm"));
  EXPECT_EQ(Names(lines), kExpectedNames);
  EXPECT_TRUE(Has(lines, "ProbeResult=2"));
  EXPECT_TRUE(Has(lines, "SourceFile="));
  EXPECT_TRUE(Has(lines, "TagTitle=No Audio"));
}

TEST(InspectToolTest, PrintsTheTagsOfAWindowsMediaFileThatLibavformatRefuses) {
  TOLVANE_REQUIRE_SAMPLE(sample, "ASF.wmv");
  const std::vector<std::string> asf = InspectLines(sample);
  EXPECT_TRUE(Has(asf, "ProbeResult=1")) << "libavformat refuses the cut file";
  EXPECT_TRUE(Has(asf, "TagGenre=Photo Story"));
}

// The value of a Name=value line; empty when there is none.
std::string Value(const std::vector<std::string>& lines, const std::string& name) {
  for (const std::string& line : lines) {
    if (line.compare(0, name.size() + 1, name + "=") == 0) return line.substr(name.size() + 1);
  }
  return {};
}

TEST(InspectToolTest, ShowsTheBestStreamOfARealMultiRateFile) {
  TOLVANE_REQUIRE_SAMPLE(sample, "multirate-cook.ra");
  const std::vector<std::string> lines = InspectLines(sample);
  EXPECT_TRUE(Has(lines, "ProbeResult=0"));
  EXPECT_TRUE(Has(lines, "SourceSampleRate=44100")) << "the 44 kbps stereo stream, not the 20 kbps mono one";
  EXPECT_TRUE(Has(lines, "SourceChannels=2"));
  EXPECT_NEAR(std::stod("0" + Value(lines, "Duration")) / 1e7, 208.0, 2.0);  // about 3:28
  EXPECT_TRUE(Has(lines, "Title=multirate-cook"));
}

}  // namespace
