#include "TextUtils.h"

#include <limits>

#include "Exception.h"

void SplitText(const std::string& text, const std::string& separator, std::vector<std::string>& list) {
  if (separator.empty()) {
    list.push_back(text);
    return;
  }
  std::size_t start = 0;
  for (;;) {
    const std::size_t found = text.find(separator, start);
    if (found == std::string::npos) {
      list.push_back(text.substr(start));
      return;
    }
    list.push_back(text.substr(start, found - start));
    start = found + separator.size();
  }
}

std::string ReplaceAll(std::string text, const std::string& find, const std::string& replacement) {
  if (find.empty()) return text;
  // A replacement that contains find would make the search-from-start loop endless:
  // then one left-to-right pass is the only sound meaning.
  const bool restartFromBeginning = replacement.find(find) == std::string::npos;
  std::size_t from = 0;
  for (;;) {
    const std::size_t found = text.find(find, from);
    if (found == std::string::npos) return text;
    text.replace(found, find.size(), replacement);
    from = restartFromBeginning ? 0 : found + replacement.size();
  }
}

std::string TrimText(const std::string& text) {
  std::size_t first = 0;
  std::size_t last = text.size();
  while (first < last && static_cast<unsigned char>(text[first]) <= 32) ++first;
  while (last > first && static_cast<unsigned char>(text[last - 1]) <= 32) --last;
  return text.substr(first, last - first);
}

int32_t LeadingNumber(const std::string& text) {
  int64_t value = 0;
  std::size_t i = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    value = value * 10 + (text[i] - '0');
    if (value > std::numeric_limits<int32_t>::max()) break;
  }
  if (i == 0 || value > std::numeric_limits<int32_t>::max())
    throw Exception("'" + text + "' is not a valid integer value");
  return static_cast<int32_t>(value);
}
