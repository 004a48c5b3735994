#include "audio/AudioFileRead.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cstring>
#include <limits>

extern "C" {
#include <libavutil/channel_layout.h>
#include <libavutil/mathematics.h>
#include <libavutil/samplefmt.h>
}

namespace {

constexpr AVRational kHundredNs = {1, 10000000};
// One FFmpeg call (opening, reading a packet, seeking) that takes longer than this is given up:
// a safety net against inputs that would keep the demuxer busy forever.
constexpr std::chrono::milliseconds kCallBudget{30000};
// Consecutive failed packet reads after which the rest of a damaged file is given up.
constexpr int kMaxReadFailures = 64;
// A first timestamp further before zero than this is taken as nonsense rather than encoder priming.
constexpr int64_t kMaxLeadIn = 10LL * 10000000;
// Frames the resampler hands out in one call at most (256 KB of 16-bit stereo).
constexpr int kMostResampledFrames = 65536;

bool IsUnsigned8(AVSampleFormat f) { return f == AV_SAMPLE_FMT_U8 || f == AV_SAMPLE_FMT_U8P; }

}  // namespace

TAudioFileReader::TAudioFileReader(const std::string& fileName) : fileName_(fileName) {
  Open();  // members own what was obtained, so a failure releases the half-built reader
}

TAudioFileReader::~TAudioFileReader() {
  av_channel_layout_uninit(&outLayout_);
  av_channel_layout_uninit(&swrInLayout_);
}

void TAudioFileReader::ArmDeadline() { media_->ExtendDeadline(kCallBudget); }

void TAudioFileReader::OpenStreams(std::unique_ptr<OpenedMedia>& media, snd_ffmpeg::CodecPtr& decoder,
                                   int& streamIndex) {
  auto opened = std::make_unique<OpenedMedia>();
  int ret = opened->Open(fileName_.c_str(), kCallBudget);
  if (ret == OpenedMedia::kNotARegularFile) CheckResult(READER_E_NOTAFILE);
  if (ret < 0) CheckResult(ret);
  ret = opened->FindStreamInfo();  // within the open's own budget
  if (ret < 0) CheckResult(ret);
  AVFormatContext* format = opened->Context();

  const AVCodec* codec = nullptr;
  ret = av_find_best_stream(format, AVMEDIA_TYPE_AUDIO, -1, -1, &codec, 0);
  if (ret == AVERROR_STREAM_NOT_FOUND) CheckResult(MS_E_NOSTREAM);
  if (ret < 0) CheckResult(ret);
  streamIndex = ret;
  AVStream* stream = format->streams[streamIndex];
  // Only the chosen stream's packets are wanted; the demuxer may skip the others.
  for (unsigned i = 0; i < format->nb_streams; ++i) {
    if (int(i) != streamIndex) format->streams[i]->discard = AVDISCARD_ALL;
  }

  decoder.reset(avcodec_alloc_context3(codec));
  if (!decoder) CheckResult(AVERROR(ENOMEM));
  ret = avcodec_parameters_to_context(decoder.get(), stream->codecpar);
  if (ret < 0) CheckResult(ret);
  decoder->pkt_timebase = stream->time_base;
  decoder->thread_count = 1;
  ret = avcodec_open2(decoder.get(), codec, nullptr);
  if (ret < 0) CheckResult(ret);
  media = std::move(opened);
}

