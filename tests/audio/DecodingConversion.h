#pragma once
// Converts one file the way the conversion run does: a TDX9In opened by the run, the MP3 sink with
// the progress window's settings, OnDone served on this thread, the input destroyed in OnDone.
#include <cstdint>
#include <string>

#include "audio/Snd_Classes.h"

struct DecodingTags {
  std::string title, artist, album, year, genre, comment;
};

struct DecodingOutcome {
  bool done = false;                         // OnDone fired
  std::string openError;                     // the input could not be opened (the reader's text)
  std::string threadError;                   // OnThreadException's text
  TSndFailure failure = TSndFailure::Other;  // what OnThreadException's ESndException names
  int threadErrors = 0;                      // how often OnThreadException fired
  int64_t streamDuration = 0;                // the reader's, read in OnDone
};

DecodingOutcome ConvertWithDX9(const std::string& source, const std::string& mp3, const DecodingTags& tags);
