#pragma once
// Small text routines shared by the windows.
#include <cstdint>
#include <string>
#include <vector>

// Appends the pieces of text between separators to list; the last piece is always appended.
void SplitText(const std::string& text, const std::string& separator, std::vector<std::string>& list);
// Replaces find by replacement, searching again from the start after every replacement.
std::string ReplaceAll(std::string text, const std::string& find, const std::string& replacement);
// Removes characters with codes 32 and below from both ends.
std::string TrimText(const std::string& text);
// The decimal value of the digits at the start of text ("128 kbps" gives 128); throws Exception
// when the text does not start with a digit or the number does not fit 32 bits.
int32_t LeadingNumber(const std::string& text);
