#include "MediaReader.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/dict.h>
}

#include <algorithm>
#include <cctype>
#include <cmath>
#include <complex>
#include <memory>
#include <numeric>

namespace {

struct FormatCloser {
  void operator()(AVFormatContext* context) const { avformat_close_input(&context); }
};
struct CodecFreer {
  void operator()(AVCodecContext* context) const { avcodec_free_context(&context); }
};
struct PacketFreer {
  void operator()(AVPacket* packet) const { av_packet_free(&packet); }
};
struct FrameFreer {
  void operator()(AVFrame* frame) const { av_frame_free(&frame); }
};

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
  return text;
}

void CollectTags(AVDictionary* dictionary, std::map<std::string, std::string>& tags) {
  const AVDictionaryEntry* entry = nullptr;
  while ((entry = av_dict_get(dictionary, "", entry, AV_DICT_IGNORE_SUFFIX)))
    tags.emplace(Lower(entry->key), entry->value);
}

float SampleAt(const AVFrame* frame, AVSampleFormat format, int channel, int index, int channels) {
  const bool planar = av_sample_fmt_is_planar(format);
  const int plane = planar ? channel : 0;
  const int offset = planar ? index : index * channels + channel;
  const uint8_t* data = frame->extended_data[plane];
  switch (av_get_packed_sample_fmt(format)) {
    case AV_SAMPLE_FMT_U8:
      return (data[offset] - 128) / 128.0f;
    case AV_SAMPLE_FMT_S16:
      return reinterpret_cast<const int16_t*>(data)[offset] / 32768.0f;
    case AV_SAMPLE_FMT_S32:
      return reinterpret_cast<const int32_t*>(data)[offset] / 2147483648.0f;
    case AV_SAMPLE_FMT_FLT:
      return reinterpret_cast<const float*>(data)[offset];
    case AV_SAMPLE_FMT_DBL:
      return float(reinterpret_cast<const double*>(data)[offset]);
    default:
      return 0.0f;
  }
}

void Fft(std::vector<std::complex<double>>& a) {
  const std::size_t n = a.size();
  for (std::size_t i = 1, j = 0; i < n; ++i) {
    std::size_t bit = n >> 1;
    for (; j & bit; bit >>= 1) j ^= bit;
    j ^= bit;
    if (i < j) std::swap(a[i], a[j]);
  }
  for (std::size_t length = 2; length <= n; length <<= 1) {
    const double angle = -2 * M_PI / double(length);
    const std::complex<double> step(std::cos(angle), std::sin(angle));
    for (std::size_t i = 0; i < n; i += length) {
      std::complex<double> w(1);
      for (std::size_t k = 0; k < length / 2; ++k) {
        const auto u = a[i + k];
        const auto v = a[i + k + length / 2] * w;
        a[i + k] = u + v;
        a[i + k + length / 2] = u - v;
        w *= step;
      }
    }
  }
}

}  // namespace

