#include "audio/LameSettings.h"

#include "audio/Id3v2Tag.h"
#include "audio/SndError.h"
#include "audio/lame.h"

void TLameCloser::operator()(lame_global_flags* encoder) const {
  if (encoder && Lame.lame_close) Lame.lame_close(encoder);
}

void ConfigureLame(lame_global_flags* gf, const TLameSettings& s) {
  // A setter refuses a value by returning -1 and keeps its default (an input rate of 0 would then
  // encode as 44100 Hz): a refusal of any setting, or of the whole, ends the run.
  int refused = 0;
  auto check = [&refused](int result) {
    if (result < 0 && refused == 0) refused = result;
  };
  check(Lame.lame_set_in_samplerate(gf, s.InRate));
  check(Lame.lame_set_num_channels(gf, 2));
  check(Lame.lame_set_out_samplerate(gf, s.OutRate));
  check(Lame.lame_set_mode(gf, s.Mode));
  check(Lame.lame_set_copyright(gf, s.Copyright ? 1 : 0));
  check(Lame.lame_set_original(gf, s.Original ? 1 : 0));
  check(Lame.lame_set_error_protection(gf, s.Crc ? 1 : 0));
  if (s.Vbr) {
    if (s.VbrHeader) check(Lame.lame_set_VBR(gf, SinkVbrMode));
    check(Lame.lame_set_bWriteVbrTag(gf, 1));
    check(Lame.lame_set_VBR_q(gf, s.VbrQuality));
    check(Lame.lame_set_VBR_min_bitrate_kbps(gf, s.VbrMinKbps));
    check(Lame.lame_set_VBR_max_bitrate_kbps(gf, s.VbrMaxKbps));
  } else {
    check(Lame.lame_set_brate(gf, s.Kbps));
    check(Lame.lame_set_quality(gf, s.Quality));
  }
  if (s.LowpassHz > 0 && Lame.lame_set_lowpassfreq) check(Lame.lame_set_lowpassfreq(gf, s.LowpassHz));
  if (refused == 0) check(Lame.lame_init_params(gf));
  if (refused < 0) {
    const std::string bitrate = s.Vbr ? "variable bitrate " + std::to_string(s.VbrMinKbps) + "-" +
                                            std::to_string(s.VbrMaxKbps) + " kbps"
                                      : std::to_string(s.Kbps) + " kbps";
    throw ESndException("The MP3 encoder refused the settings for \"" + s.FileName + "\" (input rate " +
                        std::to_string(s.InRate) + " Hz, output rate " + std::to_string(s.OutRate) + " Hz, " +
                        bitrate + "; LAME error " + std::to_string(refused) + ").");
  }
}

TLameHandle MakeLameEncoder(const TLameSettings& settings) {
  TLameHandle encoder(Lame.lame_init());
  if (!encoder) throw ESndException("The MP3 encoder could not be created.");
  ConfigureLame(encoder.get(), settings);
  return encoder;
}

void SetLameId3Texts(lame_global_flags* gf, const TLameId3Texts& texts) {
  Lame.id3tag_init(gf);
  // Our ID3v2 tag at the start holds the full texts: LAME must not add a second one.
  if (Lame.id3tag_v1_only) Lame.id3tag_v1_only(gf);
  Lame.id3tag_set_title(gf, Utf8ToLatin1(texts.Title).c_str());
  Lame.id3tag_set_artist(gf, Utf8ToLatin1(texts.Artist).c_str());
  Lame.id3tag_set_album(gf, Utf8ToLatin1(texts.Album).c_str());
  Lame.id3tag_set_year(gf, Utf8ToLatin1(texts.Year).c_str());
  Lame.id3tag_set_track(gf, Utf8ToLatin1(texts.Track).c_str());
  Lame.id3tag_set_comment(gf, Utf8ToLatin1(texts.Comment).c_str());
  Lame.id3tag_set_genre(gf, Utf8ToLatin1(texts.Genre).c_str());
}
