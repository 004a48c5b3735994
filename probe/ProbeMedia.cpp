#include "ProbeMedia.h"

#include <atomic>

#include "ReadTags.h"
#include "TextDecoding.h"
#include "core/Format.h"
#include "core/OutputName.h"
#include "core/Settings.h"
#include "core/TaskDefaults.h"
#include "core/TaskList.h"

namespace {

TProbeLibrary probeLibrary = RealProbeLibrary();

// Publishes the result; ProbeDone is stored last, with release order, on every path.
void Finish(int32_t result) {
  ProbeResult.store(result, std::memory_order_relaxed);
  ProbeDone.store(true, std::memory_order_release);
}

const char* FirstPresent(const char* first, const char* second) { return first ? first : second; }

void FillTagTexts(TTaskRecord& task, const TTagInfo& tags) {
  // A file name may hold a line break too: the fallback title is cleaned like the tag texts.
  task.Title = tags.TagTitle ? ShortText(tags.TagTitle)
                             : ShortText(WithoutControlCharacters(FileNameWithoutExtension(task.SourceFile)));
  task.Artist = FirstPresent(tags.TagArtist, tags.TagArtist2);
  task.Comment = FirstPresent(tags.TagComment, tags.TagComment2);
  task.Album = tags.TagAlbum;
  task.Genre = tags.TagGenre;
  task.Year = tags.TagYear;
}

int32_t Probe() {
  const int32_t result = ProbeTaskRecord(ProbeFile, DefaultSettings, CurrentTask);
  if (result != 0 || !ProbeForNewTask) return result;
  if (!ProbeOutputFolder.empty()) {
    CurrentTask.OutputFile =
        UniqueOutputPath(ProbeOutputFolder, CurrentTask.SourceFile, ".mp3", &IsOutputNameTaken);
  } else {
    ApplyOutputFolderRule();
    CurrentTask.OutputFile = UniqueOutputName(".mp3");
  }
  return result;
}

}  // namespace

int32_t ProbeTaskRecord(const std::string& path, const TDefaultSettings& defaults, TTaskRecord& task) {
  int64_t duration = 0;
  int32_t second = 0;
  int32_t noAudio = 0;
  TMediaInfoBlock block;
  TWaveFormatEx format;
  const int32_t opened = probeLibrary.FileInit(path.c_str(), &duration, &second, &noAudio, &block, &format);
  probeLibrary.FileExit();
  if (opened != 0) return 1;  // a read failure wins over the no-audio indicator
  if (noAudio > 0) return 2;

  task.SourceFile = path;
  task.HasAudio = true;
  task.Duration = duration;
  task.SourceSampleRate = static_cast<int32_t>(format.nSamplesPerSec);
  task.SourceChannels = format.nChannels;
  CopyDefaultSettings(task, defaults);
  TTagInfo tags;
  probeLibrary.ReadTags(task.SourceFile, tags);
  FillTagTexts(task, tags);
  // A duration the media library knows is never replaced by the tags'.
  if (tags.TagDuration > 0 && task.Duration == 0) task.Duration = tags.TagDuration;
  task.EstimatedSize = EstimateSizeKB(task.Bitrate, task.Duration);
  return 0;
}

TProbeLibrary RealProbeLibrary() { return TProbeLibrary{&file_init, &file_exit, &ReadTags}; }

void SetProbeLibrary(const TProbeLibrary& library) { probeLibrary = library; }

void ProbeMedia() {
  int32_t result = 1;
  try {
    result = Probe();
  } catch (const std::exception&) {
    // Out of memory on a worker thread: report the file as unreadable rather than end the program.
    result = 1;
  }
  Finish(result);
}
