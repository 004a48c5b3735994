#pragma once
// The MP3 file sink: encodes the PCM of its Input with LAME on its worker and writes the MP3 file,
// with an ID3v2 tag holding the full texts at the start and LAME's ID3v1 tag at the end.
//
// With a core budget of more than one core the file is encoded as consecutive segments of whole MP3
// frames, one encoder instance each: the worker decodes, encodes segments itself and writes them in
// order; helper threads encode further segments on the cores the budget lends them, one core a
// segment. One LAME/Xing tag frame describes the whole file (frames, bytes, seek table, encoder delay
// and padding, CRCs). A pause holds every helper within a block (PauseSettled waits for them); a stop
// keeps the segments finished in order and ends the one being encoded after them where it is.
// Without a budget, or with one core, a run is one encoder on the worker, as it always was.
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "audio/CoreBudget.h"
#include "audio/FileStream.h"
#include "audio/LameEncoder.h"
#include "audio/LameSettings.h"
#include "audio/Mp3Assembly.h"
#include "audio/SegmentedEncoding.h"
#include "audio/Snd_Classes.h"

enum TMP3BitRate : int32_t {
  br8,
  br16,
  br24,
  br32,
  br40,
  br48,
  br56,
  br64,
  br80,
  br96,
  br112,
  br128,
  br144,
  br160,
  br192,
  br224,
  br256,
  br320
};
enum TMP3Quality : int32_t { ql0, ql1, ql2, ql3, ql4, ql5, ql6, ql7, ql8, ql9 };
// sr41kHz is 44100 Hz.
enum TMP3SampleRate : int32_t { srDefault, sr32kHz, sr41kHz, sr48kHz };
// Scoped: LAME's header uses the same names for its own modes.
enum class TMP3Mode : int32_t { STEREO, JOINT_STEREO, DUAL_CHANNEL, MONO };

// kbit/s of a TMP3BitRate and Hz of a TMP3SampleRate (0: the encoder chooses).
int32_t MP3BitRateKbps(TMP3BitRate rate);
int32_t MP3SampleRateHz(TMP3SampleRate rate);

// A task's channel-mode index (0 "Dual Channels", 1 "Stero", 2 "Joint Stero", 3 "Mono") as the
// encoder's mode; any other value is mono.
TMP3Mode ChannelModeToMP3Mode(int32_t channelMode);
// A task's output rate in Hz as the encoder's setting: 32000 and 48000 are their own, any other 44100.
TMP3SampleRate SampleRateToMP3(int32_t hz);

class TMP3Out : public TSndFileOut {
 public:
  static constexpr int32_t InBlockSize = 16384;
  // LAME's bound for one block without resampling: 1.25 x 8192 samples + 7200. A source slower than
  // the output rate needs more; the buffer of a run is sized by OutBufferSizeFor.
  static constexpr int32_t OutBufferSize = 17440;
  // LAME's rule for the MP3 buffer of one encode call of samplesPerChannel samples: 1.25 x samples
  // + 7200 bytes, the samples scaled by outRate / inRate when the encoder resamples upwards.
  static int64_t OutBufferSizeFor(int64_t samplesPerChannel, int32_t inRate, int32_t outRate);
  // The most MP3 buffer one run may hold. A source rate far below the output rate (a damaged header
  // saying 1 Hz) would otherwise need hundreds of megabytes for one block: such blocks are encoded
  // in smaller pieces instead.
  static constexpr int64_t MaxOutBufferSize = 256 * 1024;
  // Samples per channel handed to the encoder in one call, at most maxSamples, so that the MP3 buffer
  // stays within MaxOutBufferSize (at least one sample).
  static int64_t EncodeChunkFor(int64_t maxSamples, int32_t inRate, int32_t outRate);

  // Raises ESndException "<library file> library could not be loaded." without the encoder library.
  TMP3Out();
  ~TMP3Out() override;

  TMP3BitRate BitRate = br128;
  // Tag texts, UTF-8.
  std::string Id3TagTitle, Id3TagArtist, Id3TagAlbum, Id3TagYear, Id3TagTrack, Id3TagComment, Id3TagGenre;
  TMP3Quality Quality = ql5;
  TMP3SampleRate SampleRate = srDefault;
  TMP3Mode Mode = TMP3Mode::STEREO;
  int32_t CRC = 0;  // 32-bit Booleans: any non-zero value is true
  int32_t Copyright = 0;
  int32_t Original = 1;
  int32_t WriteVBRHeader = 0;
  int32_t EnableVBR = 0;
  TMP3Quality VBRQuality = ql5;
  int32_t VBRMinBitrate = 128;  // kbit/s
  int32_t VBRMaxBitrate = 192;

  // The next run writes through its own copy of fd, taken now (a claimed file, open for reading and
  // writing, whose content the run replaces), instead of creating FileName, which then only names the
  // MP3 in messages: nothing is created, rewritten, truncated or removed by name. Later runs create
  // FileName again. A copy that cannot be made fails the run as a file that cannot be created.
  void WriteThrough(int fd);
  // The file the last run created or wrote through (unknown when none): what may be removed of it later.
  const TFileIdentity& CreatedFile() const { return createdFile_; }

