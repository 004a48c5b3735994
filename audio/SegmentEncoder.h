#pragma once
// One segment of a file through its own encoder instance: the warm-up is encoded and dropped, the
// bit reservoir emptied where the segment's own frames begin (so its first frame takes nothing from
// the frames before it), and the segment is cut after its last frame, or flushed when it ends the file.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "audio/Mp3Encoder.h"

class TSegmentEncoder {
 public:
  // pcm: interleaved 16-bit stereo, frames sample frames from the segment's warm-up on, kept by the
  // caller until the segment is done. keepFrames < 0: the segment ends the file (all its frames, flushed).
  // warmUpFrames 0: the first segment, which also carries the encoder's empty tag frame.
  // framesBefore > 0: the first segment taken over from an encoder whose first framesBefore frames
  // are in the file already; opening holds what it wrote of the frames after them (from a header on).
  TSegmentEncoder(std::unique_ptr<TMp3Encoder> encoder, const int16_t* pcm, int64_t frames,
                  int64_t warmUpFrames, int64_t keepFrames, int32_t chunkFrames, int64_t bufferSize,
                  std::string fileName, int64_t framesBefore = 0, std::vector<unsigned char> opening = {});

  // Encodes at most BlockFrames more sample frames, and finishes the segment after the last; true
  // once it is complete. Encoder failures raise ESndException.
  static constexpr int64_t BlockFrames = 4096;
  bool Step();
  // Ends the segment after what it was given, as the file's last (a stop): false, with nothing kept,
  // while it was still in its warm-up.
  bool EndHere();
  bool Complete() const { return complete_; }
  // Makes a segment that has not started the file's last: all its input, then flushed.
  void MakeLast() { keep_ = -1; }

  // What the segment gives the file: its frames (the first segment: the empty tag frame first).
  std::vector<unsigned char>& Frames() { return out_; }
  // The first segment's: the encoder's LAME/Xing tag frame as it stands after its frames (empty
  // without one); its size is that of the empty frame at the start of Frames().
  const std::vector<unsigned char>& TagFrame() const { return tagFrame_; }
  // Frames() opens with the empty tag frame: the first segment, unless it was taken over.
  bool TagOpens() const { return warmUp_ == 0 && framesBefore_ == 0; }
  // The encoder padding of a flushed segment (the file's last); -1 for one that was cut.
  int Padding() const { return padding_; }
  // Sample frames of pcm the encoder took.
  int64_t Consumed() const { return pos_; }

 private:
  void Encode(int64_t frames);
  void Append(int count);
  [[noreturn]] void Fail(const char* what, int result) const;
  void EndWarmUp();
  void FinishCut();
  void FinishFlushed();
  void TakeTagFrame();

  std::unique_ptr<TMp3Encoder> encoder_;
  const int16_t* pcm_;
  int64_t frames_;
  int64_t warmUp_;
  int64_t keep_;
  int64_t framesBefore_;
  int32_t chunk_;
  std::string fileName_;
  std::vector<unsigned char> buffer_;
  std::vector<unsigned char> out_;
  std::vector<unsigned char> tagFrame_;
  int64_t pos_ = 0;
  bool warming_;
  bool complete_ = false;
  int padding_ = -1;
};