void TAudioFileReader::Open() {
  OpenStreams(media_, decoder_, streamIndex_);
  lowerRateForCut_ = media_->TookLowerRateForCut();
  const AVStream* stream = Format()->streams[streamIndex_];
  const int rate = decoder_->sample_rate > 0 ? decoder_->sample_rate : stream->codecpar->sample_rate;
  const int channels = decoder_->ch_layout.nb_channels > 0 ? decoder_->ch_layout.nb_channels
                                                           : stream->codecpar->ch_layout.nb_channels;
  if (rate <= 0 || channels <= 0) CheckResult(MS_E_INCOMPATIBLE);

  frame_.reset(av_frame_alloc());
  packet_.reset(av_packet_alloc());
  if (!frame_ || !packet_) CheckResult(AVERROR(ENOMEM));

  const AVSampleFormat decoded = decoder_->sample_fmt != AV_SAMPLE_FMT_NONE
                                     ? decoder_->sample_fmt
                                     : AVSampleFormat(stream->codecpar->format);
  sourceRate_ = rate;
  sourceChannels_ = channels;
  sourceUnsigned8_ = IsUnsigned8(decoded);
  ApplyOutputFormat();

  if (Format()->duration != AV_NOPTS_VALUE && Format()->duration > 0) {
    streamDuration_ = av_rescale_q(Format()->duration, AV_TIME_BASE_Q, kHundredNs);
  } else if (stream->duration != AV_NOPTS_VALUE && stream->duration > 0) {
    streamDuration_ = av_rescale_q(stream->duration, stream->time_base, kHundredNs);
  }

  fileSize_ = Format()->pb ? std::max<int64_t>(avio_size(Format()->pb), 0) : 0;
  statedBitRate_ = std::max<int64_t>(stream->codecpar->bit_rate, 0);
  codecId_ = stream->codecpar->codec_id;

  streamPosition_.store(0, std::memory_order_release);
}

void TAudioFileReader::ApplyOutputFormat() {
  // The stream's own format: 8-bit unsigned stays 8-bit, mono stays mono, more than two channels
  // are mixed down to stereo, every other sample format becomes 16-bit signed. A format asked for is
  // always 16-bit; mono asked for mixes every source down to one channel.
  const bool asked = requestedRate_ > 0 || requestedChannels_ > 0;
  const int rate = requestedRate_ > 0 ? requestedRate_ : sourceRate_;
  outSampleFormat_ = sourceUnsigned8_ && !asked ? AV_SAMPLE_FMT_U8 : AV_SAMPLE_FMT_S16;
  outBytesPerSample_ = av_get_bytes_per_sample(outSampleFormat_);
  outChannels_ = requestedChannels_ == 1 || sourceChannels_ == 1 ? 1 : 2;
  av_channel_layout_uninit(&outLayout_);
  av_channel_layout_default(&outLayout_, outChannels_);

  streamFormat_.wFormatTag = 1;
  streamFormat_.nChannels = uint16_t(outChannels_);
  streamFormat_.nSamplesPerSec = uint32_t(rate);
  streamFormat_.nBlockAlign = uint16_t(outChannels_ * outBytesPerSample_);
  streamFormat_.nAvgBytesPerSec = uint32_t(rate) * streamFormat_.nBlockAlign;
  streamFormat_.wBitsPerSample = uint16_t(8 * outBytesPerSample_);
  streamFormat_.cbSize = 0;

  // Reported as the input component will deliver it: 16 bits, and stereo unless mono was asked for.
  monoSource_ = outChannels_ == 1 && requestedChannels_ != 1;
  if (monoSource_) streamFormat_.nChannels = 2;
  byteSource_ = outBytesPerSample_ == 1;
  if (byteSource_) streamFormat_.wBitsPerSample = 16;
}

bool TAudioFileReader::SetOutputFormat(int rate, int channels) {
  rate = std::max(rate, 0);
  if (channels != 1 && channels != 2) channels = 0;
  if (rate == requestedRate_ && channels == requestedChannels_) return false;
  requestedRate_ = rate;
  requestedChannels_ = channels;
  const bool moved = baseKnown_ || inputDone_ || bytesOut_ > 0 || !pending_.empty();
  ApplyOutputFormat();
  // What was decoded in the old format is gone: a reader that moved starts over.
  if (moved) {
    StartOver();
  } else {
    ResetDecoding();
  }
  return true;
}

bool TAudioFileReader::NeedsResampler(const AVFrame& frame) const {
  const int channels = frame.ch_layout.nb_channels;
  const bool packedOut = AVSampleFormat(frame.format) == outSampleFormat_;
  return !packedOut || channels != outChannels_ || frame.sample_rate != int(streamFormat_.nSamplesPerSec);
}