  // The run's core budget, shared by all its sinks; null (the default) or one core encodes a task with
  // one encoder on the sink's own worker, as always. The run calls TaskStarted before it starts the sink
  // and TaskEnded once the sink is done with the task (OnDone or OnThreadException): the task's own core.
  // A run begins in segments when it claims a free core at its start (ClaimForSegments); else it
  // encodes with one encoder (the same bytes as without a budget) and goes on in segments once it
  // claims one, from a whole audio frame in the file on, with two segments' worth of input left. The
  // claimed core is the first helper's; a segmented run asks TryAcquireExtra for each further segment a
  // helper encodes and gives the core back after it. Set between runs only; the budget must outlive them.
  TCoreBudget* Cores = nullptr;
  // Segments of a segmented run are about this long (whole MP3 frames); tests make them short.
  double SegmentSeconds = 40.0;
  // The source audio whose MP3 frames are written to the file, in order, in 100-ns units: what the
  // progress display shows; it never goes back within a run. Read from any thread.
  int64_t WrittenDuration() const { return writtenDuration_.load(std::memory_order_acquire); }
  // The last run was encoded in segments.
  bool Segmented() const { return segmentedRun_.load(std::memory_order_acquire); }
  // The file's frames at which the last segmented run's segments joined; read once the run has ended.
  const std::vector<int64_t>& Joins() const { return assembly_.Joins(); }

 protected:
  // Failures raise ESndException with a TSndFailure: WriteFailed (with errno) for a failed or short
  // write, Other for settings the encoder refuses and encoder errors, NoAudio when the source gave
  // nothing at all (the file is then removed). A run that fails after audio was written keeps a
  // finalised, playable file, unless the source was found Damaged (its decoder ran away): what was
  // written is noise, and the file is removed.
  void PrepareOutput() override;
  bool WriteStep(bool abort) override;
  void FinishOutput() override;
  bool HelpersHeld() const override;
  void PauseChanged() override;

 private:
  // The file's bytes, through WriteOut.
  class TFileSink : public TMp3ByteSink {
   public:
    explicit TFileSink(TMP3Out& out) : out_(out) {}
    void Write(const unsigned char* data, size_t size) override { out_.WriteOut(data, int64_t(size)); }

   private:
    TMP3Out& out_;
  };

  void WriteOut(const unsigned char* data, int64_t count);
  [[noreturn]] void RaiseWriteFailed(int error) const;
  [[noreturn]] void RaiseNoAudio(const std::string& reason) const;
  void ConfigureSettings(int32_t inRate);
  void FinishEncoding(TLameEncoder& encoder);
  void CloseOwnStream();
  void AbandonOutputFile();
  void RewriteTagFrame(const std::vector<unsigned char>& frame);
  void RewriteInfoTag(TLameEncoder& encoder);
  std::string SourceName() const;
  TLameId3Texts Id3Texts() const;
  int32_t ReadBlock(int32_t& channels);
  void WriteTagFrameFailed(unsigned long error);
  // The segmented run.
  bool MakePlan(const TMp3Encoder& encoder, TSegmentPlan& plan, int32_t outRate);
  TSegmentedEncoding::TSetup SegmentSetup(const TSegmentPlan& plan);
  bool StartSegments(TLameEncoder& first, int32_t outRate);
  bool ShouldTakeOver();
  void TakeOverInSegments();
  bool SegmentStep();
  void WriteFinishedSegments();
  void NoteSegmentsWritten();
  void FinishSegments();
  void WriteId3v1();

  int16_t InBlock[InBlockSize / 2];  // one block of 16-bit samples
  std::unique_ptr<TLameEncoder> encoder_;
  std::unique_ptr<unsigned char[]> OutBuffer;
  int64_t outBufferSize_ = 0;
  int32_t encodeChunk_ = InBlockSize / 2;  // samples per channel in one encode call
  std::unique_ptr<TFileStream> ownStream_;
  std::unique_ptr<TFileStream> handedStream_;  // WriteThrough's copy, for the next run
  bool handed_ = false;                        // WriteThrough was called for the next run
  int handedError_ = 0;                        // why its copy could not be made
  bool throughDescriptor_ = false;             // this run writes through a handed descriptor
  TFileIdentity createdFile_;
  int64_t firstFrameOffset_ = 0;  // where the first MPEG frame starts: right after our ID3v2 tag
  int64_t pcmBytes_ = 0;          // PCM read from the input in this run
  bool inputReading_ = false;     // BeginRead was called and EndRead is still due
  bool runOpen_ = false;          // PrepareOutput succeeded and FinishOutput has not run yet
  bool discardOutput_ = false;    // the run failed before any audio: remove the file, do not finish it
  bool lameLoaded_ = false;
  int32_t inRate_ = 0;     // the input's sample rate in this run
  int64_t pcmFrames_ = 0;  // sample frames read in this run
  std::atomic<int64_t> writtenDuration_{0};

  TLameSettings settings_;  // this run's, for every encoder instance
  TEncoderSignals signals_;
  std::unique_ptr<TSegmentedEncoding> segments_;
  std::atomic<bool> segmentedRun_{false};
  TFileSink fileSink_{*this};
  TMp3Assembly assembly_;  // the file's frames, their totals and the joins
  // A run that may go on in segments once a core frees begins with one encoder, whose frames the
  // assembly counts.
  bool mayTakeOver_ = false;
  TSegmentPlan takeOverPlan_;
  int32_t lastChannels_ = 2;
  int32_t frameSize_ = 1152;
  int32_t outRate_ = 0;
  bool inputEnded_ = false;     // the input ran dry
  bool stopped_ = false;        // the run was stopped (Stop, or the sink going away)
  bool readFailed_ = false;     // the input failed after it gave audio
  bool segmentFailed_ = false;  // writing or encoding failed
};
