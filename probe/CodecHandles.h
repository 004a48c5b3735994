#pragma once
// Owning handles for the FFmpeg decoding objects: the opener's trial decode and the decoding input
// both use them.
#include <memory>

extern "C" {
#include <libavcodec/avcodec.h>
}

namespace snd_ffmpeg {

struct CodecFreer {
  void operator()(AVCodecContext* c) const { avcodec_free_context(&c); }
};
struct FrameFreer {
  void operator()(AVFrame* f) const { av_frame_free(&f); }
};
struct PacketFreer {
  void operator()(AVPacket* p) const { av_packet_free(&p); }
};

using CodecPtr = std::unique_ptr<AVCodecContext, CodecFreer>;
using FramePtr = std::unique_ptr<AVFrame, FrameFreer>;
using PacketPtr = std::unique_ptr<AVPacket, PacketFreer>;

}  // namespace snd_ffmpeg
