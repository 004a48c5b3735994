#pragma once
// The one way the program opens a media file with libavformat (the probe, the tag readers and the PCM
// reader alike): regular local files only, through the file: protocol only, with bounded probing and
// a deadline that interrupts every blocking libavformat call, so a hostile file can never hang it.
#include <chrono>
#include <memory>

extern "C" {
#include <libavformat/avformat.h>
}

struct FormatContextCloser {
  void operator()(AVFormatContext* context) const { avformat_close_input(&context); }
};
using FormatContextPtr = std::unique_ptr<AVFormatContext, FormatContextCloser>;

class OpenedMedia {
 public:
  // How long opening and examining one file may take at most.
  static constexpr std::chrono::milliseconds kDefaultBudget{5000};
  // Open's result for a path that names a folder, a device, a FIFO or a socket.
  static constexpr int kNotARegularFile = 1;

  OpenedMedia() = default;
  OpenedMedia(const OpenedMedia&) = delete;  // libavformat keeps this object's address
  OpenedMedia& operator=(const OpenedMedia&) = delete;

  // Opens a regular file and reads its header. 0 on success; kNotARegularFile; or a negative FFmpeg
  // error (AVERROR(ENOENT) for a missing file, AVERROR_EXIT when the deadline passed, ...).
  int Open(const char* path, std::chrono::milliseconds budget = kDefaultBudget);
  // Reads packets to learn the streams' parameters; 0 or a negative FFmpeg error (AVERROR_EXIT when
  // the deadline passed).
  int FindStreamInfo();
  // Gives the following calls (reading packets, seeking) budget from now.
  void ExtendDeadline(std::chrono::milliseconds budget);
  AVFormatContext* Context() const { return context_.get(); }

 private:
  static int Interrupted(void* self);

  std::chrono::steady_clock::time_point deadline_{};
  FormatContextPtr context_;  // declared last: closed while the deadline still exists
};
