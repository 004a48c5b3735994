#pragma once
// TAudioFileReader: decodes the primary audio stream of a media file to PCM in the stream's own
// format, or in one a caller asks for, block by block. It stands on libavformat, libavcodec and
// libswresample.
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "audio/AudioReadError.h"
#include "audio/FFmpegHandles.h"
#include "core/WaveFormat.h"
#include "probe/OpenedMedia.h"

class TAudioFileReader {
 public:
  // Opens the file and prepares its best audio stream; raises EAudioReadError on any failure, at once
  // for a path that names a folder, a device or a FIFO (READER_E_NOTAFILE).
  explicit TAudioFileReader(const std::string& fileName);
  ~TAudioFileReader();
  TAudioFileReader(const TAudioFileReader&) = delete;
  TAudioFileReader& operator=(const TAudioFileReader&) = delete;

  // Fills Buffer with up to Size bytes of PCM (8-bit unsigned when ByteSource, one channel when
  // MonoSource, else 16-bit signed little-endian); returns the byte count, 0 at the end and after it.
  uint32_t ReadBlock(void* buffer, uint32_t size);
  // Repositions to Time (100-ns units); falls back to the beginning when seeking fails. Never raises.
  void SeekTime(int64_t time);
  // Asks for ReadBlock's PCM as 16-bit signed at rate Hz, resampled once (0: the stream's own rate),
  // mixed down to one channel when channels is 1 (any other value: mono stays mono, more channels
  // become stereo). Of n source frames come exactly round(n x rate / source rate). (0, 0) is the
  // stream's own format. A reader that has already decoded starts over from the beginning.
  // Returns whether the format changed.
  bool SetOutputFormat(int rate, int channels);

  // Channels and bits describe the PCM after widening to 16-bit stereo, not ReadBlock's bytes; a mono
  // output asked for is one channel.
  const TWaveFormatEx& StreamFormat() const { return streamFormat_; }
  // The rate the stream decodes to, whatever was asked for.
  int SourceRate() const { return sourceRate_; }
  const std::string& FileName() const { return fileName_; }
  int64_t StreamDuration() const { return streamDuration_; }  // 100-ns units, 0 when unknown
  // End time (100-ns units) of the last block read; safe to read from another thread.
  int64_t StreamPosition() const { return streamPosition_.load(std::memory_order_acquire); }
  bool MonoSource() const { return monoSource_; }
  bool ByteSource() const { return byteSource_; }
  // What the file says of itself, for bounding a decoder that runs away: its size in bytes (0 when
  // unknown), the audio stream's stated bit rate (bit/s, 0 when none) and its codec.
  int64_t FileSize() const { return fileSize_; }
  int64_t StatedBitRate() const { return statedBitRate_; }
  AVCodecID CodecId() const { return codecId_; }
  // A multi-rate file whose best-rate stream is cut (a partial download) is read from a complete
  // lower-rate stream: whole, but of a lower quality than the file promises.
  bool TookLowerRateForCut() const { return lowerRateForCut_; }

 private:
  void Open();
  void ApplyOutputFormat();
  void StartOver();
  void OpenStreams(std::unique_ptr<OpenedMedia>& media, snd_ffmpeg::CodecPtr& decoder, int& streamIndex);
  AVFormatContext* Format() const { return media_->Context(); }
  bool Rewind();
  bool DecodeMore();
  bool ReceiveFrame();
  void AppendFrame(const AVFrame& frame);
  void AppendResampled(const uint8_t* const* in, int inSamples);  // in null: the end of the input
  void DrainBacklog();
  bool FlushStep();  // hands out a piece of the resampler's tail; false once it is all out
  void FlushResampler();
  void SetupResampler(const AVFrame& frame);
  bool NeedsResampler(const AVFrame& frame) const;
  void ResetDecoding();
  int64_t FrameStartTime(const AVFrame& frame) const;
  int64_t CurrentEndTime() const;
  void ArmDeadline();  // gives the next FFmpeg call its own time budget

  std::string fileName_;
  TWaveFormatEx streamFormat_;
  int64_t streamDuration_ = 0;
  std::atomic<int64_t> streamPosition_{0};
  bool monoSource_ = false;
  bool byteSource_ = false;
  int64_t fileSize_ = 0;
  int64_t statedBitRate_ = 0;
  AVCodecID codecId_ = AV_CODEC_ID_NONE;
  bool lowerRateForCut_ = false;
  // What the stream decodes to, and what was asked for (0: the stream's own).
  int sourceRate_ = 0;
  int sourceChannels_ = 0;
  bool sourceUnsigned8_ = false;
  int requestedRate_ = 0;
  int requestedChannels_ = 0;

  std::unique_ptr<OpenedMedia> media_;  // the opened file (the one way media files are opened)
  snd_ffmpeg::CodecPtr decoder_;
  snd_ffmpeg::FramePtr frame_;
  snd_ffmpeg::PacketPtr packet_;
  snd_ffmpeg::ResamplerPtr resampler_;
  int streamIndex_ = -1;
  int outChannels_ = 0;        // channels of ReadBlock's bytes: 1 or 2
  int outBytesPerSample_ = 0;  // 1 or 2
  AVSampleFormat outSampleFormat_ = AV_SAMPLE_FMT_S16;
  AVChannelLayout outLayout_{};
  // The frame shape the resampler was made for.
  AVSampleFormat swrInFormat_ = AV_SAMPLE_FMT_NONE;
  int swrInRate_ = 0;
  AVChannelLayout swrInLayout_{};
  int64_t swrInFrames_ = 0;   // frames the resampler was given
  int64_t swrOutFrames_ = 0;  // and made
  bool swrBacklog_ = false;   // the resampler holds input whose output did not fit the last call
  static constexpr int kMostChannels = 64;  // the resampler's own limit

  std::vector<uint8_t> pending_;  // decoded bytes not yet handed out
  size_t pendingPos_ = 0;
  bool inputDone_ = false;    // the demuxer is exhausted and the decoder was told so
  bool endOfStream_ = false;  // sticky: every further ReadBlock returns 0
  bool baseKnown_ = false;    // baseTime_ has been taken from the first frame since open or seek
  int64_t baseTime_ = 0;      // 100-ns time of the first byte handed out since open or seek
  uint64_t bytesOut_ = 0;     // bytes handed out since open or seek
  uint64_t totalBytesDecoded_ = 0;
  int lastError_ = 0;  // last decoding or reading error, reported when nothing decodes at all
};
