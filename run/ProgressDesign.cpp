#include "run/ProgressDesign.h"

#include "audio/Snd_LAME.h"

void ApplyProgressWindowDesign(TMP3Out& out) {
  out.SetFileMode(foRewrite);
  out.BitRate = br192;
  out.Quality = ql2;
  out.SampleRate = sr41kHz;
  out.Original = 0;
  out.VBRQuality = ql2;
  out.SetSuspendWhenIdle(true);
}
