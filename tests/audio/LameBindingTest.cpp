// The run-time binding of libmp3lame: counted loading, resolution by name, the missing library.
#include <gtest/gtest.h>

#include "audio/Snd_LAME.h"
#include "audio/lame.h"

namespace {

TEST(LameBinding, LoadsCountedAndResolvesByName) {
  ASSERT_FALSE(LameLoaded());
  EXPECT_EQ(Lame.lame_init, nullptr);
  LoadLame();
  ASSERT_TRUE(LameLoaded());
  LoadLame();  // a second load only counts
  EXPECT_NE(Lame.lame_init, nullptr);
  EXPECT_NE(Lame.lame_encode_buffer_interleaved, nullptr);
  EXPECT_NE(Lame.id3tag_set_genre, nullptr);
  EXPECT_NE(LameGetLametagFrame, nullptr);
  // Windows-only entry points are simply left empty.
  EXPECT_EQ(Lame.beWriteVbrHeader, nullptr);
  EXPECT_EQ(Lame.beWriteInfoTag, nullptr);
  UnloadLame();
  EXPECT_TRUE(LameLoaded());
  EXPECT_NE(Lame.lame_init, nullptr);
  UnloadLame();
  EXPECT_FALSE(LameLoaded());
  EXPECT_EQ(Lame.lame_init, nullptr);
  UnloadLame();  // unbalanced: harmless
  EXPECT_FALSE(LameLoaded());
}

TEST(LameBinding, MissingLibraryGivesTheConstructorsMessage) {
  const std::string missing = "/nonexistent/libmp3lame.so.0";
  LoadLame(missing);
  EXPECT_FALSE(LameLoaded());
  SetLameLibraryFile(missing);
  try {
    TMP3Out out;
    ADD_FAILURE() << "constructed without the library";
  } catch (const ESndException& e) {
    EXPECT_EQ(std::string(e.what()), missing + " library could not be loaded.");
  }
  SetLameLibraryFile(LameLibraryDefaultFile);
  EXPECT_EQ(LameLibraryFile(), "libmp3lame.so.0");
  EXPECT_FALSE(LameLoaded());
  {
    TMP3Out out;
    EXPECT_TRUE(LameLoaded());
  }
  EXPECT_FALSE(LameLoaded());
}

TEST(LameBinding, SinkDefaults) {
  TMP3Out out;
  EXPECT_EQ(out.BitRate, br128);
  EXPECT_EQ(out.Quality, ql5);
  EXPECT_EQ(out.SampleRate, srDefault);
  EXPECT_EQ(out.Mode, TMP3Mode::STEREO);
  EXPECT_EQ(out.CRC, 0);
  EXPECT_EQ(out.Copyright, 0);
  EXPECT_NE(out.Original, 0);
  EXPECT_EQ(out.WriteVBRHeader, 0);
  EXPECT_EQ(out.EnableVBR, 0);
  EXPECT_EQ(out.VBRQuality, ql5);
  EXPECT_EQ(out.VBRMinBitrate, 128);
  EXPECT_EQ(out.VBRMaxBitrate, 192);
  EXPECT_TRUE(out.SuspendWhenIdle());
  EXPECT_EQ(out.FileMode(), foRewrite);
  EXPECT_TRUE(out.Id3TagTrack.empty());
  EXPECT_EQ(MP3BitRateKbps(br8), 8);
  EXPECT_EQ(MP3BitRateKbps(br144), 144);
  EXPECT_EQ(MP3BitRateKbps(br320), 320);
  EXPECT_EQ(MP3SampleRateHz(srDefault), 0);
  EXPECT_EQ(MP3SampleRateHz(sr41kHz), 44100);
}

}  // namespace

TEST(MP3Settings, TaskValuesMapOntoTheEncoderSettings) {
  EXPECT_EQ(ChannelModeToMP3Mode(0), TMP3Mode::DUAL_CHANNEL);
  EXPECT_EQ(ChannelModeToMP3Mode(1), TMP3Mode::STEREO);
  EXPECT_EQ(ChannelModeToMP3Mode(2), TMP3Mode::JOINT_STEREO);
  EXPECT_EQ(ChannelModeToMP3Mode(3), TMP3Mode::MONO);
  EXPECT_EQ(ChannelModeToMP3Mode(7), TMP3Mode::MONO);
  EXPECT_EQ(ChannelModeToMP3Mode(-1), TMP3Mode::MONO);
  EXPECT_EQ(SampleRateToMP3(32000), sr32kHz);
  EXPECT_EQ(SampleRateToMP3(44100), sr41kHz);
  EXPECT_EQ(SampleRateToMP3(48000), sr48kHz);
  EXPECT_EQ(SampleRateToMP3(22050), sr41kHz);
}
