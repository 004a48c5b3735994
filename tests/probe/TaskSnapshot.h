#pragma once
// Field-by-field comparison of task records, for tests that must see that nothing changed.
#include <gtest/gtest.h>

#include "core/Settings.h"
#include "core/TaskList.h"

inline void ExpectSameTask(const TTaskRecord& a, const TTaskRecord& b) {
  EXPECT_EQ(a.SourceFile, b.SourceFile);
  EXPECT_EQ(a.OutputFile, b.OutputFile);
  EXPECT_EQ(a.HasAudio, b.HasAudio);
  EXPECT_EQ(a.Duration, b.Duration);
  EXPECT_EQ(a.SourceSampleRate, b.SourceSampleRate);
  EXPECT_EQ(a.SourceChannels, b.SourceChannels);
  EXPECT_EQ(a.EstimatedSize, b.EstimatedSize);
  EXPECT_EQ(a.SampleRate, b.SampleRate);
  EXPECT_EQ(a.BitsPerSample, b.BitsPerSample);
  EXPECT_EQ(a.ChannelMode, b.ChannelMode);
  EXPECT_EQ(a.Bitrate, b.Bitrate);
  EXPECT_EQ(a.VbrMinBitrate, b.VbrMinBitrate);
  EXPECT_EQ(a.VbrMaxBitrate, b.VbrMaxBitrate);
  EXPECT_EQ(a.UseVBR, b.UseVBR);
  EXPECT_EQ(a.Title, b.Title);
  EXPECT_EQ(a.Artist, b.Artist);
  EXPECT_EQ(a.Album, b.Album);
  EXPECT_EQ(a.Comment, b.Comment);
  EXPECT_EQ(a.Genre, b.Genre);
  EXPECT_EQ(a.Year, b.Year);
  EXPECT_EQ(a.Checked, b.Checked);
}

inline void ExpectSameSettings(const TDefaultSettings& a, const TDefaultSettings& b) {
  EXPECT_EQ(a.InputFileDir, b.InputFileDir);
  EXPECT_EQ(a.OutputFileDir, b.OutputFileDir);
  EXPECT_EQ(a.AudioBitrate, b.AudioBitrate);
  EXPECT_EQ(a.AudioSampleRate, b.AudioSampleRate);
  EXPECT_EQ(a.AudioBitsPerSample, b.AudioBitsPerSample);
  EXPECT_EQ(a.AudioChannels, b.AudioChannels);
  EXPECT_EQ(a.AudioVBR, b.AudioVBR);
  EXPECT_EQ(a.AudioVbrMinBitrate, b.AudioVbrMinBitrate);
  EXPECT_EQ(a.AudioVbrMaxBitrate, b.AudioVbrMaxBitrate);
}

// A task whose every field holds a value no probe would write.
inline TTaskRecord MarkedTask() {
  TTaskRecord task;
  task.SourceFile = "/earlier/source.rm";
  task.OutputFile = "/earlier/output.mp3";
  task.HasAudio = true;
  task.Duration = 77;
  task.SourceSampleRate = 11025;
  task.SourceChannels = 3;
  task.EstimatedSize = 5;
  task.SampleRate = 32000;
  task.BitsPerSample = 8;
  task.ChannelMode = 3;
  task.Bitrate = 40;
  task.VbrMinBitrate = 8;
  task.VbrMaxBitrate = 16;
  task.UseVBR = true;
  task.Title = "earlier title";
  task.Artist = "earlier artist";
  task.Album = "earlier album";
  task.Comment = "earlier comment";
  task.Genre = "earlier genre";
  task.Year = "1900";
  task.Checked = true;
  return task;
}
