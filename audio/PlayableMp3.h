#pragma once
// Whether an MP3 file the sink wrote can be played: a reader finds its audio and decodes from it.
#include <string>

// True when the MP3 demuxer opens the file and at least one frame of it decodes to audio.
bool IsPlayableMp3(const std::string& path);
