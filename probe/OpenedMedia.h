#pragma once
// The one way the program opens a media file with libavformat (the probe, the tag readers and the PCM
// reader alike). It opens regular local files only, itself, and hands libavformat their bytes through
// its own AVIOContext; only demuxers that read nothing but that one file are allowed. A multi-rate
// RealMedia file is handed over as its best decodable stream alone, in the single-rate layout.
// Every blocking libavformat call is interrupted when no new byte has arrived for a while, or at a
// hard deadline, so a hostile file can never hang it while a slow disk still gets its time. The whole
// of an open (a multi-rate file's walk and its candidate streams included) has one deadline. Any
// thread may open files; one OpenedMedia is used by one thread at a time.
#include <atomic>
#include <chrono>
#include <memory>
#include <vector>

#include "BoundedFile.h"
#include "MediaBytes.h"
#include "WalkedLayouts.h"

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

  // Opens a regular file and reads its header, all within budget. 0 on success; kNotARegularFile; or a
  // negative FFmpeg error (AVERROR(ENOENT) for a missing file, AVERROR_EXIT when the file stalled or the
  // deadline passed, ...). format names the one demuxer to use (such as "mp3"); null lets the file's
  // content choose among the media containers the program reads.
  int Open(const char* path, std::chrono::milliseconds budget = kDefaultBudget, const char* format = nullptr);
  // Reads packets to learn the streams' parameters, within what is left of the open's budget; 0 or a
  // negative FFmpeg error (AVERROR_EXIT when the file stalled or the deadline passed).
  int FindStreamInfo();
  // Gives the following calls (reading packets, seeking) budget from now, and a fresh stall limit.
  void ExtendDeadline(std::chrono::milliseconds budget);
  AVFormatContext* Context() const { return context_.get(); }
  // The bytes read from the file since it was opened, whatever read them.
  uint64_t FileBytesRead() const { return file_ ? file_->BytesRead() : 0; }
  // A multi-rate file opened as a lower-rate stream because a better one ends early (a partial
  // download): the MP3 is of a lower quality than the file promises.
  bool TookLowerRateForCut() const;
  // A multi-rate file none of whose streams is whole: the playing time (100-ns units) the opened
  // stream really holds; 0 otherwise.
  int64_t HeldDurationHns() const;

  // Every open on the calling thread gives up once *stop is set (null: never): a stopped run need
  // not wait out an open that is still reading.
  static void GiveUpOnThisThreadWhen(const std::atomic<bool>* stop);

  // Tests only: called at the start of every read of the file's bytes and of the walk of a RealMedia
  // file's packets (to stand for a slow disk).
  static void (*readHookForTests)();

 private:
  static int Interrupted(void* self);
  static int ReadBytes(void* self, uint8_t* buffer, int size);
  static int64_t SeekBytes(void* self, int64_t offset, int whence);
  int OpenContext(const char* path, const AVInputFormat* format = nullptr);
  bool WalkLayout();  // true for a multi-rate file, whose layout walked_ then holds
  int OpenMultiRate(const char* path);
  int OpenSingleRate(const char* path);
  bool DecodesSomething();
  void CloseContext();

  std::chrono::steady_clock::time_point deadline_{};
  std::chrono::steady_clock::time_point lastProgress_{};
  int64_t furthestByte_ = 0;  // the furthest position read so far: reading beyond it is progress
  bool sound_ = false;        // the file's RealMedia header is sound
  std::unique_ptr<BoundedFile> file_;
  std::shared_ptr<WalkedLayout> walked_;         // a multi-rate file's layout, shared with later opens of it
  int openedStream_ = -1;                        // the stream of walked_ that is open
  std::vector<RealMediaLayout::Patch> patches_;  // what makes a single-rate file's header readable
  std::unique_ptr<MediaBytes> bytes_;
  IoContextPtr io_;
  FormatContextPtr context_;  // declared last: closed while everything it reads through still exists
};
