#include "OpenedMedia.h"

#include <sys/stat.h>

#include <time.h>

#include <algorithm>
#include <cerrno>
#include <functional>
#include <mutex>

#include "CodecHandles.h"
#include "MultiRateView.h"
#include "PatchedBytes.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/mem.h>
}

namespace {

// Enough to find the streams of any real RealMedia, ASF or QuickTime file.
constexpr int64_t kProbeSizeBytes = 2 * 1024 * 1024;
constexpr int64_t kAnalyzeDurationMicroseconds = 5 * AV_TIME_BASE;
constexpr int kIoBufferSize = 32768;
// Demuxers that read nothing but the file they are given: RealMedia (rm), ASF/WMV (asf),
// QuickTime/MP4 (mov), WAV (wav) and Matroska (matroska, for the tests' lead-in file). Playlist
// formats (HLS, concat, DASH, ...) open the other files they list, and are left out on purpose.
constexpr char kFormatWhitelist[] = "rm,asf,mov,wav,matroska";
// No single FFmpeg allocation for an audio file needs more: a damaged RealAudio header can ask the
// demuxer for a 2 GB de-interleaving buffer, which is then refused as unreadable.
constexpr std::size_t kLargestAllocation = 64 * 1024 * 1024;
// Demuxed packets a multi-rate stream is given to decode something before the next one is tried,
// and how many streams are tried at most.
constexpr int kTrialPackets = 64;
constexpr int kTrialStreams = 3;

struct AvFreer {
  void operator()(unsigned char* buffer) const { av_free(buffer); }
};

}  // namespace

void (*OpenedMedia::readHookForTests)() = nullptr;

namespace {
thread_local const std::atomic<bool>* giveUp = nullptr;
bool GivenUp() { return giveUp && giveUp->load(std::memory_order_acquire); }
}  // namespace

void OpenedMedia::GiveUpOnThisThreadWhen(const std::atomic<bool>* stop) { giveUp = stop; }

void IoContextFreer::operator()(AVIOContext* io) const {
  if (!io) return;
  av_freep(&io->buffer);  // libavformat may have replaced the buffer it was given
  avio_context_free(&io);
}

int OpenedMedia::Interrupted(void* self) {
  const auto& media = *static_cast<OpenedMedia*>(self);
  const auto now = std::chrono::steady_clock::now();
  return now > media.deadline_ || now - media.lastProgress_ > kStallLimit || GivenUp() ? 1 : 0;
}

void OpenedMedia::ExtendDeadline(std::chrono::milliseconds budget) {
  lastProgress_ = std::chrono::steady_clock::now();
  deadline_ = lastProgress_ + budget;
}

int OpenedMedia::ReadBytes(void* self, uint8_t* buffer, int size) {
  auto& media = *static_cast<OpenedMedia*>(self);
  if (readHookForTests) readHookForTests();
  // Demuxers do not all ask the interrupt callback while they search the bytes for a packet.
  if (Interrupted(self)) return AVERROR_EXIT;
  const int got = media.bytes_->Read(buffer, size);
  if (got <= 0) return AVERROR_EOF;
  // Bytes read again (a demuxer going back and forth) are not progress; new ones are.
  const int64_t end = media.bytes_->Position();
  if (end > media.furthestByte_) {
    media.furthestByte_ = end;
    media.lastProgress_ = std::chrono::steady_clock::now();
  }
  return got;
}

int64_t OpenedMedia::SeekBytes(void* self, int64_t offset, int whence) {
  MediaBytes& bytes = *static_cast<OpenedMedia*>(self)->bytes_;
  whence &= ~AVSEEK_FORCE;
  if (whence == AVSEEK_SIZE) return bytes.Size();
  int64_t base = 0;
  if (whence == SEEK_CUR) {
    base = bytes.Position();
  } else if (whence == SEEK_END) {
    base = bytes.Size();
  } else if (whence != SEEK_SET) {
    return AVERROR(EINVAL);
  }
  int64_t target = 0;
  if (__builtin_add_overflow(base, offset, &target) || target < 0) return AVERROR(EINVAL);
  return bytes.Seek(target);
}

void OpenedMedia::CloseContext() {
  context_.reset();
  io_.reset();
}

