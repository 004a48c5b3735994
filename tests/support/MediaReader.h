#pragma once
// An independent reader for test results: decodes a whole file with libavformat/libavcodec,
// separately from the program's own decoding code, so a test checks what any player would get.
#include <cstdint>
#include <map>
#include <string>
#include <vector>

struct DecodedMedia {
  bool ok = false;
  std::string error;
  std::string formatName;
  std::string codecName;
  int sampleRate = 0;
  int channels = 0;
  int64_t bitRate = 0;                      // the audio stream's, bits per second
  double containerSeconds = 0;              // the container's duration, 0 when unknown
  std::vector<std::vector<float>> samples;  // one vector per channel, -1..1
  std::map<std::string, std::string> tags;  // container and stream metadata, keys lower-case

  double DecodedSeconds() const {
    return sampleRate > 0 && !samples.empty() ? double(samples[0].size()) / sampleRate : 0.0;
  }
};

DecodedMedia DecodeMedia(const std::string& path);

// The strongest frequency (Hz) of a stretch of samples, found with an FFT and a Hann window;
// skipSeconds leaves out the encoder's start-up.
double DominantFrequency(const std::vector<float>& samples, int sampleRate, double skipSeconds = 0.1);

// How well two decodings follow the same music: the correlation (-1..1) of their loudness over time,
// the mean of the channels in windows of a tenth of a second, over the length of the shorter one.
double LoudnessCorrelation(const DecodedMedia& a, const DecodedMedia& b);
