#include "core/TaskDefaults.h"

#include "core/Profile.h"

void CopyDefaultSettings(TTaskRecord& task, const TDefaultSettings& defaults) {
  task.SampleRate = defaults.AudioSampleRate;
  task.BitsPerSample = defaults.AudioBitsPerSample;
  task.ChannelMode = defaults.AudioChannels;
  task.Bitrate = defaults.AudioBitrate;
  task.VbrMinBitrate = defaults.AudioVbrMinBitrate;
  task.VbrMaxBitrate = defaults.AudioVbrMaxBitrate;
  task.UseVBR = defaults.AudioVBR;
}

void StoreTaskAsDefaults(const TTaskRecord& task, TDefaultSettings& defaults) {
  defaults.InputFileDir = FolderPart(task.SourceFile);
  defaults.OutputFileDir = FolderPart(task.OutputFile);
  defaults.AudioBitrate = task.Bitrate;
  defaults.AudioSampleRate = task.SampleRate;
  defaults.AudioBitsPerSample = task.BitsPerSample;
  defaults.AudioChannels = task.ChannelMode;
  defaults.AudioVBR = task.UseVBR;
  defaults.AudioVbrMinBitrate = task.VbrMinBitrate;
  defaults.AudioVbrMaxBitrate = task.VbrMaxBitrate;
}
