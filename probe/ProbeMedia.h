#pragma once
// The media probe: examines ProbeFile and, when the file can be read and has audio, fills
// CurrentTask with everything a new task needs. Reports through ProbeResult, then ProbeDone.
#include <cstdint>
#include <string>

#include "id3_tag.h"
#include "readmedia.h"

// Reads ProbeFile, ProbeForNewTask, ProbeOutputFolder and DefaultSettings; writes CurrentTask (only when
// the file is accepted), DefaultSettings.OutputFileDir (new tasks outside a folder tree only), ProbeResult
// and, last, ProbeDone.
void ProbeMedia();

struct TDefaultSettings;
struct TTaskRecord;
// What ProbeMedia does to a task, without the shared reading state and without the output path: 0 when
// path can be read and has audio (task then holds its facts, the MP3 settings of defaults, its tag
// texts and estimated size), 1 when it cannot be read, 2 when it has no audio (task untouched). Safe
// on several threads at once.
int32_t ProbeTaskRecord(const std::string& path, const TDefaultSettings& defaults, TTaskRecord& task);

// The libraries the probe asks, replaceable so a test can present answers no real file gives.
struct TProbeLibrary {
  int32_t (*FileInit)(const char* path, int64_t* duration, int32_t* second, int32_t* noAudio,
                      TMediaInfoBlock* block, TWaveFormatEx* format);
  int32_t (*FileExit)();
  void (*ReadTags)(const std::string& path, TTagInfo& info);
};

TProbeLibrary RealProbeLibrary();
// The libraries ProbeMedia uses from now on (the real ones until this is called).
void SetProbeLibrary(const TProbeLibrary& library);
