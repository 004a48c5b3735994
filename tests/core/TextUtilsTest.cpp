#include <gtest/gtest.h>

#include "core/Exception.h"
#include "core/TextUtils.h"

namespace {
std::vector<std::string> Split(const std::string& text, const std::string& separator) {
  std::vector<std::string> pieces;
  SplitText(text, separator, pieces);
  return pieces;
}
}  // namespace

TEST(SplitText, AlwaysAppendsTheLastPiece) {
  EXPECT_EQ(Split("a|b", "|"), (std::vector<std::string>{"a", "b"}));
  EXPECT_EQ(Split("a|", "|"), (std::vector<std::string>{"a", ""}));
  EXPECT_EQ(Split("", "|"), (std::vector<std::string>{""}));
  EXPECT_EQ(Split("\\\\srv\\\\x", "\\"), (std::vector<std::string>{"", "", "srv", "", "x"}));
  std::vector<std::string> list{"kept"};
  SplitText("x::y", "::", list);
  EXPECT_EQ(list, (std::vector<std::string>{"kept", "x", "y"})) << "pieces are appended";
}

TEST(ReplaceAll, SearchesAgainFromTheStart) {
  EXPECT_EQ(ReplaceAll("*.rm;*.ra", "*", ""), ".rm;.ra");
  EXPECT_EQ(ReplaceAll("aab", "ab", "b"), "b") << "a replacement can form a new match before it";
  EXPECT_EQ(ReplaceAll("abc", "", "x"), "abc");
  // A replacement that contains what it replaces ends after one pass instead of looping forever.
  EXPECT_EQ(ReplaceAll("a/b/c", "/", "//"), "a//b//c");
}

TEST(TrimText, RemovesBlanksAndControlCharactersAtBothEnds) {
  EXPECT_EQ(TrimText("  abc\t"), "abc");
  EXPECT_EQ(TrimText("\x01 a b \r\n"), "a b");
  EXPECT_EQ(TrimText("   "), "");
  EXPECT_EQ(TrimText("Жx "), "Жx") << "bytes of non-Latin letters are above 32";
}

TEST(LeadingNumber, ReadsTheDigitsAtTheStart) {
  EXPECT_EQ(LeadingNumber("128 kbps"), 128);
  EXPECT_EQ(LeadingNumber("44100 Hz"), 44100);
  EXPECT_EQ(LeadingNumber("7"), 7);
  EXPECT_THROW(LeadingNumber("kbps"), Exception);
  EXPECT_THROW(LeadingNumber(""), Exception);
  EXPECT_THROW(LeadingNumber("99999999999 Hz"), Exception);
}
