#include "TagTextPool.h"

#include <list>

#include "TextDecoding.h"
#include "id3_tag.h"

namespace {
// A list never moves its elements, so an address handed out stays valid while more are added.
thread_local std::list<std::string> keptTexts;
}  // namespace

const char* KeepTagText(std::string text) {
  if (text.empty()) return nullptr;
  keptTexts.push_back(WithoutControlCharacters(std::move(text)));
  return keptTexts.back().c_str();
}

const char* KeepTagBytes(std::string_view bytes) { return KeepTagText(TagBytesToUtf8(bytes)); }

void ReleaseTagTexts() { keptTexts.clear(); }
