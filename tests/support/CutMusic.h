#pragma once
// A real-music RealMedia file cut as a failed download leaves it: its header still states the whole
// duration, but only the first tenth of its bytes is there.
#include <string>

// Writes into folder, as name, the music of the firstrun.rm sample played ten times over (182 s) as
// AC-3 in RealMedia, made with the ffmpeg tool, then cut to a tenth of its bytes (about 18 s of
// audio). Returns the path, or empty when the sample or the ffmpeg tool is missing.
std::string MakeCutMusic(const std::string& folder, const std::string& name);
