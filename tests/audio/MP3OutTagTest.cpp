// The tag texts of the MP3 sink: the full texts in the ID3v2 tag at the start, what Latin-1 can hold
// in LAME's ID3v1 tag at the end, and no second ID3v2 tag from the encoder.
#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "MP3OutTestRun.h"
#include "Mp3FrameReader.h"
#include "audio/Id3v2Tag.h"
#include "core/ShortText.h"
#include "tests/support/MediaReader.h"
#include "tests/support/TestEnvironment.h"

namespace {

// 255 characters: Latin with accents, Cyrillic and CJK, repeated.
std::string LongMixedTitle() {
  const std::string piece = "Café Ørsted — Москва 東京の夜 ";
  std::string text;
  while (CharCount(text) < 255) text += piece;
  return CutToChars(text, 255);
}

std::string Field(const std::string& tag, size_t offset, size_t length) {
  std::string field = tag.substr(offset, length);
  return field.substr(0, field.find('\0'));
}

TEST(MP3OutTags, FullTextsInId3v2AndLatin1InId3v1) {
  QTemporaryDir dir;
  const std::string path = dir.filePath("tags.mp3").toStdString();
  const std::string title = LongMixedTitle();
  ASSERT_EQ(CharCount(title), 255u);
  TSineSource source(44100, 2, 440, 1.5);
  TMP3Out out;
  out.EnableVBR = 1;  // the Xing frame must land after the ID3v2 tag
  out.WriteVBRHeader = 1;
  out.Id3TagTitle = title;
  out.Id3TagArtist = "Žofie Dvořáková";
  out.Id3TagAlbum = "Ålbum";
  out.Id3TagYear = "2024";
  out.Id3TagComment = "Комментарий";
  out.Id3TagGenre = "Blues";
  ASSERT_TRUE(EncodeToFile(out, source, path));

  const DecodedMedia media = DecodeMedia(path);
  ASSERT_TRUE(media.ok) << media.error;
  EXPECT_EQ(media.tags.at("title"), title);
  EXPECT_EQ(media.tags.at("artist"), "Žofie Dvořáková");
  EXPECT_EQ(media.tags.at("album"), "Ålbum");
  EXPECT_EQ(media.tags.at("date"), "2024");
  EXPECT_EQ(media.tags.at("comment"), "Комментарий");
  EXPECT_EQ(media.tags.at("genre"), "Blues");
  EXPECT_EQ(media.tags.count("track"), 0u);  // no text, no frame

  const std::string bytes = ReadWholeFile(path);
  const Mp3Layout layout = ReadMp3Layout(bytes);
  ASSERT_GT(layout.id3v2Size, 10u);
  ASSERT_FALSE(layout.frames.empty());
  EXPECT_EQ(layout.frames[0].offset, layout.id3v2Size);
  EXPECT_EQ(layout.xingId, "Xing");
  EXPECT_EQ(layout.xingFrames, int64_t(layout.frames.size()) - 1);
  EXPECT_EQ(layout.trailing, 0u);
  EXPECT_EQ(bytes.find("ID3", 1), std::string::npos);  // the encoder wrote no second ID3v2 tag

  ASSERT_TRUE(layout.id3v1);
  const std::string v1 = bytes.substr(bytes.size() - 128);
  EXPECT_EQ(Field(v1, 3, 30), Utf8ToLatin1(CutToChars(title, 30)));
  EXPECT_EQ(Field(v1, 3, 30), "Caf\xE9 \xD8rsted ? ?????? ???? Caf\xE9");
  EXPECT_EQ(Field(v1, 33, 30), "?ofie Dvo?\xE1kov\xE1");
  EXPECT_EQ(Field(v1, 63, 30), "\xC5lbum");
  EXPECT_EQ(Field(v1, 93, 4), "2024");
  EXPECT_EQ(uint8_t(v1[127]), 0);  // Blues
}

TEST(MP3OutTags, EmptyTextsWriteNoTags) {
  QTemporaryDir dir;
  const std::string path = dir.filePath("plain.mp3").toStdString();
  TSineSource source(44100, 2, 440, 1.0);
  TMP3Out out;
  ASSERT_TRUE(EncodeToFile(out, source, path));
  const std::string bytes = ReadWholeFile(path);
  const Mp3Layout layout = ReadMp3Layout(bytes);
  EXPECT_EQ(layout.id3v2Size, 0u);
  EXPECT_FALSE(layout.id3v1);
  EXPECT_EQ(layout.xingId, "Info");
  EXPECT_EQ(layout.trailing, 0u);
}

TEST(MP3OutTags, TrackAndLatin1Conversion) {
  EXPECT_EQ(Utf8ToLatin1("Ä€𝄞z"), "\xC4??z");
  TId3v2Texts texts;
  EXPECT_TRUE(BuildId3v2Tag(texts).empty());
  texts.Track = "7";
  const std::string tag = BuildId3v2Tag(texts);
  ASSERT_GE(tag.size(), 10u);
  EXPECT_EQ(tag.substr(0, 5), std::string("ID3\x03\x00", 5));
  EXPECT_NE(tag.find("TRCK"), std::string::npos);
}

}  // namespace
