#include "SegmentedRun.h"

#include <cmath>
#include <cstdio>
#include <memory>

#include "Mp3FrameReader.h"
#include "audio/Snd_DX9.h"

TPcmSource::TPcmSource(int rate, int channels, std::vector<int16_t> pcm)
    : Rate(rate), ChannelsOut(channels), Pcm(std::move(pcm)) {
  FileName = "pcm";
}

TPcmSource::~TPcmSource() { NotifyDestruction(); }

void TPcmSource::DoOpenSource() {
  BitsPerSample = 16;
  SampleRate = Rate;
  Channels = ChannelsOut;
  TotalSamples = Frames();
  Size = int64_t(Pcm.size()) * 2;
}

void TPcmSource::BeginRead() {
  TSndFileIn::BeginRead();
  next_ = 0;
}

int32_t TPcmSource::ReadData(void* buffer, int32_t bufferSize) {
  const int64_t n =
      std::min<int64_t>(bufferSize / 2 / ChannelsOut * ChannelsOut, int64_t(Pcm.size()) - next_);
  std::copy_n(Pcm.data() + next_, n, static_cast<int16_t*>(buffer));
  next_ += n;
  Position += n * 2;
  return int32_t(n * 2);
}

std::vector<int16_t> DecodeRecording(const std::string& path, double seconds, int& rate) {
  TDX9In input;
  input.FileName = path;
  input.BeginRead();
  rate = input.SampleRate;
  const size_t want = size_t(seconds * rate) * 2;
  std::vector<int16_t> pcm, block(8192);
  while (pcm.size() < want) {
    const int32_t bytes = input.ReadData(block.data(), int32_t(block.size() * 2));
    if (bytes <= 0) break;
    pcm.insert(pcm.end(), block.begin(), block.begin() + bytes / 2);
  }
  input.EndRead();
  pcm.resize(std::min(pcm.size(), want));
  return pcm;
}

bool EncodeWithCores(TMP3Out& out, TSndInput& source, const std::string& path, int cores) {
  TCoreBudget budget(std::max(cores, 1), std::max(cores, 1));
  budget.TaskStarted();
  out.Cores = cores > 0 ? &budget : nullptr;
  const bool done = EncodeToFile(out, source, path);
  out.Cores = nullptr;
  return done;
}

std::string FfmpegErrors(const std::string& path) {
  const std::string command = "ffmpeg -nostdin -v error -i '" + path + "' -f null - 2>&1";
  std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
  std::string text;
  char chunk[256];
  while (pipe && fgets(chunk, sizeof chunk, pipe.get())) text += chunk;
  return text;
}

namespace {

uint16_t Crc16(const unsigned char* data, size_t size) {
  uint16_t crc = 0;  // reflected 0x8005, bit by bit
  for (size_t i = 0; i < size; ++i) {
    crc ^= data[i];
    for (int b = 0; b < 8; ++b) crc = (crc & 1) ? (crc >> 1) ^ 0xA001 : crc >> 1;
  }
  return crc;
}

int64_t BigEndian(const unsigned char* p, int n) {
  int64_t v = 0;
  for (int i = 0; i < n; ++i) v = (v << 8) | p[i];
  return v;
}

}  // namespace

TagCheck CheckLameTag(const std::string& text) {
  TagCheck check;
  const Mp3Layout layout = ReadMp3Layout(text);
  if (layout.frames.size() < 2) return check;
  const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
  const Mp3Frame& tag = layout.frames[0];
  const size_t xing = text.find(layout.xingId, tag.offset);
  if (layout.xingId.empty() || xing > tag.offset + 48) return check;
  const unsigned char* lame = bytes + xing + 120;
  check.frames = BigEndian(bytes + xing + 8, 4);
  check.bytes = BigEndian(bytes + xing + 12, 4);
  check.delay = int(BigEndian(lame + 21, 3) >> 12);
  check.lowpassHz = lame[10] * 100;
  check.tagCrcRight =
      BigEndian(lame + 34, 2) == Crc16(bytes + tag.offset, size_t(lame + 34 - bytes) - tag.offset);
  const size_t music = layout.frames[1].offset, end = layout.frames.back().offset + layout.frames.back().size;
  check.musicCrcRight = BigEndian(lame + 32, 2) == Crc16(bytes + music, end - music) &&
                        BigEndian(lame + 28, 4) == int64_t(end - tag.offset);
  check.fileFrames = int64_t(layout.frames.size()) - 1;
  check.fileBytes = int64_t(end - tag.offset);
  return check;
}

double WindowSnr(const std::vector<int16_t>& reference, int channels, const std::vector<float>& decoded,
                 int64_t start, int64_t n) {
  double signal = 0, noise = 0;
  for (int64_t i = start; i < start + n; ++i) {
    const double s = reference[size_t(i * channels)] / 32768.0;
    const double d = i < int64_t(decoded.size()) ? decoded[size_t(i)] : 0.0;
    signal += s * s;
    noise += (s - d) * (s - d);
  }
  return 10 * std::log10((signal + 1e-12) / (noise + 1e-12));
}

double ClickPeak(const std::vector<int16_t>& reference, int channels, const std::vector<float>& decoded,
                 int64_t start, int64_t n) {
  auto residual = [&](int64_t i) { return decoded[size_t(i)] - reference[size_t(i * channels)] / 32768.0; };
  double peak = 0;
  for (int64_t i = std::max<int64_t>(start, 1); i < start + n && i < int64_t(decoded.size()); ++i)
    peak = std::max(peak, std::fabs(residual(i) - residual(i - 1)));
  return peak;
}
