#include "audio/LameEncoder.h"

#include <algorithm>
#include <limits>

#include "audio/lame.h"

namespace {

int BufferSize(int64_t size) { return int(std::min<int64_t>(size, std::numeric_limits<int>::max())); }

}  // namespace

TLameEncoder::TLameEncoder(const TLameSettings& settings) : handle_(MakeLameEncoder(settings)) {}

int TLameEncoder::Encode(const int16_t* samples, int32_t frames, int32_t channels, unsigned char* out,
                         int64_t outSize) {
  if (channels == 2) {
    return Lame.lame_encode_buffer_interleaved(handle_.get(), const_cast<int16_t*>(samples), frames, out,
                                               BufferSize(outSize));
  }
  return Lame.lame_encode_buffer(handle_.get(), samples, samples, frames, out, BufferSize(outSize));
}

int TLameEncoder::Finish(unsigned char* out, int64_t outSize) {
  return Lame.lame_encode_flush(handle_.get(), out, BufferSize(outSize));
}

int TLameEncoder::FlushNoGap(unsigned char* out, int64_t outSize) {
  return Lame.lame_encode_flush_nogap(handle_.get(), out, BufferSize(outSize));
}

std::vector<unsigned char> TLameEncoder::TagFrame() const {
  std::vector<unsigned char> frame;
  if (!handle_ || !LameGetLametagFrame) return frame;
  // The largest layer III frame is 1441 bytes; the encoder says when it needs more.
  frame.assign(4096, 0);
  size_t size = LameGetLametagFrame(handle_.get(), frame.data(), frame.size());
  if (size > frame.size()) {
    frame.assign(size, 0);
    size = LameGetLametagFrame(handle_.get(), frame.data(), frame.size());
  }
  frame.resize(size <= frame.size() ? size : 0);
  return frame;
}

int TLameEncoder::EncoderPadding() const {
  return handle_ && Lame.lame_get_encoder_padding ? Lame.lame_get_encoder_padding(handle_.get()) : 0;
}

size_t TLameEncoder::TagFrameSize() const {
  return handle_ && LameGetLametagFrame ? LameGetLametagFrame(handle_.get(), nullptr, 0) : 0;
}

int64_t TLameEncoder::FramesEncoded() const {
  return handle_ && Lame.lame_get_frameNum ? Lame.lame_get_frameNum(handle_.get()) : 0;
}

bool TLameEncoder::WritesTag() const { return handle_ && Lame.lame_get_bWriteVbrTag(handle_.get()) > 0; }

int32_t TLameEncoder::FrameSize() const {
  return handle_ && Lame.lame_get_framesize ? Lame.lame_get_framesize(handle_.get()) : 1152;
}

int32_t TLameEncoder::InRate() const {
  return handle_ && Lame.lame_get_in_samplerate ? Lame.lame_get_in_samplerate(handle_.get()) : 44100;
}

int32_t TLameEncoder::OutRate() const {
  return handle_ && Lame.lame_get_out_samplerate ? Lame.lame_get_out_samplerate(handle_.get()) : 48000;
}

void TLameEncoder::SetId3Texts(const TLameId3Texts& texts) { SetLameId3Texts(handle_.get(), texts); }
