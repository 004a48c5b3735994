#include "MediaEditing.h"

#include <stdexcept>

namespace {

uint32_t BE32(const std::string& bytes, std::size_t at) {
  uint32_t value = 0;
  for (std::size_t k = 0; k < 4; ++k) value = (value << 8) | static_cast<unsigned char>(bytes.at(at + k));
  return value;
}

void AppendBE16(std::string& out, std::size_t value) {
  out += static_cast<char>((value >> 8) & 0xFF);
  out += static_cast<char>(value & 0xFF);
}

std::string Padded(const std::string& text, std::size_t width) {
  std::string field = text.substr(0, width);
  field.resize(width, '\0');
  return field;
}

}  // namespace

void PutBE32(std::string& bytes, std::size_t at, uint32_t value) {
  for (std::size_t k = 0; k < 4; ++k) bytes.at(at + k) = static_cast<char>((value >> (24 - 8 * k)) & 0xFF);
}

void PutLE32(std::string& bytes, std::size_t at, uint32_t value) {
  for (std::size_t k = 0; k < 4; ++k) bytes.at(at + k) = static_cast<char>((value >> (8 * k)) & 0xFF);
}

std::vector<RmChunk> RmChunks(const std::string& bytes) {
  std::vector<RmChunk> chunks;
  std::size_t offset = 0;
  while (offset + 8 <= bytes.size()) {
    RmChunk chunk{bytes.substr(offset, 4), offset, BE32(bytes, offset + 4)};
    chunks.push_back(chunk);
    if (chunk.id == "DATA" || chunk.size < 10) break;
    offset += chunk.size;
  }
  return chunks;
}

std::string WithContTexts(const std::string& bytes, const std::string& title, const std::string& author,
                          const std::string& copyright, const std::string& comment) {
  std::string cont = "CONT";
  cont.append(4, '\0');
  AppendBE16(cont, 0);  // version
  for (const std::string* text : {&title, &author, &copyright, &comment}) {
    AppendBE16(cont, text->size());
    cont += *text;
  }
  PutBE32(cont, 4, static_cast<uint32_t>(cont.size()));

  const std::vector<RmChunk> chunks = RmChunks(bytes);
  const RmChunk* old = nullptr;
  const RmChunk* prop = nullptr;
  for (const RmChunk& chunk : chunks) {
    if (chunk.id == "CONT") old = &chunk;
    if (chunk.id == "PROP") prop = &chunk;
  }
  if (!old || !prop) throw std::runtime_error("no CONT or PROP chunk");
  std::string result = bytes.substr(0, old->offset) + cont + bytes.substr(old->offset + old->size);
  const int64_t shift = static_cast<int64_t>(cont.size()) - static_cast<int64_t>(old->size);
  for (const std::size_t field : {prop->offset + 38, prop->offset + 42}) {  // index and data offsets
    const uint32_t value = BE32(result, field);
    if (value > old->offset) PutBE32(result, field, static_cast<uint32_t>(value + shift));
  }
  return result;
}

std::string Id3v1Tag(const Id3v1Fields& fields) {
  std::string tag = "TAG" + Padded(fields.title, 30) + Padded(fields.artist, 30) + Padded(fields.album, 30) +
                    Padded(fields.year, 4);
  if (fields.track > 0) {
    tag += Padded(fields.comment, 28) + '\0' + static_cast<char>(fields.track);
  } else {
    tag += Padded(fields.comment, 30);
  }
  tag += static_cast<char>(fields.genre);
  return tag;
}
