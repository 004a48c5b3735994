#pragma once
// The MP3 frames of one file as they go to it, in order, through a byte sink: first what one encoder
// streams, then the segments of several encoders, each joined to the one before where they overlap.
// It keeps the totals of the frames in the file and the tag frame that describes them all. It runs no
// threads: the sink's worker hands it the bytes and the segments as they are finished.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "audio/LameTagFrame.h"
#include "audio/Mp3Join.h"
#include "audio/SegmentResult.h"

class TMp3Encoder;

// Where the file's bytes go: all of them, or it raises.
class TMp3ByteSink {
 public:
  virtual ~TMp3ByteSink() = default;
  virtual void Write(const unsigned char* data, size_t size) = 0;
};

class TMp3Assembly {
 public:
  // A new file, whose bytes go to sink (which must outlive the file); fileName names it in messages.
  void Begin(TMp3ByteSink& sink, std::string fileName);

  // One encoder's bytes as it gives them. Uncounted, they go straight to the file. Counted (the run may
  // go on in segments), whole frames go out in runs and count for the tag, and the incomplete last one
  // waits; the encoder tells whether the first frame is its empty tag frame, which is no audio. Bytes
  // that are no frame end the counting: the run then stays with its one encoder.
  void CountStream(const TMp3Encoder& encoder);
  void Stream(const unsigned char* data, size_t size);
  // Segments may go on from here: the stream is counted and an audio frame of it is in the file.
  bool CanTakeOver() const { return counting_ && !tagFrameDue_ && streamedFrames_ > 0; }
  // The stream ends; the first segment goes on after its frames in the file (read: the input sample
  // frames the encoder was given).
  TSegmentTakeOver TakeOver(int64_t read);
  // The one encoder's run ends: what waits goes out.
  void EndStream();

  // The next finished segment in file order. Raises ESndException for bytes that are no frames and
  // segments that do not join.
  void AddSegment(TSegmentResult segment);
  // No segment follows: the last one goes out whole.
  void EndSegments();

  // The file's frames before this one are in the file (segments only).
  int64_t FramesInFile() const { return hasPending_ ? pending_.Written : 0; }
  // The file's last segment is in the file, flushed: the whole input is in it.
  bool Flushed() const { return lastPadding_ >= 0; }
  // The file's frames at which the segments joined.
  const std::vector<int64_t>& Joins() const { return joins_; }
  const TLameTagTotals& Totals() const { return totals_; }
  // The tag frame of the whole file, into frame: false when there is none (no tag frame, or no audio).
  // Raises ESndException when the encoder's tag frame cannot be completed.
  bool CompleteTagFrame(std::vector<unsigned char>& frame) const;

 private:
  struct TPending {
    std::vector<unsigned char> Bytes;
    std::vector<TJoinFrame> Frames;
    int64_t First = 0;    // the file's frame Frames[0] is
    int64_t Written = 0;  // the file's frames before this one are in the file
    int Padding = -1;
  };
  void Write(const unsigned char* data, size_t size);
  void WriteStreamedFrames();
  void WritePendingUpTo(int64_t frame, bool last);
  [[noreturn]] void RaiseNoFrames() const;

  TMp3ByteSink* sink_ = nullptr;
  std::string fileName_;
  TLameTagTotals totals_;
  // The stream.
  const TMp3Encoder* encoder_ = nullptr;
  bool counting_ = false;
  bool tagFrameDue_ = false;  // the first frame, not out yet, may be the encoder's empty tag frame
  std::vector<unsigned char> tail_;
  int64_t streamedFrames_ = 0;
  // The segments: the last one taken, written up to where the next one joins it.
  TPending pending_;
  bool hasPending_ = false;
  std::vector<unsigned char> tagFrame_;  // the first segment's encoder tag frame
  int lastPadding_ = -1;                 // of the last segment written, once it is written whole
  std::vector<int64_t> joins_;
};
