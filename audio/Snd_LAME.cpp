#include "audio/Snd_LAME.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <exception>
#include <numeric>
#include <utility>

#include "audio/AudioReadError.h"
#include "audio/FileStream.h"
#include "audio/Id3v2Tag.h"
#include "audio/SegmentEncoder.h"
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

// A segmented run calls these beyond the one-encoder run's; without them a run keeps one encoder.
bool SegmentEntryPointsPresent() {
  return Lame.lame_encode_flush_nogap && Lame.lame_get_frameNum && Lame.lame_get_encoder_padding &&
         Lame.lame_get_framesize && Lame.lame_get_in_samplerate && Lame.lame_get_out_samplerate &&
         LameGetLametagFrame && LameGetId3v1Tag;
}

// Output samples of warm-up before a segment's own frames: four MPEG-1 frames.
constexpr int32_t WarmUpSamples = 4 * 1152;
// Frames in which a segment's emptied bit reservoir fills again before the segment's own frames: the
// encoder saves a tenth of a frame's audio bits a frame until the reservoir (at most 255 or 511 bytes)
// is nine tenths full.
int32_t RebuildFramesFor(const TLameSettings& settings, int32_t frameSize, int32_t outRate) {
  if (settings.Vbr || outRate <= 0) return 24;
  const int64_t mpeg1 = frameSize == 1152;
  const int64_t frameBits = 8 * (int64_t(frameSize) / 8 * settings.Kbps * 1000 / outRate);
  const int64_t sideBits = 8 * (4 + (mpeg1 ? 32 : 17));
  const int64_t reservoirBits = (mpeg1 ? 2 : 1) * 2048 - 8;
  const int64_t saved = std::max<int64_t>((frameBits - sideBits) / 10, 1);
  return int32_t(std::clamp<int64_t>((reservoirBits * 9 / 10 + saved - 1) / saved, 16, 96));
}

// The frames after which a constant-bitrate encoder's pattern of padded (one byte longer) frames repeats.
int32_t PaddingPeriod(const TLameSettings& settings, int32_t frameSize, int32_t outRate) {
  if (settings.Vbr || outRate <= 0) return 1;
  const int64_t remainder = int64_t(frameSize) / 8 * settings.Kbps * 1000 % outRate;
  return remainder == 0 ? 1 : int32_t(outRate / std::gcd(int64_t(outRate), remainder));
}