int OpenedMedia::Open(const char* path, std::chrono::milliseconds budget, const char* format) {
  static std::once_flag capped;
  std::call_once(capped, [] { av_max_alloc(kLargestAllocation); });
  CloseContext();
  bytes_.reset();
  walked_.reset();
  file_.reset();
  openedStream_ = -1;
  patches_.clear();
  furthestByte_ = 0;
  sound_ = false;
  if (!path) return AVERROR(EINVAL);
  // Something other than a regular file (a FIFO, a device, a folder) could block or never end.
  struct stat info {};
  if (::stat(path, &info) != 0) return AVERROR(errno);
  if (!S_ISREG(info.st_mode)) return kNotARegularFile;
  errno = 0;
  file_ = std::make_unique<BoundedFile>(path);  // opened without blocking, checked regular once more
  if (!file_->IsOpen()) {
    const int error = errno != 0 ? errno : EIO;
    file_.reset();
    return AVERROR(error);
  }
  ExtendDeadline(budget);  // the one deadline of the whole open
  if (format) {
    const AVInputFormat* named = av_find_input_format(format);
    if (!named) return AVERROR_DEMUXER_NOT_FOUND;
    bytes_ = std::make_unique<FileBytes>(*file_);
    return OpenContext(path, named);
  }
  walked_ = FindWalkedLayout(file_->Stamp());
  if (walked_) return OpenMultiRate(path);
  return WalkLayout() ? OpenMultiRate(path) : OpenSingleRate(path);
}

bool OpenedMedia::WalkLayout() {
  timespec started{};
  clock_gettime(CLOCK_REALTIME, &started);
  auto walked = std::make_shared<WalkedLayout>();
  // The walk reads the file at its own pace: each question of it is progress, and only the deadline
  // ends it.
  const std::function<bool()> stop = [this] {
    lastProgress_ = std::chrono::steady_clock::now();
    return lastProgress_ > deadline_ || GivenUp();
  };
  if (readHookForTests) readHookForTests();
  sound_ = walked->layout.Read(*file_, stop);
  lastProgress_ = std::chrono::steady_clock::now();
  if (!sound_ || !walked->layout.IsMultiRate()) {
    if (sound_) patches_ = walked->layout.HeaderPatches();
    return false;
  }
  if (!stop()) KeepWalkedLayout(file_->Stamp(), started, walked);
  walked_ = std::move(walked);
  return true;
}

int OpenedMedia::OpenSingleRate(const char* path) {
  // FFmpeg's own reading of a multi-rate file decodes nothing, or noise: a header too damaged to
  // find its streams in makes the file unreadable.
  if (!sound_ && RealMediaLayout::NamesMultiRate(*file_)) return AVERROR_INVALIDDATA;
  if (patches_.empty()) {
    bytes_ = std::make_unique<FileBytes>(*file_);
  } else {
    bytes_ = std::make_unique<PatchedBytes>(*file_, std::move(patches_));
  }
  return OpenContext(path);
}

int OpenedMedia::OpenMultiRate(const char* path) {
  if (std::chrono::steady_clock::now() > deadline_ || GivenUp()) return AVERROR_EXIT;
  // A file found unreadable before, unchanged since, is not tried again.
  const int refused = walked_->refused.load(std::memory_order_acquire);
  if (refused != 0) return refused;
  const RealMediaLayout& layout = walked_->layout;
  std::vector<std::size_t> candidates = layout.Candidates();
  // The stream that decoded when the file was opened before is taken without a new trial.
  const int known = walked_->decodes.load(std::memory_order_acquire);
  const auto first = std::find(candidates.begin(), candidates.end(), static_cast<std::size_t>(known));
  if (known >= 0 && first != candidates.end()) std::rotate(candidates.begin(), first, first + 1);
  // The best stream first; the next one when a stream cannot be opened or decodes nothing.
  int tried = 0;
  for (const std::size_t stream : candidates) {
    if (tried++ == kTrialStreams || Interrupted(this)) break;
    bytes_ = std::make_unique<MultiRateView>(*file_, layout, stream);
    furthestByte_ = 0;
    const bool decodes = static_cast<int>(stream) == known;
    openedStream_ = static_cast<int>(stream);
    if (OpenContext(path) == 0 && (decodes || DecodesSomething())) {
      if (decodes) return 0;
      walked_->decodes.store(static_cast<int>(stream), std::memory_order_release);
      // Open it again, so that its reader starts at the beginning with nothing consumed.
      CloseContext();
      bytes_ = std::make_unique<MultiRateView>(*file_, layout, stream);
      furthestByte_ = 0;
      return OpenContext(path);
    }
    CloseContext();
  }
  bytes_.reset();
  openedStream_ = -1;
  if (Interrupted(this)) return AVERROR_EXIT;
  walked_->refused.store(AVERROR_INVALIDDATA, std::memory_order_release);
  return AVERROR_INVALIDDATA;
}

