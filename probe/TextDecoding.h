#pragma once
// Tag texts arrive from files in several encodings; inside the program every text is UTF-8.
#include <cstdint>
#include <string>
#include <string_view>

// True when text is well-formed UTF-8 (no overlong forms, no surrogates, nothing above U+10FFFF).
bool IsValidUtf8(std::string_view text);

// The text with every control byte (below 32, and DEL) made a space, so that a tag text never carries
// a line break or an escape sequence into the task list, the windows or the MP3.
std::string WithoutControlCharacters(std::string text);

// Legacy 8-bit bytes read as Windows-1252; the five bytes that code page leaves unassigned
// keep their own value (U+0081 and so on), so no byte is ever lost.
std::string Windows1252ToUtf8(std::string_view bytes);

// A legacy 8-bit tag text: kept when it is already UTF-8, otherwise decoded as Windows-1252.
std::string TagBytesToUtf8(std::string_view bytes);

// A legacy text that filled its fixed-width field: a writer that cut UTF-8 at the field's end leaves an
// incomplete last character. When the rest is UTF-8 with at least one non-ASCII character, that rest is
// the text; otherwise the field is read as TagBytesToUtf8 reads it.
std::string FullFieldBytesToUtf8(std::string_view bytes);

// UTF-16 little-endian bytes (an odd last byte is ignored); unpaired surrogates become U+FFFD.
std::string Utf16LeToUtf8(std::string_view bytes);

// The text up to its first NUL byte.
std::string_view UpToNul(std::string_view text);

// The text without trailing NUL bytes and blanks.
std::string_view TrimTrailingNulsAndBlanks(std::string_view text);
