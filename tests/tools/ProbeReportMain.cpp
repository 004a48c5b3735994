// tolvane-inspect FILE: runs the media probe on FILE as for a new task with the built-in default
// settings (the settings file is not read), then prints ProbeResult, every field of CurrentTask in
// declared order and the texts the tag extraction gives, one Name=value line each.
// Backslashes and control characters in values are escaped (\\, \n, \r, \t, \xNN) to keep one line each.
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <string>

#include "core/Settings.h"
#include "core/TaskList.h"
#include "probe/ProbeMedia.h"
#include "probe/ReadTags.h"
#include "tests/probe/ProbeRun.h"

namespace {

std::string Escaped(const std::string& text) {
  std::string out;
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '\\') {
      out += "\\\\";
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\r') {
      out += "\\r";
    } else if (c == '\t') {
      out += "\\t";
    } else if (byte < 0x20 || byte == 0x7F) {
      char hex[5];
      std::snprintf(hex, sizeof hex, "\\x%02X", byte);
      out += hex;
    } else {
      out += c;
    }
  }
  return out;
}

void Line(const char* name, const std::string& value) { std::cout << name << '=' << Escaped(value) << '\n'; }
void Line(const char* name, int64_t value) { std::cout << name << '=' << value << '\n'; }
void Line(const char* name, bool value) { std::cout << name << '=' << (value ? "true" : "false") << '\n'; }
void Line(const char* name, const char* text) { Line(name, std::string(text ? text : "")); }

void PrintTask(const TTaskRecord& task) {
  Line("SourceFile", task.SourceFile);
  Line("OutputFile", task.OutputFile);
  Line("HasAudio", task.HasAudio);
  Line("Duration", task.Duration);
  Line("SourceSampleRate", int64_t{task.SourceSampleRate});
  Line("SourceChannels", int64_t{task.SourceChannels});
  Line("EstimatedSize", int64_t{task.EstimatedSize});
  Line("SampleRate", int64_t{task.SampleRate});
  Line("BitsPerSample", int64_t{task.BitsPerSample});
  Line("ChannelMode", int64_t{task.ChannelMode});
  Line("Bitrate", int64_t{task.Bitrate});
  Line("VbrMinBitrate", int64_t{task.VbrMinBitrate});
  Line("VbrMaxBitrate", int64_t{task.VbrMaxBitrate});
  Line("UseVBR", task.UseVBR);
  Line("Title", task.Title.str());
  Line("Artist", task.Artist.str());
  Line("Album", task.Album.str());
  Line("Comment", task.Comment.str());
  Line("Genre", task.Genre.str());
  Line("Year", task.Year.str());
  Line("Checked", task.Checked);
}

void PrintTags(const TTagInfo& tags) {
  Line("TagTitle", tags.TagTitle);
  Line("TagArtist", tags.TagArtist);
  Line("TagAlbum", tags.TagAlbum);
  Line("TagYear", tags.TagYear);
  Line("TagComment", tags.TagComment);
  Line("TagGenre", tags.TagGenre);
  Line("TagComment2", tags.TagComment2);
  Line("TagArtist2", tags.TagArtist2);
  Line("TagDuration", tags.TagDuration);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: tolvane-inspect FILE\n";
    return 2;
  }
  std::error_code error;
  const std::filesystem::path absolute = std::filesystem::absolute(argv[1], error);
  const std::string path = error ? std::string(argv[1]) : absolute.string();

  FillBitrateTable();
  DefaultSettings = TDefaultSettings{};
  RunProbe(path);

  Line("ProbeResult", int64_t{ProbeResult.load()});
  PrintTask(CurrentTask);
  TTagInfo tags;
  ReadTags(path, tags);
  PrintTags(tags);
  return 0;
}
