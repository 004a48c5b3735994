#pragma once
// The conversion task record, the task list that owns the records, the scratch record through
// which every task is created and edited, the reading state handed between the main thread and
// the reading worker, and the table of MP3 bitrates.
#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "ShortText.h"

// One conversion task: an ordinary value type, copied by assignment. Paths are kept whole;
// tag texts are cut to 255 characters when assigned.
struct TTaskRecord {
  std::string SourceFile;
  std::string OutputFile;
  bool HasAudio = false;
  int64_t Duration = 0;  // 100-ns units
  int32_t SourceSampleRate = 0;
  int32_t SourceChannels = 0;
  int32_t EstimatedSize = 0;  // kilobytes of 1024 bytes
  int32_t SampleRate = 0;
  int32_t BitsPerSample = 0;
  int32_t ChannelMode = 0;  // 0 "Dual Channels", 1 "Stero", 2 "Joint Stero", 3 "Mono"
  int32_t Bitrate = 0;      // kbps
  int32_t VbrMinBitrate = 0;
  int32_t VbrMaxBitrate = 0;
  bool UseVBR = false;
  ShortText Title;
  ShortText Artist;
  ShortText Album;
  ShortText Comment;
  ShortText Genre;
  ShortText Year;
  bool Checked = false;
};

// Row i of the task list is Tasks[i]; the list owns its records.
extern std::vector<std::unique_ptr<TTaskRecord>> Tasks;
extern TTaskRecord CurrentTask;

// Reading state. ProbeDone is written last by the worker with release order and read with
// acquire order, which publishes CurrentTask and ProbeResult to the waiting thread.
extern std::string ProbeFile;
extern bool ProbeForNewTask;
// For a file of an added folder tree: the folder its MP3 goes into, which the probe then takes instead
// of the output folder rule (and leaves OutputFileDir alone). Empty for every other file.
extern std::string ProbeOutputFolder;
extern std::atomic<bool> ProbeDone;
extern std::atomic<int32_t> ProbeResult;  // -1 pending, 0 accepted, 1 unreadable, 2 no audio

constexpr int BitrateCount = 18;
// The MP3 bitrates in kbps, ascending: the one list behind BitrateTable, the editor's items and the
// encoder's bitrate settings.
inline constexpr std::array<int32_t, BitrateCount> MP3Bitrates = {8,  16,  24,  32,  40,  48,  56,  64,  80,
                                                                  96, 112, 128, 144, 160, 192, 224, 256, 320};
extern std::array<int32_t, BitrateCount> BitrateTable;

void FillBitrateTable();
// Position of a bitrate in BitrateTable, or -1 when it has none.
int BitrateIndex(int32_t kbps);

// Copies CurrentTask into the list: appended and checked, or over the task at index.
void StoreTask(bool append, int index);
void DeleteTask(int index);
bool IsOutputNameTaken(const std::string& path);
void FreeAllTasks();
