#include "OpenedMedia.h"

#include <string>

#include "BoundedFile.h"

namespace {
// Enough to find the streams of any real RealMedia, ASF or QuickTime file.
constexpr int64_t kProbeSizeBytes = 2 * 1024 * 1024;
constexpr int64_t kAnalyzeDurationMicroseconds = 5 * AV_TIME_BASE;
}  // namespace

int OpenedMedia::Interrupted(void* self) {
  return std::chrono::steady_clock::now() > static_cast<OpenedMedia*>(self)->deadline_ ? 1 : 0;
}

bool OpenedMedia::Open(const char* path, std::chrono::milliseconds budget) {
  context_.reset();
  // Something other than a regular file (a FIFO, a device) could block libavformat's open.
  if (!IsRegularFile(path)) return false;
  deadline_ = std::chrono::steady_clock::now() + budget;
  AVFormatContext* context = avformat_alloc_context();
  if (!context) return false;
  context->interrupt_callback.callback = &OpenedMedia::Interrupted;
  context->interrupt_callback.opaque = this;
  context->probesize = kProbeSizeBytes;
  context->max_analyze_duration = kAnalyzeDurationMicroseconds;
  // Local files only: a file must never make the reader open a network address or another file.
  context->protocol_whitelist = av_strdup("file");
  if (!context->protocol_whitelist) {
    avformat_free_context(context);
    return false;
  }
  // "file:" keeps a name such as "concat:x" or "http:y" from being taken for a protocol.
  const std::string url = std::string("file:") + path;
  // On failure avformat_open_input frees the context itself.
  if (avformat_open_input(&context, url.c_str(), nullptr, nullptr) < 0) return false;
  context_.reset(context);
  return true;
}

bool OpenedMedia::FindStreamInfo() {
  if (!context_) return false;
  return avformat_find_stream_info(context_.get(), nullptr) >= 0 && !Interrupted(this);
}
