#include "audio/DecoderCheck.h"

#include <initializer_list>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

const char* const DirectShowMissingMessage =
    "Cannot start Snd_DX9 without FFmpeg present, Please install FFmpeg";

bool DirectShowPresent() {
  if (!av_find_input_format("rm")) return false;
  for (AVCodecID id : {AV_CODEC_ID_RA_144, AV_CODEC_ID_RA_288, AV_CODEC_ID_COOK}) {
    if (avcodec_find_decoder(id)) return true;
  }
  return false;
}
