#include "convert/RunMessages.h"

#include <cerrno>

#include "audio/AudioReadError.h"
#include "ui/lang.h"

namespace {

std::string Quoted(const std::string& path) { return "\"" + path + "\""; }

std::string WhatHappened(const TRunFailure& f, const std::string& source, const std::string& output) {
  switch (f.What) {
    case TSndFailure::CannotOpen:
      return "The file " + Quoted(source) + " cannot be opened and is skipped";
    case TSndFailure::CannotCreate:
      return "The MP3 file " + Quoted(output) + " cannot be created";
    case TSndFailure::Damaged:
      return "The file " + Quoted(source) + " is damaged";
    case TSndFailure::NoAudio:
      return "No audio could be decoded from " + Quoted(source);
    case TSndFailure::WriteFailed:
      if (f.SystemError == ENOSPC) return "No space is left to write " + Quoted(output);
      return "The MP3 file " + Quoted(output) + " cannot be written";
    case TSndFailure::Other:
      break;
  }
  return "The file " + Quoted(source) + " cannot be converted";
}

}  // namespace

TRunFailure DescribeFailure(const Exception& e, TRunStage stage) {
  TRunFailure failure;
  failure.LibraryText = e.what();
  failure.Stage = stage;
  if (const auto* snd = dynamic_cast<const ESndException*>(&e)) {
    failure.What = snd->Failure;
    failure.SystemError = snd->SystemError;
  } else if (dynamic_cast<const EAudioReadError*>(&e)) {
    failure.What = stage == TRunStage::Running ? TSndFailure::Damaged : TSndFailure::CannotOpen;
  }
  if (failure.What == TSndFailure::Other && stage == TRunStage::Opening)
    failure.What = TSndFailure::CannotOpen;
  return failure;
}

std::string FailureMessage(const TRunFailure& failure, const std::string& source, const std::string& output,
                           bool partialOutput) {
  std::string text = WhatHappened(failure, source, output);
  if (!failure.LibraryText.empty()) text += " (" + failure.LibraryText + ")";
  text += ".";
  if (partialOutput) text += "\nIts MP3 file holds only the part before that.";
  return text;
}

std::string RunOutcomeText(bool canceled, int failedTasks, int checkedTasks) {
  if (canceled) return StrCanceled;
  if (failedTasks <= 0) return StrAllConverted;
  return "The conversion has finished, but " + std::to_string(failedTasks) + " of " +
         std::to_string(checkedTasks) + (checkedTasks == 1 ? " file" : " files") + " could not be converted.";
}
