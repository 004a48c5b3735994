#pragma once
// A media file opened with libavformat, bounded so that a hostile file can never hang the reader:
// limited probing, and a deadline that interrupts every blocking libavformat call as a safety net.
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

  OpenedMedia() = default;
  OpenedMedia(const OpenedMedia&) = delete;  // libavformat keeps this object's address
  OpenedMedia& operator=(const OpenedMedia&) = delete;

  // Opens a regular file and reads its header; false when libavformat refuses it.
  bool Open(const char* path, std::chrono::milliseconds budget = kDefaultBudget);
  // Reads packets to learn the streams' parameters; false on failure or when the deadline passed.
  bool FindStreamInfo();
  AVFormatContext* Context() const { return context_.get(); }

 private:
  static int Interrupted(void* self);

  std::chrono::steady_clock::time_point deadline_{};
  FormatContextPtr context_;  // declared last: closed while the deadline still exists
};