void TAudioFileReader::SetupResampler(const AVFrame& frame) {
  if (resampler_ && swrInFormat_ == frame.format && swrInRate_ == frame.sample_rate &&
      av_channel_layout_compare(&swrInLayout_, &frame.ch_layout) == 0) {
    return;
  }
  FlushResampler();  // a change of shape mid-stream keeps what the old resampler still holds
  AVChannelLayout inLayout{};
  // Some decoders leave the layout unspecified; the default order for that count is what they mean.
  if (frame.ch_layout.order == AV_CHANNEL_ORDER_UNSPEC) {
    av_channel_layout_default(&inLayout, frame.ch_layout.nb_channels);
  } else if (av_channel_layout_copy(&inLayout, &frame.ch_layout) < 0) {
    CheckResult(AVERROR(ENOMEM));
  }
  SwrContext* raw = nullptr;
  int ret = swr_alloc_set_opts2(&raw, &outLayout_, outSampleFormat_, int(streamFormat_.nSamplesPerSec),
                                &inLayout, AVSampleFormat(frame.format), frame.sample_rate, 0, nullptr);
  av_channel_layout_uninit(&inLayout);
  if (ret < 0) CheckResult(ret);
  resampler_.reset(raw);
  ret = swr_init(resampler_.get());
  if (ret < 0) {
    resampler_.reset();
    CheckResult(ret);
  }
  swrInFormat_ = AVSampleFormat(frame.format);
  swrInRate_ = frame.sample_rate;
  swrInFrames_ = 0;
  swrOutFrames_ = 0;
  av_channel_layout_uninit(&swrInLayout_);
  if (av_channel_layout_copy(&swrInLayout_, &frame.ch_layout) < 0) CheckResult(AVERROR(ENOMEM));
}

void TAudioFileReader::AppendResampled(const uint8_t* const* in, int inSamples) {
  int room = swr_get_out_samples(resampler_.get(), inSamples);
  if (room < 0) CheckResult(room);
  // A rate far above the source's (a damaged header saying 1 Hz) would make one frame hundreds of
  // megabytes: the resampler keeps the input and hands its output out in pieces.
  room = std::min(room, kMostResampledFrames);
  swrBacklog_ = false;
  if (room == 0) return;
  const size_t frameBytes = streamFormat_.nBlockAlign;
  const size_t old = pending_.size();
  pending_.resize(old + size_t(room) * frameBytes);
  uint8_t* out = pending_.data() + old;
  const int got = swr_convert(resampler_.get(), &out, room, const_cast<const uint8_t**>(in), inSamples);
  if (got < 0) {
    pending_.resize(old);
    CheckResult(got);
  }
  pending_.resize(old + size_t(got) * frameBytes);
  swrInFrames_ += inSamples;
  swrOutFrames_ += got;
  totalBytesDecoded_ += size_t(got) * frameBytes;
  swrBacklog_ = got == room;
}

void TAudioFileReader::DrainBacklog() {
  // Input pointers are needed but not read: no input is not the end of the stream here.
  static const uint8_t nothing = 0;
  static const std::array<const uint8_t*, kMostChannels> noInput = [] {
    std::array<const uint8_t*, kMostChannels> pointers{};
    pointers.fill(&nothing);
    return pointers;
  }();
  AppendResampled(noInput.data(), 0);
}

bool TAudioFileReader::FlushStep() {
  if (!resampler_) return false;
  AppendResampled(nullptr, 0);
  if (swrBacklog_) return true;
  // All out. Exactly round(in x out / in rate) frames: the resampler rounds its last one up.
  const int64_t frameBytes = streamFormat_.nBlockAlign;
  const int64_t want = av_rescale(swrInFrames_, int64_t(streamFormat_.nSamplesPerSec), swrInRate_);
  const int64_t extra = swrOutFrames_ - want;
  const int64_t unread = (int64_t(pending_.size()) - int64_t(pendingPos_)) / frameBytes;
  if (extra > 0) {
    pending_.resize(pending_.size() - size_t(std::min(extra, unread) * frameBytes));
  } else if (extra < 0) {
    pending_.resize(pending_.size() + size_t(-extra * frameBytes), 0);
  }
  resampler_.reset();
  return false;
}

