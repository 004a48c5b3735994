#pragma once
// Segmented MP3 runs for the tests: a source of given PCM, the PCM a real recording decodes to, runs on
// a core budget, and measures of the result read back independently of the sink.
#include <cstdint>
#include <string>
#include <vector>

#include "MP3OutTestRun.h"

// Delivers Pcm (interleaved, ChannelsOut channels) at Rate.
class TPcmSource : public TSndFileIn {
 public:
  TPcmSource(int rate, int channels, std::vector<int16_t> pcm);
  ~TPcmSource() override;
  int32_t ReadData(void* buffer, int32_t bufferSize) override;
  void SeekSample(int64_t) override {}
  void BeginRead() override;
  int64_t Frames() const { return int64_t(Pcm.size()) / ChannelsOut; }
  int Rate, ChannelsOut;
  std::vector<int16_t> Pcm;

 protected:
  void DoOpenSource() override;

 private:
  int64_t next_ = 0;
};

// The first seconds of a recording as TDX9In decodes it (16-bit stereo); rate gets its rate.
std::vector<int16_t> DecodeRecording(const std::string& path, double seconds, int& rate);

// Encodes source into path with a budget of cores (0: no budget); true on OnDone.
bool EncodeWithCores(TMP3Out& out, TSndInput& source, const std::string& path, int cores);

// What ffmpeg -v error says while it decodes the file (empty: nothing).
std::string FfmpegErrors(const std::string& path);

// The LAME/Xing tag of a file, and its values computed from the file's frames.
struct TagCheck {
  int64_t frames = -1, bytes = -1;  // in the tag
  int delay = -1;
  int lowpassHz = -1;
  bool musicCrcRight = false, tagCrcRight = false;
  int64_t fileFrames = 0, fileBytes = 0;  // counted: audio frames, audio and tag frame bytes
};
TagCheck CheckLameTag(const std::string& bytes);

// Signal-to-noise ratio in dB of decoded against reference (channel 0 of both) over [start, start + n).
double WindowSnr(const std::vector<int16_t>& reference, int channels, const std::vector<float>& decoded,
                 int64_t start, int64_t n);
// The peak of the high-passed residual decoded - reference over [start, start + n): a click shows.
double ClickPeak(const std::vector<int16_t>& reference, int channels, const std::vector<float>& decoded,
                 int64_t start, int64_t n);
