#pragma once
// Owning handles for the FFmpeg objects the decoding input uses (the opened file itself is an
// OpenedMedia, probe/OpenedMedia.h).
#include <memory>

#include "probe/CodecHandles.h"

extern "C" {
#include <libavformat/avformat.h>
#include <libswresample/swresample.h>
}

namespace snd_ffmpeg {

struct ResamplerFreer {
  void operator()(SwrContext* s) const { swr_free(&s); }
};

using ResamplerPtr = std::unique_ptr<SwrContext, ResamplerFreer>;

}  // namespace snd_ffmpeg