void TAudioFileReader::FlushResampler() {
  while (FlushStep()) {
  }
}

void TAudioFileReader::AppendFrame(const AVFrame& frame) {
  if (frame.nb_samples <= 0 || frame.ch_layout.nb_channels <= 0 || frame.sample_rate <= 0) return;
  if (!baseKnown_) {
    baseTime_ = FrameStartTime(frame);
    baseKnown_ = true;
  }
  if (NeedsResampler(frame)) {
    SetupResampler(frame);
    AppendResampled(frame.extended_data, frame.nb_samples);
  } else {
    FlushResampler();  // from a shape that needed one
    // Already in the delivered format: a plain copy of the packed samples.
    const size_t bytes = size_t(frame.nb_samples) * streamFormat_.nBlockAlign;
    pending_.insert(pending_.end(), frame.data[0], frame.data[0] + bytes);
    totalBytesDecoded_ += bytes;
  }
}

int64_t TAudioFileReader::FrameStartTime(const AVFrame& frame) const {
  const AVStream* stream = Format()->streams[streamIndex_];
  int64_t ts = frame.best_effort_timestamp;
  if (ts == AV_NOPTS_VALUE) return baseTime_;
  // Time 0 is where the presentation starts; samples stamped before it (encoder priming) stay negative.
  if (stream->start_time != AV_NOPTS_VALUE && stream->start_time > 0 && ts >= stream->start_time) {
    ts -= stream->start_time;
  }
  const int64_t t = av_rescale_q(ts, stream->time_base, kHundredNs);
  if (t < -kMaxLeadIn) return baseTime_;
  return t;
}

bool TAudioFileReader::ReceiveFrame() {
  // A decoding error consumes the damaged data, so a few tries always make progress.
  for (int failures = 0; failures < 16; ++failures) {
    int ret = avcodec_receive_frame(decoder_.get(), frame_.get());
    if (ret == 0) {
      AppendFrame(*frame_);
      av_frame_unref(frame_.get());
      return true;
    }
    if (ret == AVERROR_EOF) return false;
    if (ret == AVERROR(EAGAIN)) return false;
    lastError_ = ret;  // a damaged packet: skip it and go on
  }
  return false;
}

bool TAudioFileReader::DecodeMore() {
  int readFailures = 0;
  for (;;) {
    if (resampler_ && swrBacklog_) {
      DrainBacklog();  // the output of input the resampler already has comes first
      if (!pending_.empty()) return true;
    }
    if (ReceiveFrame()) return true;
    if (inputDone_) {
      // The decoder is drained; a resampler may still hold a few samples.
      if (!resampler_) return false;
      FlushStep();
      if (!pending_.empty()) return true;
      continue;
    }
    ArmDeadline();
    int ret = av_read_frame(Format(), packet_.get());
    if (ret == AVERROR(EAGAIN)) continue;
    if (ret < 0) {
      const bool atEnd =
          ret == AVERROR_EOF || (Format()->pb && avio_feof(Format()->pb)) || ret == AVERROR_EXIT;
      if (!atEnd && ++readFailures < kMaxReadFailures) {
        lastError_ = ret;
        continue;
      }
      if (!atEnd || ret == AVERROR_EXIT) lastError_ = ret;
      // End of input: tell the decoder so it hands out what it still holds.
      inputDone_ = true;
      ret = avcodec_send_packet(decoder_.get(), nullptr);
      if (ret < 0 && ret != AVERROR_EOF) lastError_ = ret;
      continue;
    }
    readFailures = 0;
    if (packet_->stream_index == streamIndex_) {
      ret = avcodec_send_packet(decoder_.get(), packet_.get());
      if (ret < 0 && ret != AVERROR(EAGAIN)) lastError_ = ret;  // a damaged packet is skipped
    }
    av_packet_unref(packet_.get());
  }
}

