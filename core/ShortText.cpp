#include "ShortText.h"

#include <cstdint>

std::size_t Utf8SequenceLength(std::string_view text, std::size_t i) {
  if (i >= text.size()) return 0;
  const auto lead = static_cast<unsigned char>(text[i]);
  if (lead < 0x80) return 1;
  std::size_t length = 0;
  uint32_t cp = 0;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
    cp = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    cp = lead & 0x0F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    cp = lead & 0x07;
  } else {
    return 0;
  }
  if (text.size() - i < length) return 0;
  for (std::size_t k = 1; k < length; ++k) {
    const auto next = static_cast<unsigned char>(text[i + k]);
    if ((next & 0xC0) != 0x80) return 0;
    cp = (cp << 6) | (next & 0x3F);
  }
  if ((length == 3 && cp < 0x800) || (length == 4 && (cp < 0x10000 || cp > 0x10FFFF))) return 0;
  if (cp >= 0xD800 && cp <= 0xDFFF) return 0;
  return length;
}

namespace {
// Invalid bytes count as one character each.
std::size_t CharLength(std::string_view text, std::size_t i) {
  const std::size_t length = Utf8SequenceLength(text, i);
  return length ? length : 1;
}
}  // namespace

std::string CutToChars(std::string_view text, std::size_t maxChars) {
  std::size_t i = 0;
  for (std::size_t chars = 0; i < text.size() && chars < maxChars; ++chars) {
    i += CharLength(text, i);
  }
  return std::string(text.substr(0, i));
}

std::size_t CharCount(std::string_view text) {
  std::size_t chars = 0;
  for (std::size_t i = 0; i < text.size(); ++chars) i += CharLength(text, i);
  return chars;
}
