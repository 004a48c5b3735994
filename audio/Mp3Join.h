#pragma once
// Joins the MP3 frames of two encoder instances that encoded overlapping stretches of one file, so
// that the later one keeps its bit reservoir: at the join frame the reservoir bytes it takes from the
// frames before it are put into the earlier instance's unused tail.
#include <cstddef>
#include <cstdint>
#include <vector>

// One frame of a stretch, in the stretch's main-data coordinates (the bytes after each frame's header
// and side information, frame after frame).
struct TJoinFrame {
  size_t Offset = 0;       // of the header in the stretch's bytes
  size_t Payload = 0;      // of the main data in the stretch's bytes
  size_t PayloadSize = 0;  // main-data bytes the frame's slot holds
  int64_t MainPos = 0;     // main-data position of Payload
  int64_t DataBegin = 0;   // main-data position where the frame's audio data begins (MainPos - backstep)
  int64_t DataEnd = 0;     // and where it ends (rounded up to a byte)
};

// The frames of bytes from offset from on (whole frames only); false when the bytes hold anything else.
bool LayoutJoinFrames(const std::vector<unsigned char>& bytes, size_t from, std::vector<TJoinFrame>& frames);

// a holds frames aFirst... of the file, b frames bFirst...; b's first frame takes nothing from before it.
// Chooses the join frame k: the first from preferred on, else the last before it, at which b's reservoir
// bytes fit into a (a byte a's own frames use must already be b's). Puts them into a, and returns k;
// a's frames before k and b's from k on then make one valid stream. -1 when no frame joins.
int64_t JoinStretches(std::vector<unsigned char>& a, const std::vector<TJoinFrame>& aFrames, int64_t aFirst,
                      const std::vector<unsigned char>& b, const std::vector<TJoinFrame>& bFrames,
                      int64_t bFirst, int64_t preferred);