int64_t TAudioFileReader::CurrentEndTime() const {
  const uint64_t frames = bytesOut_ / streamFormat_.nBlockAlign;
  return baseTime_ + av_rescale(int64_t(frames), 10000000, int64_t(streamFormat_.nSamplesPerSec));
}

uint32_t TAudioFileReader::ReadBlock(void* buffer, uint32_t size) {
  if (size == 0) CheckResult(READER_E_BUFFERSIZE);
  if (!buffer) CheckResult(E_POINTER_CODE);
  if (endOfStream_) return 0;
  auto* out = static_cast<uint8_t*>(buffer);
  for (;;) {
    uint32_t filled = 0;
    while (filled < size) {
      if (pendingPos_ == pending_.size()) {
        pending_.clear();
        pendingPos_ = 0;
        if (!DecodeMore()) {
          endOfStream_ = true;
          break;
        }
        continue;
      }
      const size_t count = std::min<size_t>(size - filled, pending_.size() - pendingPos_);
      std::memcpy(out + filled, pending_.data() + pendingPos_, count);
      pendingPos_ += count;
      filled += uint32_t(count);
      bytesOut_ += count;
    }
    if (endOfStream_ && totalBytesDecoded_ == 0 && lastError_ != 0) {
      // Nothing at all could be decoded: say why rather than deliver an empty stream.
      CheckResult(lastError_);
    }
    if (filled == 0) return 0;
    const int64_t end = CurrentEndTime();
    streamPosition_.store(end, std::memory_order_release);
    // A block that ends at or before time 0 (encoder priming) is read over.
    if (end > 0 || endOfStream_) return filled;
  }
}

void TAudioFileReader::ResetDecoding() {
  avcodec_flush_buffers(decoder_.get());
  resampler_.reset();
  swrBacklog_ = false;
  pending_.clear();
  pendingPos_ = 0;
  inputDone_ = false;
  endOfStream_ = false;
  bytesOut_ = 0;
}

bool TAudioFileReader::Rewind() {
  // Opening the file again is the one way back to the start that every demuxer gets right
  // (RealMedia files often stamp every packet 0, which defeats timestamp seeking).
  std::unique_ptr<OpenedMedia> media;
  snd_ffmpeg::CodecPtr decoder;
  int index = -1;
  try {
    OpenStreams(media, decoder, index);
  } catch (const EAudioReadError&) {
    return false;
  }
  media_ = std::move(media);
  decoder_ = std::move(decoder);
  streamIndex_ = index;
  ResetDecoding();
  baseTime_ = 0;
  baseKnown_ = false;
  streamPosition_.store(0, std::memory_order_release);
  return true;
}

void TAudioFileReader::SeekTime(int64_t time) {
  if (time == StreamPosition()) return;
  time = std::max<int64_t>(time, 0);
  if (streamDuration_ > 0) time = std::min(time, streamDuration_);
  if (time == 0 && Rewind()) return;
  const AVStream* stream = Format()->streams[streamIndex_];
  int64_t target = av_rescale_q(time, kHundredNs, stream->time_base);
  if (stream->start_time != AV_NOPTS_VALUE && stream->start_time > 0) target += stream->start_time;
  ArmDeadline();
  const int ret = av_seek_frame(Format(), streamIndex_, target, AVSEEK_FLAG_BACKWARD);
  ResetDecoding();
  if (ret >= 0) {
    baseTime_ = time;
    baseKnown_ = true;  // the landing frame's stamp may be a keyframe earlier; the request is the clock
    streamPosition_.store(time, std::memory_order_release);
    return;
  }
  StartOver();  // seeking failed
}

void TAudioFileReader::StartOver() {
  if (Rewind()) return;
  ArmDeadline();
  if (av_seek_frame(Format(), streamIndex_, 0, AVSEEK_FLAG_BACKWARD) < 0) {
    avformat_seek_file(Format(), -1, INT64_MIN, 0, INT64_MAX, 0);  // result ignored
  }
  ResetDecoding();
  baseTime_ = 0;
  baseKnown_ = true;
  streamPosition_.store(0, std::memory_order_release);
}
