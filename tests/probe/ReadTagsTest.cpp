#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <string>

#include "MediaEditing.h"
#include "probe/ReadTags.h"
#include "probe/TextDecoding.h"
#include "tests/support/MediaReader.h"
#include "tests/support/TestEnvironment.h"

namespace {

std::string Text(const char* text) { return text ? text : "<absent>"; }

class ReadTagsTest : public ::testing::Test {
 protected:
  std::string Folder() const { return dir.path().toStdString() + "/"; }
  // Writes bytes into the temporary folder under name and returns the path.
  std::string Make(const std::string& name, const std::string& bytes) const {
    WriteWholeFile(Folder() + name, bytes);
    return Folder() + name;
  }
  QTemporaryDir dir;
};

struct ContainerTexts {
  const char* file;
  const char* title;
  const char* author;
  const char* copyright;
  const char* comment;
};

TEST_F(ReadTagsTest, CommittedRealMediaFilesGiveTheirContainerTexts) {
  const ContainerTexts expected[] = {
      {"ra144.rm", "Tone 550", "Tolvane Tests", "(c) 2024 Tolvane", "RealAudio 14.4 in .rm"},
      {"ac3-stereo.rm", "Café Ünïcødé — Привет 音楽", "Åsa Ørsted / Дмитрий / 山田太郎",
       "© 2024 Élan Музыка 株式会社", "Grüße, мир, 你好"},
      {"aac.rm", "Tone 660", "Tolvane Tests", "(c) 2024 Tolvane", "AAC in .rm"},
      {"video-ac3-mono.rmvb", "Tone 880", "Tolvane Tests", "(c) 2024 Tolvane", "RealVideo with AC-3 mono"},
      {"video-only.rm", "No Audio", "Tolvane Tests", "(c) 2024 Tolvane", "RealVideo without audio"},
      {"surround51.rm", "Tone 770", "Tolvane Tests", "(c) 2024 Tolvane", "AC-3 5.1 surround"},
  };
  for (const ContainerTexts& file : expected) {
    SCOPED_TRACE(file.file);
    TTagInfo tags;
    ReadTags(TestDataFile(file.file), tags);
    EXPECT_EQ(Text(tags.TagTitle), file.title);
    EXPECT_EQ(Text(tags.TagArtist), file.author);
    EXPECT_EQ(Text(tags.TagComment), file.comment);
    EXPECT_EQ(Text(tags.TagComment2), file.copyright);
    EXPECT_EQ(tags.TagAlbum, nullptr);
    EXPECT_EQ(tags.TagArtist2, nullptr);
  }
}

TEST_F(ReadTagsTest, DurationComesFromTheContainerProperties) {
  TTagInfo tags;
  const std::string path = TestDataFile("ac3-stereo.rm");
  ReadTags(path, tags);
  const DecodedMedia media = DecodeMedia(path);
  ASSERT_GT(media.containerSeconds, 1.0);
  EXPECT_NEAR(tags.TagDuration / 1e7, media.containerSeconds, 0.01);
  ReadTags(TestDataFile("aac.rm"), tags);
  EXPECT_EQ(tags.TagDuration, 0) << "the container states no duration";
}

TEST_F(ReadTagsTest, LegacyBytesInTheContainerAreWindows1252) {
  const std::string source = ReadWholeFile(TestDataFile("ac3-stereo.rm"));
  const std::string path =
      Make("latin.rm", WithContTexts(source, "Caf\xE9 cr\xE8me", "Bj\xF6rk Gu\xF0mundsd\xF3ttir",
                                     "\xA9 2004 Label", "\x93quoted\x94 \x80 5"));
  TTagInfo tags;
  ReadTags(path, tags);
  EXPECT_EQ(Text(tags.TagTitle), "Café crème");
  EXPECT_EQ(Text(tags.TagArtist), "Björk Guðmundsdóttir");
  EXPECT_EQ(Text(tags.TagComment2), "© 2004 Label");
  EXPECT_EQ(Text(tags.TagComment), "“quoted” € 5");
}

TEST_F(ReadTagsTest, ControlCharactersInTextsBecomeSpaces) {
  const std::string source = ReadWholeFile(TestDataFile("ac3-stereo.rm"));
  Id3v1Fields id3;
  id3.album = "Tab\there\x7F!";
  const std::string path =
      Make("control.rm",
           WithContTexts(source, "Line\nFeed\x1B[31m", "Bell\x07", "", "Carriage\r\nReturn") + Id3v1Tag(id3));
  TTagInfo tags;
  ReadTags(path, tags);
  EXPECT_EQ(Text(tags.TagTitle), "Line Feed [31m");  // a line feed and an ESC byte: two spaces
  EXPECT_EQ(Text(tags.TagArtist), "Bell ");
  EXPECT_EQ(Text(tags.TagComment), "Carriage  Return");
  EXPECT_EQ(Text(tags.TagAlbum), "Tab here !");  // from the ID3v1 tag
  EXPECT_EQ(WithoutControlCharacters("\x01\x1F \x7F\xC3\xA9\t"), "    \xC3\xA9 ");
}

TEST_F(ReadTagsTest, CutFileKeepsTheTextsThatAreWhole) {
  const std::string source = ReadWholeFile(TestDataFile("ra144.rm"));
  std::size_t contEnd = 0;
  for (const RmChunk& chunk : RmChunks(source)) {
    if (chunk.id == "CONT") contEnd = chunk.offset + chunk.size;
  }
  ASSERT_GT(contEnd, 0u);
  // Cut inside the comment, the last text of the chunk.
  TTagInfo tags;
  ReadTags(Make("cut.rm", source.substr(0, contEnd - 5)), tags);
  EXPECT_EQ(Text(tags.TagTitle), "Tone 550");
  EXPECT_EQ(Text(tags.TagArtist), "Tolvane Tests");
  EXPECT_EQ(Text(tags.TagComment2), "(c) 2024 Tolvane");
  EXPECT_EQ(tags.TagComment, nullptr);
}

TEST_F(ReadTagsTest, Id3v1FillsOnlyWhatTheContainerLacks) {
  const std::string source = ReadWholeFile(TestDataFile("ac3-stereo.rm"));
  TTagInfo original;
  ReadTags(TestDataFile("ac3-stereo.rm"), original);
  const int64_t containerDuration = original.TagDuration;
  ASSERT_GT(containerDuration, 0);

  Id3v1Fields id3;
  id3.title = "Id3 Title";
  id3.artist = "Id3 Artist";
  id3.album = "Alb\xFCm";
  id3.year = "1999";
  id3.comment = "Id3 comment";
  id3.track = 7;
  id3.genre = 17;
  const std::string path =
      Make("merged.rm", WithContTexts(source, "Container Title", "", "", "") + Id3v1Tag(id3));
  TTagInfo tags;
  ReadTags(path, tags);
  EXPECT_EQ(Text(tags.TagTitle), "Container Title");
  EXPECT_EQ(Text(tags.TagArtist), "Id3 Artist");
  EXPECT_EQ(Text(tags.TagAlbum), "Albüm");
  EXPECT_EQ(Text(tags.TagYear), "1999");
  EXPECT_EQ(Text(tags.TagComment), "Id3 comment");
  EXPECT_EQ(Text(tags.TagGenre), "Rock");
  EXPECT_EQ(tags.TagNumber, 7);
  EXPECT_EQ(tags.TagDuration, containerDuration) << "the ID3v1 tag never gives a duration";

  // A container with every text keeps them all.
  ReadTags(Make("full.rm", source + Id3v1Tag(id3)), tags);
  EXPECT_EQ(Text(tags.TagTitle), "Café Ünïcødé — Привет 音楽");
  EXPECT_EQ(Text(tags.TagComment), "Grüße, мир, 你好");
  EXPECT_EQ(Text(tags.TagAlbum), "Albüm") << "the container has no album";
}

TEST_F(ReadTagsTest, ExtensionChoosesTheParserWhateverItsCase) {
  Id3v1Fields id3;
  id3.album = "From Id3";
  const std::string rmvb = ReadWholeFile(TestDataFile("video-ac3-mono.rmvb")) + Id3v1Tag(id3);
  TTagInfo lower, upper;
  ReadTags(Make("clip.rmvb", rmvb), lower);
  ReadTags(Make("clip.RMVB", rmvb), upper);
  EXPECT_EQ(Text(upper.TagTitle), "Tone 880");
  EXPECT_EQ(Text(upper.TagAlbum), "From Id3");
  EXPECT_EQ(upper.TagDuration, lower.TagDuration);

  // RealAudio names get no parser at all, whatever the file holds.
  const std::string rm = ReadWholeFile(TestDataFile("ra144.rm")) + Id3v1Tag(id3);
  for (const char* name : {"song.ra", "song.rma", "song.RA", "noextension", "song.rm.txt"}) {
    SCOPED_TRACE(name);
    TTagInfo tags;
    tags.TagTitle = "stale";
    ReadTags(Make(name, rm), tags);
    EXPECT_EQ(tags.TagTitle, nullptr);
    EXPECT_EQ(tags.TagAlbum, nullptr);
    EXPECT_EQ(tags.TagDuration, 0);
  }
}

TEST_F(ReadTagsTest, WindowsMediaHeaderGivesItsGenreAndIgnoresId3v1) {
  TOLVANE_REQUIRE_SAMPLE(sample, "ASF.wmv");
  const std::string asf = ReadWholeFile(sample);
  TTagInfo tags;
  ReadTags(sample, tags);
  EXPECT_EQ(Text(tags.TagGenre), "Photo Story");
  EXPECT_GT(tags.TagDuration, 0);

  Id3v1Fields id3;
  id3.title = "Id3 Title";
  for (const char* name : {"with-id3.wmv", "with-id3.ASF"}) {
    SCOPED_TRACE(name);
    ReadTags(Make(name, asf + Id3v1Tag(id3)), tags);
    EXPECT_EQ(Text(tags.TagGenre), "Photo Story");
    EXPECT_EQ(tags.TagTitle, nullptr);
  }
}

TEST_F(ReadTagsTest, QuickTimeMetadataInUtf8) {
  TOLVANE_REQUIRE_SAMPLE(sample, "QuickTime.mov");
  TTagInfo tags;
  ReadTags(sample, tags);
  EXPECT_EQ(Text(tags.TagAlbum), "ålbum");
  EXPECT_EQ(Text(tags.TagArtist), "årtist");
  EXPECT_EQ(Text(tags.TagComment), "çømménts");
  EXPECT_GT(tags.TagDuration, 0);
  TTagInfo asMp4;
  ReadTags(Make("same.MP4", ReadWholeFile(sample)), asMp4);
  EXPECT_EQ(Text(asMp4.TagAlbum), "ålbum");
}

TEST_F(ReadTagsTest, Id3v1FieldsAreTrimmedAndDecoded) {
  Id3v1Fields id3;
  id3.title = "Title with blanks   ";
  id3.artist = "Mot\xF6rhead";
  id3.comment = std::string(30, 'c');
  id3.genre = 255;
  TTagInfo tags;
  ASSERT_EQ(getid3_id3v1(Make("v10.mp3", std::string(300, 'x') + Id3v1Tag(id3)).c_str(), &tags), 0);
  EXPECT_EQ(Text(tags.TagTitle), "Title with blanks");
  EXPECT_EQ(Text(tags.TagArtist), "Motörhead");
  EXPECT_EQ(Text(tags.TagComment), std::string(30, 'c')) << "ID3v1.0: the whole comment, no track";
  EXPECT_EQ(tags.TagNumber, 0);
  EXPECT_EQ(tags.TagAlbum, nullptr);
  EXPECT_EQ(tags.TagGenre, nullptr) << "genre 255 is none";

  // UTF-8 cut by its writer at the field's 30th byte, inside a character: the whole characters stay.
  const std::string music =
      "Caf\xC3\xA9 \xE9\x9F\xB3\xE6\xA5\xBD \xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82";
  Id3v1Fields cut;
  cut.title = (music + " \xE9\x9F\xB3\xE6\xA5\xBD").substr(0, 30);  // ends in 1 of 3 bytes
  cut.artist = (music + "abc\xE9\x9F\xB3").substr(0, 30);           // ends in 2 of 3 bytes
  cut.album = "Latin-1 at the end:  caf\xE9 caf\xE9";               // full, and no UTF-8 at all
  ASSERT_EQ(cut.title.size(), 30u);
  TTagInfo cutTags;
  ASSERT_EQ(getid3_id3v1(Make("cut.mp3", std::string(300, 'x') + Id3v1Tag(cut)).c_str(), &cutTags), 0);
  EXPECT_EQ(Text(cutTags.TagTitle), music + " \xE9\x9F\xB3");
  EXPECT_EQ(Text(cutTags.TagArtist), music + "abc");
  EXPECT_EQ(Text(cutTags.TagAlbum), "Latin-1 at the end:  caf\xC3\xA9 caf\xC3\xA9");

  TTagInfo none;
  EXPECT_NE(getid3_id3v1(Make("short.rm", "TAG").c_str(), &none), 0);
  EXPECT_NE(getid3_id3v1(Make("notag.rm", std::string(200, 'T')).c_str(), &none), 0);
  EXPECT_EQ(none.TagTitle, nullptr);
  EXPECT_EQ(Id3v1GenreName(0), std::string("Blues"));
  EXPECT_EQ(Id3v1GenreName(147), std::string("Synthpop"));
  EXPECT_EQ(Id3v1GenreName(148), nullptr);
}

}  // namespace
