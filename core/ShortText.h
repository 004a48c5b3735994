#pragma once
// A UTF-8 text of at most 255 characters: longer texts are cut when they are assigned,
// always at a character boundary, never inside a multi-byte sequence.
#include <string>
#include <string_view>

// Length of the well-formed UTF-8 sequence that starts at text[i] (1 to 4), or 0 when none does: a
// stray continuation byte, a cut sequence, an overlong form, a surrogate or a value above U+10FFFF.
// The one walker behind cutting texts and validating tag bytes.
std::size_t Utf8SequenceLength(std::string_view text, std::size_t i);

// The first maxChars characters of a UTF-8 text (invalid bytes count as one character each).
std::string CutToChars(std::string_view text, std::size_t maxChars);
// Number of characters of a UTF-8 text, counted as CutToChars counts them.
std::size_t CharCount(std::string_view text);

class ShortText {
 public:
  static constexpr std::size_t MaxChars = 255;

  ShortText() = default;
  ShortText(std::string_view text) : text_(CutToChars(text, MaxChars)) {}
  ShortText(const char* text) : ShortText(std::string_view(text ? text : "")) {}
  ShortText(const std::string& text) : ShortText(std::string_view(text)) {}

  const std::string& str() const { return text_; }
  const char* c_str() const { return text_.c_str(); }
  bool empty() const { return text_.empty(); }
  operator const std::string&() const { return text_; }

  friend bool operator==(const ShortText& a, const ShortText& b) { return a.text_ == b.text_; }
  friend bool operator!=(const ShortText& a, const ShortText& b) { return a.text_ != b.text_; }
  friend bool operator==(const ShortText& a, const std::string& b) { return a.text_ == b; }
  friend bool operator!=(const ShortText& a, const std::string& b) { return a.text_ != b; }
  friend bool operator==(const ShortText& a, const char* b) { return a.text_ == b; }
  friend bool operator!=(const ShortText& a, const char* b) { return a.text_ != b; }

 private:
  std::string text_;
};
