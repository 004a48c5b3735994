#include "audio/AudioReadError.h"

extern "C" {
#include <libavutil/error.h>
}

namespace {

struct CodeText {
  uint32_t code;
  const char* text;
};

const CodeText kCodeTexts[] = {
    {0x00040001u, "The asynchronous update is pending."},
    {0x00040002u, "Sample was not updated after forced completion."},
    {0x00040003u, "Reached the end of the stream; the sample wasn't updated."},
    {0x08000001u, "Invalid buffer size."},
    {0x08000002u, "This is a folder, a device or a pipe, not a media file."},
    {0x80004002u, "No interface."},
    {0x80004003u, "This method tried to access an invalid pointer."},
    {0x80004004u, "The update aborted."},
    {0x80040110u, "This class cannot be created as part of an aggregate."},
    {0x80040154u, "A specified class is not registered in the registration database."},
    {0x80040401u,
     "An IMediaStream object could not be removed from an IMultiMediaStream object because it still "
     "contains at least one allocated sample."},
    {0x80040402u, "The specified purpose ID can't be used for the call."},
    {0x80040403u, "No stream can be found with the specified attributes."},
    {0x80040404u, "One or more media streams don't support seeking."},
    {0x80040405u, "The stream formats are not compatible."},
    {0x80040406u, "This sample already has a pending update."},
    {0x80040407u,
     "The object can't accept the call because its initialize function or equivalent has not been "
     "called."},
    {0x80040408u, "Source already defined."},
    {0x80040409u, "The stream type is not valid for this operation."},
    {0x8004040Au, "The IMultiMediaStream object is not in running state."},
    {0x80070057u, "One of the parameters is invalid."},
};

}  // namespace

std::string AudioReadErrorText(int32_t code) {
  for (const CodeText& entry : kCodeTexts) {
    if (entry.code == uint32_t(code)) return entry.text;
  }
  // FFmpeg's error numbers are negative; av_strerror fails for numbers it has no text for.
  char text[AV_ERROR_MAX_STRING_SIZE] = {};
  if (code < 0 && av_strerror(code, text, sizeof text) == 0 && text[0] != '\0') return text;
  return "Unrecognized error value.";
}

void CheckResult(int32_t code) {
  if (code != 0) throw EAudioReadError(AudioReadErrorText(code), code);
}
