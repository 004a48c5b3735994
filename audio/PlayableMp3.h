#pragma once
// Whether an MP3 file the sink wrote can be played: a reader finds its audio and decodes from it.
#include <string>

// True when path names a regular file that the MP3 demuxer opens and whose first frames decode to
// audio, all within a few seconds.
bool IsPlayableMp3(const std::string& path);
