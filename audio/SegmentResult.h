#pragma once
// What the segments of one file hand over to the file: a finished segment, and the start of a run that
// began with one encoder and goes on in segments.
#include <cstdint>
#include <vector>

// A finished segment, in file order: its kept frames, which overlap the segments beside it.
struct TSegmentResult {
  std::vector<unsigned char> Frames;    // the first segment's open with the encoder's empty tag frame
  std::vector<unsigned char> TagFrame;  // the first segment's encoder tag frame, else empty
  int64_t FirstFrame = 0;               // the file's frame its first kept frame is
  int64_t OwnFrame = 0;                 // the file's frame where it takes over from the one before
  int64_t NextFirstFrame = -1;          // the first kept frame of the segment after it (-1: none)
  int Padding = -1;                     // flushed (the file's last): its encoder padding
  bool TagOpens = false;                // Frames opens with the empty tag frame (TagFrame's size)
};

// A run that began with one encoder and goes on in segments: what that encoder has done so far.
struct TSegmentTakeOver {
  int64_t Read = 0;                  // input sample frames it was given
  int64_t Frames = 0;                // its frames in the file already
  std::vector<unsigned char> Bytes;  // what it wrote of the frames after those, from a header on
};