// PCM resampled up from ownRate holds nothing above ownRate / 2 but the rounding noise of its 16-bit
// samples, which the encoder would otherwise quantise band by band at a quarter more work: its band
// ends there (as the encoder's own choice does when it picks the rate for such a source), unless its
// own choice for the bitrate is lower. 0: the encoder's own choice. A rate below the slowest real
// format's is a damaged header, not the audio's: the encoder keeps its own band then.
constexpr int32_t SlowestRealRate = 8000;
int LowpassFor(const TLameSettings& settings, int32_t ownRate) {
  if (ownRate < SlowestRealRate || ownRate >= settings.InRate || !Lame.lame_set_lowpassfreq ||
      !Lame.lame_get_lowpassfreq)
    return 0;
  const TLameHandle probe = MakeLameEncoder(settings);
  const int own = Lame.lame_get_lowpassfreq(probe.get());
  return own > 0 && own <= ownRate / 2 ? 0 : ownRate / 2;
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

int64_t TMP3Out::OutBufferSizeFor(int64_t samplesPerChannel, int32_t inRate, int32_t outRate) {
  double samples = double(samplesPerChannel);
  if (inRate > 0 && outRate > inRate) samples = samples * double(outRate) / double(inRate);
  return int64_t(std::ceil(1.25 * samples)) + 7200;
}

int64_t TMP3Out::EncodeChunkFor(int64_t maxSamples, int32_t inRate, int32_t outRate) {
  int64_t samples = std::max<int64_t>(maxSamples, 1);
  if (OutBufferSizeFor(samples, inRate, outRate) <= MaxOutBufferSize) return samples;
  // Upsampling by outRate / inRate: solve 1.25 x samples x ratio + 7200 <= MaxOutBufferSize.
  const double ratio = double(outRate) / double(inRate);
  samples = int64_t(double(MaxOutBufferSize - 7200) / (1.25 * ratio));
  while (samples > 1 && OutBufferSizeFor(samples, inRate, outRate) > MaxOutBufferSize) --samples;
  return std::max<int64_t>(samples, 1);
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

std::string TMP3Out::SourceName() const {
  const auto* file = dynamic_cast<const TSndFileIn*>(Input());
  return file ? file->FileName : std::string();
}

void TMP3Out::RaiseWriteFailed(int error) const {
  throw ESndException("Cannot write file \"" + FileName + "\". " + std::strerror(error),
                      TSndFailure::WriteFailed, error);
}

void TMP3Out::RaiseNoAudio(const std::string& reason) const {
  std::string message = "Cannot convert \"" + SourceName() + "\": no audio could be decoded";
  if (!reason.empty()) message += " (" + reason + ")";
  throw ESndException(message + ".", TSndFailure::NoAudio);
}

void TMP3Out::WriteOut(const unsigned char* data, int64_t count) {
  if (!Stream || count <= 0) return;
  if (Stream->Write(data, count) == count) return;
  const int error = Stream->LastError();
  RaiseWriteFailed(error != 0 ? error : EIO);
}

void TMP3Out::CloseOwnStream() {
  if (StreamAttached) return;
  Stream = nullptr;
  if (!ownStream_) return;
  const int error = ownStream_->Close();
  ownStream_.reset();
  // The system may refuse buffered data only at the close (a full disk over NFS, say).
  if (error != 0) RaiseWriteFailed(error);
}

void TMP3Out::WriteThrough(int fd) {
  handed_ = true;
  handedStream_ = TFileStream::Adopt(fd, handedError_);
}

void TMP3Out::AbandonOutputFile() {
  // Nothing worth keeping was written: close the file and remove it rather than leave a broken MP3. A
  // file written through a handed descriptor is only closed: its owner removes it.
  if (StreamAttached || !ownStream_) return;
  Stream = nullptr;
  ownStream_->CloseAndRemove();
  ownStream_.reset();
}

void TMP3Out::ConfigureSettings(int32_t inRate) {
  if (EnableVBR && VBRMaxBitrate < VBRMinBitrate) std::swap(VBRMinBitrate, VBRMaxBitrate);
  settings_ = TLameSettings();
  settings_.FileName = FileName;
  settings_.InRate = inRate;
  settings_.OutRate = MP3SampleRateHz(SampleRate);
  settings_.Mode = MPEG_mode(Mode);
  settings_.Copyright = Copyright != 0;
  settings_.Original = Original != 0;
  settings_.Crc = CRC != 0;
  settings_.Vbr = EnableVBR != 0;
  settings_.VbrHeader = WriteVBRHeader != 0;
  settings_.VbrQuality = VBRQuality;
  settings_.VbrMinKbps = VBRMinBitrate;
  settings_.VbrMaxKbps = VBRMaxBitrate;
  settings_.Kbps = MP3BitRateKbps(BitRate);
  settings_.Quality = Quality;
}

TLameId3Texts TMP3Out::Id3Texts() const {
  return {Id3TagTitle, Id3TagArtist, Id3TagAlbum, Id3TagYear, Id3TagTrack, Id3TagComment, Id3TagGenre};
}

bool TMP3Out::HelpersHeld() const { return signals_.Busy.load() == 0; }

void TMP3Out::PauseChanged() { signals_.Notify(); }

void TMP3Out::PrepareOutput() {
  runOpen_ = false;
  discardOutput_ = false;
  inputReading_ = false;
  pcmBytes_ = 0;
  pcmFrames_ = 0;
  firstFrameOffset_ = 0;
  inRate_ = 0;
  writtenDuration_.store(0, std::memory_order_release);
  segmentedRun_.store(false, std::memory_order_release);
  assembly_.Begin(fileSink_, FileName);
  mayTakeOver_ = false;
  lastChannels_ = 2;
  inputEnded_ = stopped_ = readFailed_ = segmentFailed_ = false;
  throughDescriptor_ = false;
  const bool handed = std::exchange(handed_, false);
  std::unique_ptr<TFileStream> handedStream = std::move(handedStream_);
  if (!StreamAttached) {
    createdFile_ = {};
    if (handed && !handedStream) {
      throw ESndException("Cannot create file \"" + FileName + "\". " + std::strerror(handedError_),
                          TSndFailure::CannotCreate, handedError_);
    }
    if (!handed && FileName.empty()) throw ESndException("File name is not assigned.");
    ownStream_ = handed ? std::move(handedStream) : TFileStream::Create(FileName);
    throughDescriptor_ = handed;
    createdFile_ = ownStream_->Identity();
    Stream = ownStream_.get();
  }
  TSndInput* input = Input();
  try {
    // The source resamples to the MP3's rate and mixes to its channels once: the encoder never does.
    input->RequestFormat(MP3SampleRateHz(SampleRate), Mode == TMP3Mode::MONO ? 1 : 2);
    input->BeginRead();
  } catch (...) {
    AbandonOutputFile();
    throw;
  }
  inputReading_ = true;
  try {
    RequireEntryPoints();
    const int32_t inRate = input->SamplesPerSecond();
    inRate_ = inRate;
    ConfigureSettings(inRate);
    settings_.LowpassHz = LowpassFor(settings_, input->OwnSampleRate());
    auto encoder = std::make_unique<TLameEncoder>(settings_);
    const int32_t outRate = encoder->OutRate();
    // Mono blocks carry the most samples a channel: InBlockSize / 2.
    encodeChunk_ = int32_t(EncodeChunkFor(InBlockSize / 2, inRate, outRate));
    outBufferSize_ = OutBufferSizeFor(encodeChunk_, inRate, outRate);
    OutBuffer = std::make_unique<unsigned char[]>(size_t(outBufferSize_));
    // The full texts go first, before any audio; LAME adds only its ID3v1 tag at the end.
    const std::string tag = BuildId3v2Tag(
        {Id3TagTitle, Id3TagArtist, Id3TagAlbum, Id3TagYear, Id3TagTrack, Id3TagComment, Id3TagGenre});
    WriteOut(reinterpret_cast<const unsigned char*>(tag.data()), int64_t(tag.size()));
    firstFrameOffset_ = int64_t(tag.size());
    // A free core no waiting task needs: segments from the start. Else one encoder, until one frees.
    if (!(Cores && Cores->LendsCores() && StartSegments(*encoder, outRate))) {
      mayTakeOver_ = Cores && Cores->Cores() > 1 && MakePlan(*encoder, takeOverPlan_, outRate);
      encoder_ = std::move(encoder);
      if (mayTakeOver_) assembly_.CountStream(*encoder_);
    }
  } catch (...) {
    segments_.reset();
    OutBuffer.reset();
    inputReading_ = false;
    try {
      input->EndRead();
    } catch (...) {
    }
    AbandonOutputFile();
    throw;
  }
  runOpen_ = true;
}

int32_t TMP3Out::ReadBlock(int32_t& channels) {
  int32_t count = 0;
  channels = 2;
  AcquireInputLock();
  try {
    // A source that went away ends the run like one that ran dry.
    if (TSndInput* input = Input()) {
      count = input->ReadData(InBlock, InBlockSize);
      if (count > 0) channels = input->ChannelCount();
    }
  } catch (const EAudioReadError& e) {
    ReleaseInputLock();
    if (pcmBytes_ > 0) {
      readFailed_ = true;
      throw;
    }
    // The decoder failed before it gave anything: no MP3 is left behind.
    discardOutput_ = true;
    RaiseNoAudio(e.what());
  } catch (const ESndException& e) {
    ReleaseInputLock();
    // A source whose decoder ran away has produced noise so far: nothing of it is kept.
    if (pcmBytes_ == 0 || e.Failure == TSndFailure::Damaged) discardOutput_ = true;
    readFailed_ = !discardOutput_;
    throw;
  } catch (...) {
    ReleaseInputLock();
    if (pcmBytes_ == 0) discardOutput_ = true;
    readFailed_ = !discardOutput_;
    throw;
  }
  ReleaseInputLock();
  if (count <= 0) {
    if (pcmBytes_ > 0) return 0;
    discardOutput_ = true;
    RaiseNoAudio(std::string());
  }
  count = std::min(count, InBlockSize);
  pcmBytes_ += count;
  return count;
}

bool TMP3Out::WriteStep(bool abort) {
  if (!CanWrite.load()) return true;
  if (abort) {
    stopped_ = true;
    return false;
  }
  if (segments_) return SegmentStep();
  if (mayTakeOver_ && ShouldTakeOver()) {
    TakeOverInSegments();
    return true;
  }
  int32_t channels = 2;
  const int32_t count = ReadBlock(channels);
  if (count == 0) return false;
  lastChannels_ = channels;
  auto* out = OutBuffer.get();
  // Any channel count but 2: the samples go to both channels.
  const int32_t perFrame = channels == 2 ? 2 : 1;
  const int32_t frames = count / (2 * perFrame);
  for (int32_t done = 0; done < frames; done += encodeChunk_) {
    const int32_t n = std::min(encodeChunk_, frames - done);
    const int result = encoder_->Encode(InBlock + done * perFrame, n, channels, out, outBufferSize_);
    if (result < 0) {
      throw ESndException("The MP3 encoder failed while writing \"" + FileName + "\" (LAME error " +
                          std::to_string(result) + ").");
    }
    assembly_.Stream(out, size_t(result));
  }
  pcmFrames_ += frames;
  // The encoder holds back about a frame, so this runs a little ahead of the file: close enough to show.
  if (inRate_ > 0) {
    const int64_t written = pcmBytes_ / (2 * perFrame);
    writtenDuration_.store(written * 10000000 / inRate_, std::memory_order_release);
  }
  return true;
}

bool TMP3Out::MakePlan(const TMp3Encoder& encoder, TSegmentPlan& plan, int32_t outRate) {
  if (!Cores || Cores->Cores() < 2 || !SegmentEntryPointsPresent()) return false;
  frameSize_ = encoder.FrameSize();
  outRate_ = outRate;
  return MakeSegmentPlan(inRate_, outRate, frameSize_, SegmentSeconds, WarmUpSamples,
                         RebuildFramesFor(settings_, frameSize_, outRate),
                         PaddingPeriod(settings_, frameSize_, outRate), plan);
}

TSegmentedEncoding::TSetup TMP3Out::SegmentSetup(const TSegmentPlan& plan) {
  TSegmentedEncoding::TSetup setup;
  setup.Plan = plan;
  setup.Settings = settings_;
  setup.ChunkFrames = std::min<int32_t>(encodeChunk_, int32_t(TSegmentEncoder::BlockFrames));
  setup.BufferSize = outBufferSize_;
  setup.Cores = Cores;
  setup.Helpers = Cores->Cores() - 1;
  setup.PauseRequested = [this] { return PauseRequested(); };
  setup.Signals = &signals_;
  return setup;
}

bool TMP3Out::StartSegments(TLameEncoder& first, int32_t outRate) {
  TSegmentPlan plan;
  if (!MakePlan(first, plan, outRate) || !Cores->ClaimForSegments()) return false;
  TSegmentedEncoding::TSetup setup = SegmentSetup(plan);
  setup.ClaimedCore = true;
  segments_ =
      std::make_unique<TSegmentedEncoding>(std::move(setup), std::make_unique<TLameEncoder>(first.Release()));
  segmentedRun_.store(true, std::memory_order_release);
  return true;
}

bool TMP3Out::ShouldTakeOver() {
  // Only from an audio frame in the file on, and with at least two segments' worth of input left.
  if (pcmFrames_ == 0 || !assembly_.CanTakeOver() || !Cores->LendsCores()) return false;
  AcquireInputLock();
  const TSndInput* input = Input();
  const int64_t size = input ? input->Size.load() : -1;
  ReleaseInputLock();
  if (size >= 0) {
    const int64_t left = (size - pcmBytes_) / (2 * std::max(lastChannels_, 1));
    if (left < takeOverPlan_.InputAt(2 * takeOverPlan_.SegmentFrames)) return false;
  }
  // The free core is this run's from here: another sink that saw it free keeps its one encoder.
  return Cores->ClaimForSegments();
}

void TMP3Out::TakeOverInSegments() {
  mayTakeOver_ = false;
  TSegmentPlan plan = takeOverPlan_;
  plan.FirstSegmentAfter(pcmFrames_);
  TSegmentedEncoding::TSetup setup = SegmentSetup(plan);
  setup.ClaimedCore = true;
  setup.TakeOver = assembly_.TakeOver(pcmFrames_);
  segments_ = std::make_unique<TSegmentedEncoding>(std::move(setup), std::move(encoder_));
  segmentedRun_.store(true, std::memory_order_release);
}

bool TMP3Out::SegmentStep() {
  try {
    WriteFinishedSegments();
    if (segments_->Finished()) return false;
    if (!inputEnded_ && segments_->WantsInput()) {
      int32_t channels = 2;
      const int32_t count = ReadBlock(channels);
      if (count == 0) {
        inputEnded_ = true;
        segments_->EndOfInput();
        return true;
      }
      const int32_t frames = count / (channels == 2 ? 4 : 2);
      segments_->AddPcm(InBlock, frames, channels);
      pcmFrames_ += frames;
      return true;
    }
    if (!segments_->WorkerStep()) segments_->WaitForWork(20);
    return true;
  } catch (...) {
    if (!readFailed_ && !discardOutput_) segmentFailed_ = true;
    throw;
  }
}

void TMP3Out::WriteFinishedSegments() {
  TSegmentResult segment;
  while (segments_->TakeNext(segment)) {
    assembly_.AddSegment(std::move(segment));
    segment = TSegmentResult();
    NoteSegmentsWritten();
  }
}

void TMP3Out::NoteSegmentsWritten() {
  if (inRate_ <= 0 || outRate_ <= 0) return;
  // Input sample n is whole once frame (n + 1105) / frame size is in the file.
  const int64_t frames = assembly_.FramesInFile();
  const int64_t audio =
      assembly_.Flushed()
          ? pcmFrames_
          : std::clamp<int64_t>((frames * frameSize_ - 1105) * inRate_ / outRate_, 0, pcmFrames_);
  writtenDuration_.store(std::max(audio * 10000000 / inRate_, WrittenDuration()), std::memory_order_release);
}

void TMP3Out::WriteId3v1() {
  // LAME's own ID3v1 tag, as its flush writes it; the last frames may come from any instance.
  TLameHandle encoder = MakeLameEncoder(settings_);
  SetLameId3Texts(encoder.get(), Id3Texts());
  unsigned char tag[128];
  const size_t size = LameGetId3v1Tag(encoder.get(), tag, sizeof tag);
  if (size > 0 && size <= sizeof tag) WriteOut(tag, int64_t(size));
}

void TMP3Out::FinishSegments() {
  if (segmentFailed_) {
    segments_.reset();
  } else {
    segments_->Finishing();
    if (stopped_ || Worker->TerminateRequest.load())
      segments_->StopHere();
    else
      segments_->EndOfInput();
    // What is left is encoded here, helpers beside, and written in order.
    for (;;) {
      WriteFinishedSegments();
      if (segments_->Finished()) break;
      if (!segments_->WorkerStep()) segments_->WaitForWork(20);
    }
    segments_.reset();
    assembly_.EndSegments();
    NoteSegmentsWritten();
  }
  WriteId3v1();
}

void TMP3Out::WriteTagFrameFailed(unsigned long error) {
  if (error == EIO || error == ENOSPC || error == EROFS || error == EDQUOT) RaiseWriteFailed(int(error));
  throw ESndException("Cannot write the VBR header of \"" + FileName + "\". " + std::strerror(int(error)));
}

void TMP3Out::RewriteTagFrame(const std::vector<unsigned char>& frame) {
  const unsigned long error =
      throughDescriptor_ ? WriteTagFrameAt(ownStream_ ? ownStream_->Descriptor() : -1, firstFrameOffset_,
                                           frame.data(), frame.size())
                         : WriteTagFrameAt(FileName.c_str(), firstFrameOffset_, frame.data(), frame.size());
  if (error != 0) WriteTagFrameFailed(error);
}

void TMP3Out::RewriteInfoTag(TLameEncoder& encoder) {
  lame_global_flags* released = encoder.Release().release();
  const unsigned long error =
      throughDescriptor_
          ? WriteInfoTagAt(released, ownStream_ ? ownStream_->Descriptor() : -1, firstFrameOffset_)
          : WriteInfoTagAt(released, FileName.c_str(), firstFrameOffset_);
  if (error != 0) WriteTagFrameFailed(error);
}

void TMP3Out::FinishEncoding(TLameEncoder& encoder) {
  encoder.SetId3Texts(Id3Texts());
  const int count = encoder.Finish(OutBuffer.get(), outBufferSize_);
  if (count < 0) {
    throw ESndException("The MP3 encoder failed to finish \"" + FileName + "\" (LAME error " +
                        std::to_string(count) + ").");
  }
  WriteOut(OutBuffer.get(), count);
}

void TMP3Out::FinishOutput() {
  // Also reached from the error path after a finish that failed: then everything is done already.
  if (!runOpen_) return;
  runOpen_ = false;
  // Every step below runs whatever failed before it; the first failure is raised at the end.
  std::exception_ptr failure;
  auto attempt = [&failure](const auto& step) {
    try {
      step();
    } catch (...) {
      if (!failure) failure = std::current_exception();
    }
  };
  std::unique_ptr<TLameEncoder> encoder = std::move(encoder_);
  if (discardOutput_) {
    encoder.reset();
    segments_.reset();
    AbandonOutputFile();
  } else if (segments_) {
    attempt([&] { FinishSegments(); });
    segments_.reset();
    // By name the tag frame is rewritten in the closed file; through a descriptor before it closes.
    if (!throughDescriptor_) attempt([&] { CloseOwnStream(); });
    if (!failure && !StreamAttached) {
      // One tag for the whole file.
      attempt([&] {
        std::vector<unsigned char> tag;
        if (assembly_.CompleteTagFrame(tag)) RewriteTagFrame(tag);
      });
    }
    attempt([&] { CloseOwnStream(); });
  } else {
    // The last frame that was still incomplete goes out before the encoder's end.
    attempt([&] { assembly_.EndStream(); });
    if (encoder && OutBuffer) attempt([&] { FinishEncoding(*encoder); });
    if (!throughDescriptor_) attempt([&] { CloseOwnStream(); });
    if (encoder && encoder->WritesTag() && !failure && !StreamAttached)
      attempt([&] { RewriteInfoTag(*encoder); });
    attempt([&] { CloseOwnStream(); });
    encoder.reset();  // lame_close, unless the Info tag writer released it
  }
  OutBuffer.reset();
  if (inputReading_) {
    inputReading_ = false;
    if (TSndInput* input = Input()) attempt([input] { input->EndRead(); });
  }
  if (failure) std::rethrow_exception(failure);
}
