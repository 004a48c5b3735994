#include "audio/PlayableMp3.h"

#include "audio/FFmpegHandles.h"

namespace {

struct InputCloser {
  void operator()(AVFormatContext* context) const { avformat_close_input(&context); }
};

}  // namespace

bool IsPlayableMp3(const std::string& path) {
  // Our own output, so the MP3 demuxer is named rather than guessed.
  const AVInputFormat* mp3 = av_find_input_format("mp3");
  AVFormatContext* raw = nullptr;
  if (!mp3 || avformat_open_input(&raw, path.c_str(), mp3, nullptr) < 0) return false;
  const std::unique_ptr<AVFormatContext, InputCloser> format(raw);
  if (avformat_find_stream_info(format.get(), nullptr) < 0) return false;
  const AVCodec* codec = nullptr;
  const int index = av_find_best_stream(format.get(), AVMEDIA_TYPE_AUDIO, -1, -1, &codec, 0);
  if (index < 0 || !codec) return false;
  snd_ffmpeg::CodecPtr decoder(avcodec_alloc_context3(codec));
  snd_ffmpeg::PacketPtr packet(av_packet_alloc());
  snd_ffmpeg::FramePtr frame(av_frame_alloc());
  if (!decoder || !packet || !frame) return false;
  // Only whether it plays matters here: the decoder's remarks on a short file stay out of the log.
  decoder->log_level_offset = AV_LOG_TRACE;
  if (avcodec_parameters_to_context(decoder.get(), format->streams[index]->codecpar) < 0 ||
      avcodec_open2(decoder.get(), codec, nullptr) < 0) {
    return false;
  }
  while (av_read_frame(format.get(), packet.get()) >= 0) {
    const bool ours = packet->stream_index == index;
    if (ours) avcodec_send_packet(decoder.get(), packet.get());
    av_packet_unref(packet.get());
    if (ours && avcodec_receive_frame(decoder.get(), frame.get()) == 0 && frame->nb_samples > 0) return true;
  }
  avcodec_send_packet(decoder.get(), nullptr);
  return avcodec_receive_frame(decoder.get(), frame.get()) == 0 && frame->nb_samples > 0;
}
