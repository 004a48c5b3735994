#include "audio/Id3v2Tag.h"

#include <QString>
#include <cstdint>

namespace {

void AppendBigEndian32(std::string& out, uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(char((value >> shift) & 0xFF));
}

// Text with its byte order mark, UTF-16 little-endian, without the terminator.
std::string Utf16WithBom(const std::string& utf8) {
  std::string out("\xFF\xFE", 2);
  for (char16_t unit : QString::fromUtf8(utf8.data(), qsizetype(utf8.size())).toStdU16String()) {
    out.push_back(char(unit & 0xFF));
    out.push_back(char(unit >> 8));
  }
  return out;
}

void AppendFrame(std::string& tag, const char* id, const std::string& body) {
  tag.append(id, 4);
  AppendBigEndian32(tag, uint32_t(body.size()));
  tag.append(2, '\0');  // no frame flags
  tag += body;
}

void AppendTextFrame(std::string& tag, const char* id, const std::string& text) {
  if (text.empty()) return;
  AppendFrame(tag, id, std::string(1, '\x01') + Utf16WithBom(text));
}

}  // namespace

std::string BuildId3v2Tag(const TId3v2Texts& texts) {
  std::string frames;
  AppendTextFrame(frames, "TIT2", texts.Title);
  AppendTextFrame(frames, "TPE1", texts.Artist);
  AppendTextFrame(frames, "TALB", texts.Album);
  AppendTextFrame(frames, "TYER", texts.Year);
  AppendTextFrame(frames, "TRCK", texts.Track);
  AppendTextFrame(frames, "TCON", texts.Genre);
  if (!texts.Comment.empty()) {
    // Encoding, language, an empty description (BOM and a two-byte terminator), then the text.
    std::string body(
        "\x01"
        "eng",
        4);
    body += Utf16WithBom(std::string());
    body.append(2, '\0');
    body += Utf16WithBom(texts.Comment);
    AppendFrame(frames, "COMM", body);
  }
  if (frames.empty()) return std::string();
  std::string tag("ID3\x03\x00\x00", 6);  // version 2.3, no flags
  const uint32_t size = uint32_t(frames.size());
  // The tag size is "synchsafe": 7 bits a byte.
  for (int shift = 21; shift >= 0; shift -= 7) tag.push_back(char((size >> shift) & 0x7F));
  return tag + frames;
}

std::string Utf8ToLatin1(const std::string& text) {
  std::string out;
  for (char32_t c : QString::fromUtf8(text.data(), qsizetype(text.size())).toStdU32String()) {
    out.push_back(c <= 0xFF ? char(c) : '?');
  }
  return out;
}
