#include "run/TaskSettings.h"

#include "audio/Snd_LAME.h"
#include "core/TaskList.h"

void ApplyTaskToMP3Out(TMP3Out& out, const TTaskRecord& task) {
  out.FileName = task.OutputFile;
  const int position = BitrateIndex(task.Bitrate);
  if (position >= br8 && position <= br320) out.BitRate = TMP3BitRate(position);
  out.VBRMinBitrate = task.VbrMinBitrate;
  out.VBRMaxBitrate = task.VbrMaxBitrate;
  out.Mode = ChannelModeToMP3Mode(task.ChannelMode);
  out.EnableVBR = task.UseVBR ? 1 : 0;
  out.WriteVBRHeader = task.UseVBR ? 1 : 0;
  out.SampleRate = SampleRateToMP3(task.SampleRate);
  out.Id3TagTitle = task.Title.str();
  out.Id3TagArtist = task.Artist.str();
  out.Id3TagAlbum = task.Album.str();
  out.Id3TagYear = task.Year.str();
  out.Id3TagGenre = task.Genre.str();
  out.Id3TagComment = task.Comment.str();
}