bool OpenedMedia::TookLowerRateForCut() const {
  return walked_ && openedStream_ >= 0 &&
         walked_->layout.BetterRateIsCut(static_cast<std::size_t>(openedStream_));
}

int64_t OpenedMedia::HeldDurationHns() const {
  if (!walked_ || openedStream_ < 0) return 0;
  const auto stream = static_cast<std::size_t>(openedStream_);
  const RealMediaLayout& layout = walked_->layout;
  if (!layout.Cut(stream)) return 0;
  return int64_t{layout.Span(stream)} * 10000;
}

bool OpenedMedia::DecodesSomething() {
  if (FindStreamInfo() != 0) return false;
  AVFormatContext* format = context_.get();
  const AVCodec* codec = nullptr;
  const int index = av_find_best_stream(format, AVMEDIA_TYPE_AUDIO, -1, -1, &codec, 0);
  if (index < 0 || !codec) return false;
  snd_ffmpeg::CodecPtr decoder(avcodec_alloc_context3(codec));
  snd_ffmpeg::PacketPtr packet(av_packet_alloc());
  snd_ffmpeg::FramePtr frame(av_frame_alloc());
  if (!decoder || !packet || !frame) return false;
  if (avcodec_parameters_to_context(decoder.get(), format->streams[index]->codecpar) < 0) return false;
  decoder->thread_count = 1;
  if (avcodec_open2(decoder.get(), codec, nullptr) < 0) return false;
  for (int packets = 0; packets < kTrialPackets; ++packets) {
    const bool more = av_read_frame(format, packet.get()) >= 0;
    if (!more) {
      avcodec_send_packet(decoder.get(), nullptr);
    } else if (packet->stream_index == index) {
      avcodec_send_packet(decoder.get(), packet.get());
    }
    av_packet_unref(packet.get());
    while (avcodec_receive_frame(decoder.get(), frame.get()) == 0) {
      const bool decoded = frame->nb_samples > 0;
      av_frame_unref(frame.get());
      if (decoded) return true;
    }
    if (!more) break;
  }
  return false;
}

int OpenedMedia::OpenContext(const char* path, const AVInputFormat* format) {
  std::unique_ptr<unsigned char, AvFreer> buffer(static_cast<unsigned char*>(av_malloc(kIoBufferSize)));
  if (!buffer) return AVERROR(ENOMEM);
  io_.reset(avio_alloc_context(buffer.get(), kIoBufferSize, 0, this, &OpenedMedia::ReadBytes, nullptr,
                               &OpenedMedia::SeekBytes));
  if (!io_) return AVERROR(ENOMEM);
  buffer.release();  // the AVIOContext owns it now

  AVFormatContext* context = avformat_alloc_context();
  if (!context) return AVERROR(ENOMEM);
  context->pb = io_.get();
  context->interrupt_callback.callback = &OpenedMedia::Interrupted;
  context->interrupt_callback.opaque = this;
  context->probesize = kProbeSizeBytes;
  context->max_analyze_duration = kAnalyzeDurationMicroseconds;
  // A packet the demuxer knows to be cut or damaged is dropped rather than decoded into noise.
  context->flags |= AVFMT_FLAG_DISCARD_CORRUPT;
  context->format_whitelist = av_strdup(format ? format->name : kFormatWhitelist);
  // Nothing but this AVIOContext is read: no protocol may open a network address or another file.
  context->protocol_whitelist = av_strdup("file");
  if (!context->format_whitelist || !context->protocol_whitelist) {
    avformat_free_context(context);
    return AVERROR(ENOMEM);
  }
  // The path only names the file (its extension helps the format guess); the bytes come from pb.
  const int result = avformat_open_input(&context, path, format, nullptr);
  if (result < 0) return result;  // avformat_open_input freed the context
  context_.reset(context);
  return 0;
}

int OpenedMedia::FindStreamInfo() {
  if (!context_) return AVERROR(EINVAL);
  const int result = avformat_find_stream_info(context_.get(), nullptr);
  if (result < 0) return result;
  return Interrupted(this) ? AVERROR_EXIT : 0;
}
