#pragma once
// Storage for the texts the tag parsers hand out (see id3_tag.h for their lifetime).
#include <string>
#include <string_view>

// Keeps a UTF-8 text, its control characters made spaces, and returns its address; an empty text is
// "no such item" and gives nullptr.
const char* KeepTagText(std::string text);

// KeepTagText of a legacy 8-bit text: UTF-8 stays, anything else is read as Windows-1252.
const char* KeepTagBytes(std::string_view bytes);
