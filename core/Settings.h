#pragma once
// The persisted defaults: last folders, the MP3 settings last confirmed, and the tips state.
// Stored in the per-user INI file $XDG_CONFIG_HOME/Zarnok/Tolvane.ini.
#include <cstdint>
#include <string>

// The member initialisers are the built-in defaults: the one place they are written down.
struct TDefaultSettings {
  std::string InputFileDir;
  std::string OutputFileDir;
  int32_t AudioBitrate = 192;
  int32_t AudioSampleRate = 44100;
  int32_t AudioBitsPerSample = 16;
  int32_t AudioChannels = 2;
  bool AudioVBR = false;
  int32_t AudioVbrMinBitrate = 128;
  int32_t AudioVbrMaxBitrate = 256;
  // How many checked tasks a run converts at once; 0 and below mean one per core.
  int32_t ParallelTasks = 0;
};

extern TDefaultSettings DefaultSettings;
extern int32_t tips;  // below 10000: the tip shown last; 10000 or more: tips are off

// Path of the settings file for RegistryKey under the current XDG_CONFIG_HOME.
std::string SettingsFilePath();

// The most tasks a run converts at once, whatever the machine.
constexpr int32_t kMostParallelTasks = 16;

// ParallelTasks as a count of tasks: the value itself when positive, else the machine's core count;
// at most twice the cores and at most kMostParallelTasks. The stored setting keeps what was written.
int32_t ParallelTaskCount(int32_t setting);

void LoadSettings();
// The saved settings as they stand, for a program that never saves them (the command line): the file
// is neither created nor rewritten, so many such programs may share one home folder, read-only too.
// Values missing or unreadable keep their built-in defaults.
void ReadSavedSettings();
void SaveSettings();
