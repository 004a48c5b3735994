#pragma once
// The start-up check of the decoding layer: the program cannot convert anything without FFmpeg's
// RealMedia demuxer and a RealAudio decoder.

// Shown before the program ends (exit code 0) when the check fails.
extern const char* const DirectShowMissingMessage;

// True when libavformat has the RealMedia demuxer and libavcodec a RealAudio decoder.
// Keeps the old name: it stands where the DirectShow presence test stood.
bool DirectShowPresent();
