#pragma once
// The MP3 sink's settings as the progress window holds them; the run then sets each task's own.
class TMP3Out;

// BitRate br192, Quality ql2, SampleRate sr41kHz, Original off, VBRQuality ql2, SuspendWhenIdle on,
// FileMode foRewrite.
void ApplyProgressWindowDesign(TMP3Out& out);
