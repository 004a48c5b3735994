#pragma once
// The one way the program opens a media file with libavformat (the probe, the tag readers and the PCM
// reader alike). It opens regular local files only, itself, and hands libavformat their bytes through
// its own AVIOContext; only demuxers that read nothing but that one file are allowed. A multi-rate
// RealMedia file is handed over as its best decodable stream alone, in the single-rate layout.
// Every blocking libavformat call is interrupted when no new byte has arrived for a while, or at a
// hard deadline, so a hostile file can never hang it while a slow disk still gets its time.
#include <chrono>
#include <memory>

#include "BoundedFile.h"
#include "MediaBytes.h"
#include "RealMediaLayout.h"

extern "C" {
#include <libavformat/avformat.h>
}

struct FormatContextCloser {
  void operator()(AVFormatContext* context) const { avformat_close_input(&context); }
};
using FormatContextPtr = std::unique_ptr<AVFormatContext, FormatContextCloser>;

struct IoContextFreer {
  void operator()(AVIOContext* io) const;
};
using IoContextPtr = std::unique_ptr<AVIOContext, IoContextFreer>;

class OpenedMedia {
 public:
  // How long one call (opening and examining a file, reading a packet, seeking) may take at most.
  static constexpr std::chrono::milliseconds kDefaultBudget{60000};
  // How long a call may go on without a new byte of the file before it is given up.
  static constexpr std::chrono::milliseconds kStallLimit{10000};
  // Open's result for a path that names a folder, a device, a FIFO or a socket.
  static constexpr int kNotARegularFile = 1;

  OpenedMedia() = default;
  OpenedMedia(const OpenedMedia&) = delete;  // libavformat keeps this object's address
  OpenedMedia& operator=(const OpenedMedia&) = delete;

  // Opens a regular file and reads its header. 0 on success; kNotARegularFile; or a negative FFmpeg
  // error (AVERROR(ENOENT) for a missing file, AVERROR_EXIT when the file stalled or the deadline
  // passed, ...).
  int Open(const char* path, std::chrono::milliseconds budget = kDefaultBudget);
  // Reads packets to learn the streams' parameters; 0 or a negative FFmpeg error (AVERROR_EXIT when
  // the file stalled or the deadline passed).
  int FindStreamInfo();
  // Gives the following calls (reading packets, seeking) budget from now, and a fresh stall limit.
  void ExtendDeadline(std::chrono::milliseconds budget);
  AVFormatContext* Context() const { return context_.get(); }

  // Tests only: called at the start of every read of the file's bytes (to stand for a slow disk).
  static void (*readHookForTests)();

 private:
  static int Interrupted(void* self);
  static int ReadBytes(void* self, uint8_t* buffer, int size);
  static int64_t SeekBytes(void* self, int64_t offset, int whence);
  int OpenContext(const char* path);
  int OpenMultiRate(const char* path, std::chrono::milliseconds budget);
  bool DecodesSomething();
  void CloseContext();

  std::chrono::steady_clock::time_point deadline_{};
  std::chrono::steady_clock::time_point lastProgress_{};
  int64_t furthestByte_ = 0;  // the furthest position read so far: reading beyond it is progress
  std::unique_ptr<BoundedFile> file_;
  RealMediaLayout layout_;
  std::unique_ptr<MediaBytes> bytes_;
  IoContextPtr io_;
  FormatContextPtr context_;  // declared last: closed while everything it reads through still exists
};
