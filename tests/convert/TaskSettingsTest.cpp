// A task's settings as they reach the MP3 sink.
#include <gtest/gtest.h>

#include "audio/Snd_LAME.h"
#include "core/TaskList.h"
#include "run/ProgressDesign.h"
#include "run/TaskSettings.h"

namespace {

class TaskSettings : public ::testing::Test {
 protected:
  void SetUp() override {
    FillBitrateTable();
    ApplyProgressWindowDesign(out);
    task.OutputFile = "/music/out.mp3";
    task.Bitrate = 128;
    task.SampleRate = 44100;
  }
  TMP3Out out;
  TTaskRecord task;
};

}  // namespace

TEST_F(TaskSettings, BitrateIsTheTablePositionAndAnUnknownOneKeepsThePrevious) {
  task.Bitrate = 100;
  ApplyTaskToMP3Out(out, task);
  EXPECT_EQ(out.BitRate, br192);  // the window's own until a task sets one
  task.Bitrate = 112;
  ApplyTaskToMP3Out(out, task);
  EXPECT_EQ(out.BitRate, br112);
  task.Bitrate = 100;
  ApplyTaskToMP3Out(out, task);
  EXPECT_EQ(out.BitRate, br112);
  task.Bitrate = 8;
  ApplyTaskToMP3Out(out, task);
  EXPECT_EQ(out.BitRate, br8);
  task.Bitrate = 320;
  ApplyTaskToMP3Out(out, task);
  EXPECT_EQ(out.BitRate, br320);
}

TEST_F(TaskSettings, ChannelModeSampleRateAndVbrMapAsTheEncoderTakesThem) {
  const std::pair<int, TMP3Mode> modes[] = {{0, TMP3Mode::DUAL_CHANNEL}, {1, TMP3Mode::STEREO},
                                            {2, TMP3Mode::JOINT_STEREO}, {3, TMP3Mode::MONO},
                                            {7, TMP3Mode::MONO},         {-1, TMP3Mode::MONO}};
  for (const auto& [channelMode, mode] : modes) {
    task.ChannelMode = channelMode;
    ApplyTaskToMP3Out(out, task);
    EXPECT_EQ(out.Mode, mode) << channelMode;
  }
  const std::pair<int, TMP3SampleRate> rates[] = {
      {32000, sr32kHz}, {44100, sr41kHz}, {48000, sr48kHz}, {22050, sr41kHz}, {0, sr41kHz}};
  for (const auto& [hz, rate] : rates) {
    task.SampleRate = hz;
    ApplyTaskToMP3Out(out, task);
    EXPECT_EQ(out.SampleRate, rate) << hz;
  }
  task.UseVBR = true;
  task.VbrMinBitrate = 96;
  task.VbrMaxBitrate = 224;
  ApplyTaskToMP3Out(out, task);
  EXPECT_EQ(out.EnableVBR, 1);
  EXPECT_EQ(out.WriteVBRHeader, 1);
  EXPECT_EQ(out.VBRMinBitrate, 96);
  EXPECT_EQ(out.VBRMaxBitrate, 224);
  task.UseVBR = false;
  ApplyTaskToMP3Out(out, task);
  EXPECT_EQ(out.EnableVBR, 0);
  EXPECT_EQ(out.WriteVBRHeader, 0);
}

TEST_F(TaskSettings, TheSixTagTextsAndTheFileGoOverAndTheRestKeepsTheWindowsValues) {
  task.Title = "Morning Talk";
  task.Artist = "Host";
  task.Album = "Shows";
  task.Year = "2001";
  task.Genre = "Speech";
  task.Comment = "Live";
  out.Id3TagTrack = "7";
  ApplyTaskToMP3Out(out, task);
  EXPECT_EQ(out.FileName, "/music/out.mp3");
  EXPECT_EQ(out.Id3TagTitle, "Morning Talk");
  EXPECT_EQ(out.Id3TagArtist, "Host");
  EXPECT_EQ(out.Id3TagAlbum, "Shows");
  EXPECT_EQ(out.Id3TagYear, "2001");
  EXPECT_EQ(out.Id3TagGenre, "Speech");
  EXPECT_EQ(out.Id3TagComment, "Live");
  EXPECT_EQ(out.Id3TagTrack, "7");
  EXPECT_EQ(out.Quality, ql2);
  EXPECT_EQ(out.VBRQuality, ql2);
  EXPECT_EQ(out.Original, 0);
  EXPECT_EQ(out.CRC, 0);
  EXPECT_EQ(out.Copyright, 0);
}
