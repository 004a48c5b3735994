#include <gtest/gtest.h>

#include "probe/TextDecoding.h"

TEST(TextDecodingTest, RecognisesWellFormedUtf8Only) {
  EXPECT_TRUE(IsValidUtf8(""));
  EXPECT_TRUE(IsValidUtf8("plain"));
  EXPECT_TRUE(IsValidUtf8("Caf\xC3\xA9 \xE9\x9F\xB3 \xF0\x9F\x8E\xB5"));
  EXPECT_FALSE(IsValidUtf8("Caf\xE9"));           // Latin-1 é
  EXPECT_FALSE(IsValidUtf8("\xC0\xAF"));          // overlong "/"
  EXPECT_FALSE(IsValidUtf8("\xE0\x80\xAF"));      // overlong, three bytes
  EXPECT_FALSE(IsValidUtf8("\xED\xA0\x80"));      // a surrogate
  EXPECT_FALSE(IsValidUtf8("\xF4\x90\x80\x80"));  // above U+10FFFF
  EXPECT_FALSE(IsValidUtf8("\xE9\x9F"));          // cut sequence
}

TEST(TextDecodingTest, LegacyBytesAreWindows1252) {
  EXPECT_EQ(TagBytesToUtf8("Caf\xE9 \xE0 la cr\xE8me"), "Caf\xC3\xA9 \xC3\xA0 la cr\xC3\xA8me");
  EXPECT_EQ(TagBytesToUtf8("\x80 \x93quoted\x94 \x99"),
            "\xE2\x82\xAC \xE2\x80\x9Cquoted\xE2\x80\x9D \xE2\x84\xA2");
  // Unassigned bytes keep their value rather than vanishing.
  EXPECT_EQ(TagBytesToUtf8("\x81"), "\xC2\x81");
  EXPECT_EQ(TagBytesToUtf8("Caf\xC3\xA9"), "Caf\xC3\xA9") << "UTF-8 stays as it is";
}

TEST(TextDecodingTest, AFullFieldMayEndInsideAUtf8Character) {
  EXPECT_EQ(FullFieldBytesToUtf8("\xD0\x9C\xD0\xB8\xD1"), "\xD0\x9C\xD0\xB8") << "1 of 2 bytes dropped";
  EXPECT_EQ(FullFieldBytesToUtf8("\xC3\xA9 \xF0\x9F\x8E"), "\xC3\xA9 ") << "3 of 4 bytes dropped";
  EXPECT_EQ(FullFieldBytesToUtf8("\xC3\xA9 \xE9\x9F\xB3"), "\xC3\xA9 \xE9\x9F\xB3") << "whole UTF-8 stays";
  // ASCII before a last high byte is no sign of UTF-8: Windows-1252 keeps its letter.
  EXPECT_EQ(FullFieldBytesToUtf8("Caf\xE9"), "Caf\xC3\xA9");
  // Invalid UTF-8 before the end: the whole field is Windows-1252.
  EXPECT_EQ(FullFieldBytesToUtf8("\xE9t\xE9 \xC3\xA9\xC3"), "\xC3\xA9t\xC3\xA9 \xC3\x83\xC2\xA9\xC3\x83");
}

TEST(TextDecodingTest, Utf16LittleEndian) {
  using namespace std::string_literals;
  EXPECT_EQ(Utf16LeToUtf8("P\0h\0"s), "Ph");
  EXPECT_EQ(Utf16LeToUtf8("\xE5\x00"s), "\xC3\xA5");
  EXPECT_EQ(Utf16LeToUtf8("\x3C\xD8\xB5\xDF"s), "\xF0\x9F\x8E\xB5");  // a surrogate pair
  EXPECT_EQ(Utf16LeToUtf8("\x3C\xD8"
                          "A\0"s),
            "\xEF\xBF\xBD"
            "A");  // unpaired high surrogate
  EXPECT_EQ(Utf16LeToUtf8("A\0B"s), "A") << "an odd last byte is ignored";
  EXPECT_EQ(UpToNul("ab\0cd"s), "ab");
  EXPECT_EQ(TrimTrailingNulsAndBlanks("ab \0 \0"s), "ab");
}
