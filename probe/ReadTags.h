#pragma once
// Tag extraction by container type: the parser chosen by the file name's extension, and for
// RealMedia an ID3v1 tag filling what the container lacks.
#include <string>

#include "id3_tag.h"

// Zeroes info and fills it from the file at path. Never fails: an unreadable file gives no texts.
// Releases the texts of this thread's previous ReadTags first; the new ones stay valid until the next.
void ReadTags(const std::string& path, TTagInfo& info);
