#include "FrameworkTestSources.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <stdexcept>

#include "audio/MainThreadCall.h"

int16_t SineSample(double frequency, int rate, int64_t frame) {
  return int16_t(std::lround(16000.0 * std::sin(2.0 * M_PI * frequency * double(frame) / rate)));
}

TSineSource::TSineSource(int rate, int channels, double frequency, double seconds)
    : Rate(rate), ChannelsOut(channels), Frequency(frequency), Frames(int64_t(seconds * rate)) {
  FileName = "sine";
}

TSineSource::~TSineSource() { NotifyDestruction(); }

void TSineSource::DoOpenSource() {
  ++RealOpens;
  BitsPerSample = 16;
  SampleRate = Rate;
  Channels = ChannelsOut;
  TotalSamples = Frames;
  Size = UnknownSize ? -1 : Frames * ChannelsOut * 2;
}

void TSineSource::DoCloseSource() { ++RealCloses; }

void TSineSource::SeekSample(int64_t frame) {
  SeekTarget = frame;
  nextFrame_ = frame;
}

void TSineSource::BeginRead() {
  TSndFileIn::BeginRead();
  nextFrame_ = StartSample;
}

int32_t TSineSource::ReadData(void* buffer, int32_t bufferSize) {
  if (!Busy) throw Exception("The Stream is not opened");
  const int index = Reads++;
  if (OnRead) OnRead(index);
  if (MaxRead > 0) bufferSize = std::min(bufferSize, MaxRead);
  const int64_t end = EndSample == -1 ? Frames : std::min<int64_t>(EndSample, Frames);
  const int64_t frames =
      std::max<int64_t>(0, std::min<int64_t>(bufferSize / (2 * ChannelsOut), end - nextFrame_));
  auto* out = static_cast<int16_t*>(buffer);
  for (int64_t f = 0; f < frames; ++f) {
    const int16_t s = SineSample(Frequency, Rate, nextFrame_ + f);
    for (int c = 0; c < ChannelsOut; ++c) *out++ = s;
  }
  nextFrame_ += frames;
  const int32_t bytes = int32_t(frames * 2 * ChannelsOut);
  Position += bytes;
  return bytes;
}

TCountingSink::~TCountingSink() { TerminateWorker(); }

void TCountingSink::PrepareOutput() {
  ++Prepares;
  if (ThrowInPrepare) throw ESndException("Prepare failed");
  Input()->BeginRead();
}

bool TCountingSink::WriteStep(bool abort) {
  if (!CanWrite) return true;
  if (abort) return false;
  const int step = ++Steps;
  if (step == ThrowAtStep) {
    if (ThrowKind == 0) throw ESndException("Step failed");
    if (ThrowKind == 1) throw std::runtime_error("Standard failure");
    throw 42;
  }
  char buffer[4096];
  AcquireInputLock();
  int32_t n = 0;
  try {
    if (TSndInput* input = Input()) n = input->ReadData(buffer, sizeof buffer);
  } catch (...) {
    ReleaseInputLock();
    throw;
  }
  ReleaseInputLock();
  BytesRead += n;
  return n != 0;
}

void TCountingSink::FinishOutput() {
  ++Finishes;
  if (TSndInput* input = Input()) input->EndRead();
  if (ThrowInFinish) throw ESndException("Finish failed", TSndFailure::WriteFailed, 28);
}

bool PumpUntil(const std::function<bool()>& done, int timeoutMs) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (!done()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    ProcessMainThreadCalls(5);
  }
  return true;
}

void PumpFor(int ms) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (std::chrono::steady_clock::now() < end) ProcessMainThreadCalls(5);
}
