#pragma once
// One MP3 sink's encoder settings, taken once per run, so that every encoder instance of the run
// (one, or one per segment) is configured alike.
#include <lame/lame.h>  // types only

#include <memory>
#include <string>

struct TLameCloser {
  void operator()(lame_global_flags* encoder) const;
};
// An encoder instance; lame_close when it goes.
using TLameHandle = std::unique_ptr<lame_global_flags, TLameCloser>;

struct TLameSettings {
  std::string FileName;  // the output, for messages
  int InRate = 0;
  int OutRate = 0;  // 0: the encoder chooses
  MPEG_mode Mode = STEREO;
  bool Copyright = false;
  bool Original = true;
  bool Crc = false;
  bool Vbr = false;
  bool VbrHeader = false;  // the VBR mode of a task that asks for a VBR header
  int VbrQuality = 5;
  int VbrMinKbps = 128;  // min <= max
  int VbrMaxKbps = 192;
  int Kbps = 128;
  int Quality = 5;
  int LowpassHz = 0;  // 0: the encoder's own choice for the bitrate
};

// Configures encoder and runs lame_init_params. A refused setting raises ESndException naming the file,
// the rates and the bitrate.
void ConfigureLame(lame_global_flags* encoder, const TLameSettings& settings);
// lame_init and ConfigureLame; raises when the instance cannot be created.
TLameHandle MakeLameEncoder(const TLameSettings& settings);

// The ID3v1 texts LAME writes at the end of the file, UTF-8 (LAME gets them as Latin-1).
struct TLameId3Texts {
  std::string Title, Artist, Album, Year, Track, Comment, Genre;
};
void SetLameId3Texts(lame_global_flags* encoder, const TLameId3Texts& texts);
