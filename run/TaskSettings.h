#pragma once
// How a task's settings reach the MP3 sink before its conversion starts.
class TMP3Out;
struct TTaskRecord;

// Output file, bitrate (its first position in BitrateTable; a bitrate not in the table keeps the
// sink's current one), VBR bounds, channel mode, VBR switch and header, sample rate and the six tag
// texts. Every other setting of the sink keeps its value (the track is never set).
void ApplyTaskToMP3Out(TMP3Out& out, const TTaskRecord& task);
