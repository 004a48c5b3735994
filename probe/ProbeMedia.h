#pragma once
// The media probe: examines ProbeFile and, when the file can be read and has audio, fills
// CurrentTask with everything a new task needs. Reports through ProbeResult, then ProbeDone.
#include <cstdint>
#include <string>

#include "id3_tag.h"
#include "readmedia.h"

// Reads ProbeFile, ProbeForNewTask and DefaultSettings; writes CurrentTask (only when the file is
// accepted), DefaultSettings.OutputFileDir (new tasks only), ProbeResult and, last, ProbeDone.
void ProbeMedia();

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
