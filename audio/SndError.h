#pragma once
// The failures of the audio sources, sinks and encoders, as a conversion run reports them.
#include <cstdint>
#include <string>

#include "core/Exception.h"

// What a failed run ran into, as a user would name it; the conversion run words its message by it.
enum class TSndFailure : int32_t {
  Other,         // anything else (misuse, a refused encoder setting, ...)
  CannotOpen,    // the source file cannot be opened or has no readable audio stream
  CannotCreate,  // the output file cannot be created
  Damaged,       // the source turned out to be damaged while it was read
  NoAudio,       // nothing at all could be decoded
  WriteFailed,   // writing the output failed (SystemError tells why, ENOSPC for a full disk)
};

class ESndException : public Exception {
 public:
  explicit ESndException(const std::string& message, TSndFailure failure = TSndFailure::Other,
                         int systemError = 0)
      : Exception(message), Failure(failure), SystemError(systemError) {}
  TSndFailure Failure;
  int SystemError;  // errno of the system call that failed, 0 when none did
};