DecodedMedia DecodeMedia(const std::string& path) {
  DecodedMedia result;
  AVFormatContext* rawFormat = nullptr;
  if (avformat_open_input(&rawFormat, path.c_str(), nullptr, nullptr) < 0) {
    result.error = "cannot open " + path;
    return result;
  }
  std::unique_ptr<AVFormatContext, FormatCloser> format(rawFormat);
  if (avformat_find_stream_info(format.get(), nullptr) < 0) {
    result.error = "no stream info";
    return result;
  }
  result.formatName = format->iformat->name;
  CollectTags(format->metadata, result.tags);
  if (format->duration > 0) result.containerSeconds = format->duration / double(AV_TIME_BASE);

  const AVCodec* codec = nullptr;
  const int streamIndex = av_find_best_stream(format.get(), AVMEDIA_TYPE_AUDIO, -1, -1, &codec, 0);
  if (streamIndex < 0 || !codec) {
    result.error = "no audio stream";
    return result;
  }
  AVStream* stream = format->streams[streamIndex];
  CollectTags(stream->metadata, result.tags);
  std::unique_ptr<AVCodecContext, CodecFreer> decoder(avcodec_alloc_context3(codec));
  if (!decoder || avcodec_parameters_to_context(decoder.get(), stream->codecpar) < 0 ||
      avcodec_open2(decoder.get(), codec, nullptr) < 0) {
    result.error = "cannot open decoder";
    return result;
  }
  result.codecName = codec->name;
  result.bitRate = stream->codecpar->bit_rate;
  result.sampleRate = decoder->sample_rate;
  result.channels = decoder->ch_layout.nb_channels;
  result.samples.resize(std::max(result.channels, 0));

  std::unique_ptr<AVPacket, PacketFreer> packet(av_packet_alloc());
  std::unique_ptr<AVFrame, FrameFreer> frame(av_frame_alloc());
  auto drain = [&] {
    while (avcodec_receive_frame(decoder.get(), frame.get()) >= 0) {
      const int channels = frame->ch_layout.nb_channels;
      const auto sampleFormat = static_cast<AVSampleFormat>(frame->format);
      for (int c = 0; c < std::min(channels, result.channels); ++c)
        for (int i = 0; i < frame->nb_samples; ++i)
          result.samples[c].push_back(SampleAt(frame.get(), sampleFormat, c, i, channels));
      av_frame_unref(frame.get());
    }
  };
  while (av_read_frame(format.get(), packet.get()) >= 0) {
    if (packet->stream_index == streamIndex && avcodec_send_packet(decoder.get(), packet.get()) >= 0) drain();
    av_packet_unref(packet.get());
  }
  avcodec_send_packet(decoder.get(), nullptr);
  drain();
  result.ok = true;
  return result;
}

double DominantFrequency(const std::vector<float>& samples, int sampleRate, double skipSeconds) {
  const std::size_t skip = std::size_t(skipSeconds * sampleRate);
  if (sampleRate <= 0 || samples.size() <= skip + 64) return 0;
  std::size_t n = 1;
  while (n * 2 <= samples.size() - skip && n < (1u << 16)) n *= 2;
  std::vector<std::complex<double>> data(n);
  for (std::size_t i = 0; i < n; ++i) {
    const double window = 0.5 - 0.5 * std::cos(2 * M_PI * double(i) / double(n - 1));
    data[i] = samples[skip + i] * window;
  }
  Fft(data);
  std::size_t best = 1;
  for (std::size_t k = 1; k < n / 2; ++k)
    if (std::abs(data[k]) > std::abs(data[best])) best = k;
  // Parabolic interpolation between the neighbouring bins.
  double offset = 0;
  if (best > 1 && best + 1 < n / 2) {
    const double a = std::abs(data[best - 1]), b = std::abs(data[best]), c = std::abs(data[best + 1]);
    const double denominator = a - 2 * b + c;
    if (denominator != 0) offset = 0.5 * (a - c) / denominator;
  }
  return (double(best) + offset) * sampleRate / double(n);
}

namespace {

std::vector<double> Loudness(const DecodedMedia& media) {
  std::vector<double> windows;
  const std::size_t window = std::size_t(std::max(media.sampleRate / 10, 1));
  const std::size_t frames = media.samples.empty() ? 0 : media.samples[0].size();
  for (std::size_t start = 0; start + window <= frames; start += window) {
    double energy = 0;
    for (const std::vector<float>& channel : media.samples)
      for (std::size_t i = start; i < start + window; ++i) energy += double(channel[i]) * channel[i];
    windows.push_back(std::sqrt(energy / double(window * media.samples.size())));
  }
  return windows;
}

}  // namespace

double LoudnessCorrelation(const DecodedMedia& a, const DecodedMedia& b) {
  std::vector<double> x = Loudness(a), y = Loudness(b);
  const std::size_t n = std::min(x.size(), y.size());
  x.resize(n);
  y.resize(n);
  for (std::vector<double>* v : {&x, &y}) {
    const double mean = std::accumulate(v->begin(), v->end(), 0.0) / double(std::max<std::size_t>(n, 1));
    for (double& value : *v) value -= mean;
  }
  const double xx = std::inner_product(x.begin(), x.end(), x.begin(), 0.0);
  const double yy = std::inner_product(y.begin(), y.end(), y.begin(), 0.0);
  return xx > 0 && yy > 0 ? std::inner_product(x.begin(), x.end(), y.begin(), 0.0) / std::sqrt(xx * yy) : 0;
}
