#pragma once
// The program's plain text files (tips, tag histories): one entry a line, read whole.
#include <string>
#include <vector>

// The lines of the file at path, without their line ends (LF or CR LF); a last line without a line end
// is still a line, and an empty file has none. Each line is UTF-8; a line that is not valid UTF-8 is
// read as Windows-1252, as tag texts are, and NUL bytes become blanks. False, with lines untouched, when
// the file cannot be opened or read (a missing file, a folder).
bool ReadTextLines(const std::string& path, std::vector<std::string>& lines);
