#include "readmedia.h"

#include <algorithm>
#include <limits>
#include <memory>

#include "OpenedMedia.h"

namespace {

// The file the last file_init opened, until file_exit.
thread_local std::unique_ptr<OpenedMedia> openedMedia;

constexpr AVRational kHundredNanoseconds{1, 10000000};

// The container's playing time, else the stream's; 0 when neither is known.
int64_t DurationOf(const AVFormatContext& context, const AVStream* stream) {
  int64_t result = 0;
  if (context.duration != AV_NOPTS_VALUE && context.duration > 0) {
    result = av_rescale_q(context.duration, AV_TIME_BASE_Q, kHundredNanoseconds);
  } else if (stream && stream->duration != AV_NOPTS_VALUE && stream->duration > 0 &&
             stream->time_base.num > 0 && stream->time_base.den > 0) {
    result = av_rescale_q(stream->duration, stream->time_base, kHundredNanoseconds);
  }
  return result > 0 ? result : 0;  // av_rescale_q gives INT64_MIN when the value overflows
}

template <typename T>
T Clamped(int64_t value) {
  return static_cast<T>(std::clamp<int64_t>(value, 0, std::numeric_limits<T>::max()));
}

}  // namespace

int32_t file_init(const char* path, int64_t* duration, int32_t* /*second*/, int32_t* noAudio,
                  TMediaInfoBlock* /*block*/, TWaveFormatEx* format) {
  file_exit();
  if (!path || !duration || !noAudio || !format) return -1;
  auto media = std::make_unique<OpenedMedia>();
  if (media->Open(path) != 0 || media->FindStreamInfo() != 0) return 1;
  AVFormatContext& context = *media->Context();

  const int audio = av_find_best_stream(&context, AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
  const AVStream* stream = audio >= 0 ? context.streams[audio] : nullptr;
  *duration = DurationOf(context, stream);
  // A partly downloaded multi-rate file shows what it really holds.
  if (media->HeldDurationHns() > 0) *duration = media->HeldDurationHns();
  *noAudio = stream ? 0 : 1;
  if (stream) {
    const AVCodecParameters& codec = *stream->codecpar;
    format->wFormatTag = static_cast<uint16_t>(codec.codec_tag & 0xFFFF);
    format->nChannels = Clamped<uint16_t>(codec.ch_layout.nb_channels);
    format->nSamplesPerSec = Clamped<uint32_t>(codec.sample_rate);
    format->nAvgBytesPerSec = Clamped<uint32_t>(codec.bit_rate / 8);
    format->nBlockAlign = Clamped<uint16_t>(codec.block_align);
    format->wBitsPerSample = Clamped<uint16_t>(codec.bits_per_coded_sample);
  }
  openedMedia = std::move(media);
  return 0;
}

int32_t file_exit() {
  openedMedia.reset();
  return 0;
}
