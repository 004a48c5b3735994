#include "audio/Snd_LAME.h"

#include <unistd.h>

#include <algorithm>

#include "audio/FileStream.h"
#include "audio/Id3v2Tag.h"
#include "audio/lame.h"
#include "core/TaskList.h"

namespace {

static_assert(br320 + 1 == BitrateCount, "one TMP3BitRate for each bitrate of the list");
// The mode is handed to the encoder as its number: the order must be LAME's own.
static_assert(int(TMP3Mode::STEREO) == STEREO && int(TMP3Mode::JOINT_STEREO) == JOINT_STEREO &&
                  int(TMP3Mode::DUAL_CHANNEL) == DUAL_CHANNEL && int(TMP3Mode::MONO) == MONO,
              "TMP3Mode follows LAME's MPEG_mode");
constexpr int32_t SampleRateHz[] = {0, 32000, 44100, 48000};

// A library that lacks an entry point the sink calls would crash at the call: refuse it up front.
void RequireEntryPoints() {
  struct Needed {
    const void* fn;
    const char* name;
  };
#define TOLVANE_NEEDED(name) \
  Needed { reinterpret_cast<const void*>(Lame.name), #name }
  const Needed needed[] = {TOLVANE_NEEDED(lame_init),
                           TOLVANE_NEEDED(lame_set_in_samplerate),
                           TOLVANE_NEEDED(lame_set_num_channels),
                           TOLVANE_NEEDED(lame_set_out_samplerate),
                           TOLVANE_NEEDED(lame_set_mode),
                           TOLVANE_NEEDED(lame_set_copyright),
                           TOLVANE_NEEDED(lame_set_original),
                           TOLVANE_NEEDED(lame_set_error_protection),
                           TOLVANE_NEEDED(lame_set_brate),
                           TOLVANE_NEEDED(lame_set_quality),
                           TOLVANE_NEEDED(lame_set_VBR),
                           TOLVANE_NEEDED(lame_set_bWriteVbrTag),
                           TOLVANE_NEEDED(lame_set_VBR_q),
                           TOLVANE_NEEDED(lame_set_VBR_min_bitrate_kbps),
                           TOLVANE_NEEDED(lame_set_VBR_max_bitrate_kbps),
                           TOLVANE_NEEDED(lame_init_params),
                           TOLVANE_NEEDED(lame_encode_buffer_interleaved),
                           TOLVANE_NEEDED(lame_encode_buffer),
                           TOLVANE_NEEDED(id3tag_init),
                           TOLVANE_NEEDED(id3tag_set_title),
                           TOLVANE_NEEDED(id3tag_set_artist),
                           TOLVANE_NEEDED(id3tag_set_album),
                           TOLVANE_NEEDED(id3tag_set_year),
                           TOLVANE_NEEDED(id3tag_set_track),
                           TOLVANE_NEEDED(id3tag_set_comment),
                           TOLVANE_NEEDED(id3tag_set_genre),
                           TOLVANE_NEEDED(lame_encode_flush),
                           TOLVANE_NEEDED(lame_get_bWriteVbrTag),
                           TOLVANE_NEEDED(lame_close)};
#undef TOLVANE_NEEDED
  for (const Needed& entry : needed) {
    if (!entry.fn) throw ESndException(std::string("The MP3 encoder library lacks ") + entry.name + ".");
  }
}

}  // namespace

int32_t MP3BitRateKbps(TMP3BitRate rate) {
  return rate >= br8 && rate <= br320 ? MP3Bitrates[rate] : MP3Bitrates[br128];
}

int32_t MP3SampleRateHz(TMP3SampleRate rate) {
  return rate >= srDefault && rate <= sr48kHz ? SampleRateHz[rate] : 0;
}

TMP3Mode ChannelModeToMP3Mode(int32_t channelMode) {
  switch (channelMode) {
    case 0:
      return TMP3Mode::DUAL_CHANNEL;
    case 1:
      return TMP3Mode::STEREO;
    case 2:
      return TMP3Mode::JOINT_STEREO;
    default:
      return TMP3Mode::MONO;
  }
}

TMP3SampleRate SampleRateToMP3(int32_t hz) {
  if (hz == 32000) return sr32kHz;
  if (hz == 48000) return sr48kHz;
  return sr41kHz;
}

void TMP3Out::EncoderCloser::operator()(lame_global_struct* encoder) const {
  if (encoder && Lame.lame_close) Lame.lame_close(encoder);
}

TMP3Out::TMP3Out() {
  const std::string library = LameLibraryFile();
  LoadLame(library);
  lameLoaded_ = LameLoaded();
  SetFileMode(foRewrite);
  if (!lameLoaded_) throw ESndException(library + " library could not be loaded.");
}

TMP3Out::~TMP3Out() {
  // The worker must be gone (and a run in progress finalised) before the library is released.
  TerminateWorker();
  if (lameLoaded_) UnloadLame();
}

void TMP3Out::WriteOut(const unsigned char* data, int count) {
  if (Stream && count > 0) Stream->Write(data, count);
}

void TMP3Out::CloseOwnStream() {
  if (StreamAttached) return;
  Stream = nullptr;
  ownStream_.reset();
}

void TMP3Out::AbandonOutputFile() {
  // The run never started: close the file and remove it rather than leave an empty MP3 behind.
  if (StreamAttached || !ownStream_) return;
  CloseOwnStream();
  unlink(FileName.c_str());
}

void TMP3Out::PrepareOutput() {
  if (!StreamAttached) {
    if (FileName.empty()) throw ESndException("File name is not assigned.");
    ownStream_ = TFileStream::Create(FileName);
    Stream = ownStream_.get();
  }
  TSndInput* input = Input();
  try {
    input->BeginRead();
  } catch (...) {
    AbandonOutputFile();
    throw;
  }
  try {
    RequireEntryPoints();
    EncoderHandle encoder(Lame.lame_init());
    if (!encoder) throw ESndException("The MP3 encoder could not be created.");
    lame_global_flags* gf = encoder.get();
    Lame.lame_set_in_samplerate(gf, input->SamplesPerSecond());
    Lame.lame_set_num_channels(gf, 2);
    const int32_t kbps = MP3BitRateKbps(BitRate);
    Lame.lame_set_out_samplerate(gf, MP3SampleRateHz(SampleRate));
    Lame.lame_set_mode(gf, MPEG_mode(Mode));
    Lame.lame_set_copyright(gf, Copyright ? 1 : 0);
    Lame.lame_set_original(gf, Original ? 1 : 0);
    Lame.lame_set_error_protection(gf, CRC ? 1 : 0);
    if (EnableVBR) {
      if (WriteVBRHeader) Lame.lame_set_VBR(gf, vbr_mode(2));
      Lame.lame_set_bWriteVbrTag(gf, 1);
      Lame.lame_set_VBR_q(gf, VBRQuality);
      if (VBRMaxBitrate < VBRMinBitrate) std::swap(VBRMinBitrate, VBRMaxBitrate);
      Lame.lame_set_VBR_min_bitrate_kbps(gf, VBRMinBitrate);
      Lame.lame_set_VBR_max_bitrate_kbps(gf, VBRMaxBitrate);
    } else {
      Lame.lame_set_brate(gf, kbps);
      Lame.lame_set_quality(gf, Quality);
    }
    Lame.lame_init_params(gf);
    OutBuffer = std::make_unique<unsigned char[]>(OutBufferSize);
    // The full texts go first, before any audio; LAME adds only its ID3v1 tag at the end.
    const std::string tag = BuildId3v2Tag(
        {Id3TagTitle, Id3TagArtist, Id3TagAlbum, Id3TagYear, Id3TagTrack, Id3TagComment, Id3TagGenre});
    if (Stream && !tag.empty()) Stream->Write(tag.data(), int64_t(tag.size()));
    Encoder = std::move(encoder);
  } catch (...) {
    OutBuffer.reset();
    try {
      input->EndRead();
    } catch (...) {
    }
    AbandonOutputFile();
    throw;
  }
}

bool TMP3Out::WriteStep(bool abort) {
  if (!CanWrite.load()) return true;
  if (abort) return false;
  int32_t count = 0;
  int32_t channels = 2;
  AcquireInputLock();
  try {
    // A source that went away ends the run like one that ran dry.
    if (TSndInput* input = Input()) {
      count = input->ReadData(InBlock, InBlockSize);
      if (count > 0) channels = input->ChannelCount();
    }
  } catch (...) {
    ReleaseInputLock();
    throw;
  }
  ReleaseInputLock();
  if (count <= 0) return false;
  count = std::min(count, InBlockSize);
  auto* out = OutBuffer.get();
  int result;
  if (channels == 2) {
    result = Lame.lame_encode_buffer_interleaved(Encoder.get(), InBlock, count / 4, out, OutBufferSize);
  } else {
    // Any other channel count: the samples go to both channels.
    result = Lame.lame_encode_buffer(Encoder.get(), InBlock, InBlock, count / 2, out, OutBufferSize);
  }
  if (result < 0) return false;
  WriteOut(out, result);
  return true;
}

void TMP3Out::FinishOutput() {
  lame_global_flags* gf = Encoder.get();
  if (gf && OutBuffer) {
    Lame.id3tag_init(gf);
    // Our ID3v2 tag at the start holds the full texts: LAME must not add a second one.
    if (Lame.id3tag_v1_only) Lame.id3tag_v1_only(gf);
    Lame.id3tag_set_title(gf, Utf8ToLatin1(Id3TagTitle).c_str());
    Lame.id3tag_set_artist(gf, Utf8ToLatin1(Id3TagArtist).c_str());
    Lame.id3tag_set_album(gf, Utf8ToLatin1(Id3TagAlbum).c_str());
    Lame.id3tag_set_year(gf, Utf8ToLatin1(Id3TagYear).c_str());
    Lame.id3tag_set_track(gf, Utf8ToLatin1(Id3TagTrack).c_str());
    Lame.id3tag_set_comment(gf, Utf8ToLatin1(Id3TagComment).c_str());
    Lame.id3tag_set_genre(gf, Utf8ToLatin1(Id3TagGenre).c_str());
    const int count = Lame.lame_encode_flush(gf, OutBuffer.get(), OutBufferSize);
    WriteOut(OutBuffer.get(), count);
  }
  CloseOwnStream();
  if (gf) {
    lame_global_flags* released = Encoder.release();
    if (Lame.lame_get_bWriteVbrTag(released) > 0) {
      beWriteInfoTag(released, FileName.c_str());
    } else {
      Lame.lame_close(released);
    }
  }
  OutBuffer.reset();
  if (TSndInput* input = Input()) input->EndRead();
}
