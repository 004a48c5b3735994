#include "audio/PlayableMp3.h"

#include <chrono>

#include "audio/FFmpegHandles.h"
#include "probe/OpenedMedia.h"

namespace {

// Opening the file and decoding its first frames takes a moment for any MP3 the sink wrote.
constexpr std::chrono::milliseconds kCheckBudget{10000};
// A file whose first this many packets decode to nothing does not play.
constexpr int kMaxPackets = 256;

}  // namespace

bool IsPlayableMp3(const std::string& path) {
  // Our own output, so the MP3 demuxer is named rather than guessed; the one opener takes regular
  // files only and bounds the time every call may take.
  OpenedMedia media;
  if (media.Open(path.c_str(), kCheckBudget, "mp3") != 0 || media.FindStreamInfo() != 0) return false;
  AVFormatContext* format = media.Context();
  const AVCodec* codec = nullptr;
  const int index = av_find_best_stream(format, AVMEDIA_TYPE_AUDIO, -1, -1, &codec, 0);
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
  for (int packets = 0; packets < kMaxPackets && av_read_frame(format, packet.get()) >= 0; ++packets) {
    const bool ours = packet->stream_index == index;
    if (ours) avcodec_send_packet(decoder.get(), packet.get());
    av_packet_unref(packet.get());
    if (ours && avcodec_receive_frame(decoder.get(), frame.get()) == 0 && frame->nb_samples > 0) return true;
  }
  avcodec_send_packet(decoder.get(), nullptr);
  return avcodec_receive_frame(decoder.get(), frame.get()) == 0 && frame->nb_samples > 0;
}
