#include "OpenedMedia.h"

#include <sys/stat.h>

#include <cerrno>
#include <string>

namespace {
// Enough to find the streams of any real RealMedia, ASF or QuickTime file.
constexpr int64_t kProbeSizeBytes = 2 * 1024 * 1024;
constexpr int64_t kAnalyzeDurationMicroseconds = 5 * AV_TIME_BASE;
}  // namespace

int OpenedMedia::Interrupted(void* self) {
  return std::chrono::steady_clock::now() > static_cast<OpenedMedia*>(self)->deadline_ ? 1 : 0;
}

void OpenedMedia::ExtendDeadline(std::chrono::milliseconds budget) {
  deadline_ = std::chrono::steady_clock::now() + budget;
}

int OpenedMedia::Open(const char* path, std::chrono::milliseconds budget) {
  context_.reset();
  if (!path) return AVERROR(EINVAL);
  // Something other than a regular file (a FIFO, a device, a folder) could block open() or never end.
  struct stat info {};
  if (::stat(path, &info) != 0) return AVERROR(errno);
  if (!S_ISREG(info.st_mode)) return kNotARegularFile;
  ExtendDeadline(budget);
  AVFormatContext* context = avformat_alloc_context();
  if (!context) return AVERROR(ENOMEM);
  context->interrupt_callback.callback = &OpenedMedia::Interrupted;
  context->interrupt_callback.opaque = this;
  context->probesize = kProbeSizeBytes;
  context->max_analyze_duration = kAnalyzeDurationMicroseconds;
  // A packet the demuxer knows to be cut or damaged is dropped rather than decoded into noise.
  context->flags |= AVFMT_FLAG_DISCARD_CORRUPT;
  // Local files only: a file must never make the reader open a network address or another file.
  context->protocol_whitelist = av_strdup("file");
  if (!context->protocol_whitelist) {
    avformat_free_context(context);
    return AVERROR(ENOMEM);
  }
  // "file:" keeps a name such as "concat:x" or "http:y" from being taken for a protocol.
  const std::string url = std::string("file:") + path;
  // On failure avformat_open_input frees the context itself.
  const int result = avformat_open_input(&context, url.c_str(), nullptr, nullptr);
  if (result < 0) return result;
  context_.reset(context);
  return 0;
}

int OpenedMedia::FindStreamInfo() {
  if (!context_) return AVERROR(EINVAL);
  const int result = avformat_find_stream_info(context_.get(), nullptr);
  if (result < 0) return result;
  return Interrupted(this) ? AVERROR_EXIT : 0;
}
