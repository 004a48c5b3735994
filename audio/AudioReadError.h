#pragma once
// The reader's error vocabulary: the DirectShow-era HRESULT codes and texts, and FFmpeg's own errors.
#include <cstdint>
#include <string>

#include "core/Exception.h"

// Result codes the reader raises or recognises (the values of the old multimedia-streaming API).
constexpr int32_t MS_S_PENDING = 0x00040001;
constexpr int32_t MS_S_NOUPDATE = 0x00040002;
constexpr int32_t MS_S_ENDOFSTREAM = 0x00040003;
constexpr int32_t READER_E_BUFFERSIZE = 0x08000001;  // the reader's own code for a zero buffer size
constexpr int32_t READER_E_NOTAFILE = 0x08000002;    // the reader's own code for a folder, device or FIFO
constexpr int32_t E_POINTER_CODE = int32_t(0x80004003u);
constexpr int32_t MS_E_NOSTREAM = int32_t(0x80040403u);
constexpr int32_t MS_E_INCOMPATIBLE = int32_t(0x80040405u);

// A failure of the PCM reader; ErrorCode is the result code or FFmpeg error number that caused it.
class EAudioReadError : public Exception {
 public:
  EAudioReadError(const std::string& message, int32_t code) : Exception(message), ErrorCode(code) {}
  int32_t ErrorCode;
};

// The message for a result code: the table's text, else FFmpeg's own text for its error numbers,
// else "Unrecognized error value.".
std::string AudioReadErrorText(int32_t code);

// Returns for 0; raises EAudioReadError with AudioReadErrorText for every other value.
void CheckResult(int32_t code);
