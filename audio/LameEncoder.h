#pragma once
// An encoder instance of the LAME library, configured from a run's settings.
#include "audio/LameSettings.h"
#include "audio/Mp3Encoder.h"

class TLameEncoder : public TMp3Encoder {
 public:
  // Raises ESndException when the instance cannot be created or refuses the settings.
  explicit TLameEncoder(const TLameSettings& settings);
  // Takes over an instance configured already.
  explicit TLameEncoder(TLameHandle handle) : handle_(std::move(handle)) {}

  int Encode(const int16_t* samples, int32_t frames, int32_t channels, unsigned char* out,
             int64_t outSize) override;
  int Finish(unsigned char* out, int64_t outSize) override;
  int FlushNoGap(unsigned char* out, int64_t outSize) override;
  std::vector<unsigned char> TagFrame() const override;
  int EncoderPadding() const override;
  size_t TagFrameSize() const override;
  int64_t FramesEncoded() const override;
  bool WritesTag() const override;
  int32_t FrameSize() const override;
  int32_t InRate() const override;
  int32_t OutRate() const override;

  // The texts of the ID3v1 tag Finish writes.
  void SetId3Texts(const TLameId3Texts& texts);
  // Hands the instance over (to the segments, or to the tag writer); this encoder is empty then.
  TLameHandle Release() { return std::move(handle_); }

 private:
  TLameHandle handle_;
};
