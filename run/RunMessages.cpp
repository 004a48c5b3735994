#include "run/RunMessages.h"

#include <sys/stat.h>

#include <cerrno>

#include "audio/AudioReadError.h"
#include "core/Profile.h"
#include "ui/lang.h"

namespace {

std::string Quoted(const std::string& path) { return "\"" + path + "\""; }

// The message stays short enough for the message window: where the library's text already gives
// the whole path, the file's name is enough.
std::string Named(const std::string& path, const std::string& libraryText) {
  return Quoted(libraryText.find(Quoted(path)) != std::string::npos ? FileNamePart(path) : path);
}

std::string WhatHappened(const TRunFailure& f, const std::string& source, const std::string& output) {
  const std::string in = Named(source, f.LibraryText), out = Named(output, f.LibraryText);
  switch (f.What) {
    case TSndFailure::CannotOpen:
      return "The file " + in + " cannot be opened and is skipped";
    case TSndFailure::CannotCreate:
      return "The MP3 file " + out + " cannot be created";
    case TSndFailure::Damaged:
      return "The file " + in + " is damaged";
    case TSndFailure::NoAudio:
      return "No audio could be decoded from " + in;
    case TSndFailure::WriteFailed:
      if (f.SystemError == ENOSPC) return "No space is left to write " + out;
      return "The MP3 file " + out + " cannot be written";
    case TSndFailure::Other:
      break;
  }
  return "The file " + in + " cannot be converted";
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

TReason SourceReason(const std::string& source) {
  struct stat info {};
  if (stat(source.c_str(), &info) != 0) return errno == ENOENT ? TReason::Missing : TReason::Unreadable;
  return S_ISREG(info.st_mode) ? TReason::Unreadable : TReason::NotAFile;
}

TReason ReasonOf(const TRunFailure& failure, const std::string& source) {
  switch (failure.What) {
    case TSndFailure::CannotOpen:
      return SourceReason(source);
    case TSndFailure::CannotCreate:
      if (failure.SystemError == ENAMETOOLONG) return TReason::NameTooLong;
      // Before the input opens, only the output's folders are made.
      return failure.Stage == TRunStage::Opening ? TReason::OutputFolder : TReason::OutputWrite;
    case TSndFailure::Damaged:
      return TReason::Damaged;
    case TSndFailure::NoAudio:
      return TReason::NoAudio;
    case TSndFailure::WriteFailed:
      return failure.SystemError == ENAMETOOLONG ? TReason::NameTooLong : TReason::OutputWrite;
    case TSndFailure::Other:
      break;
  }
  return TReason::Encoder;
}

std::string FailureMessage(const TRunFailure& failure, const std::string& source, const std::string& output,
                           bool partialOutput) {
  std::string text = WhatHappened(failure, source, output);
  if (!failure.LibraryText.empty()) text += " (" + failure.LibraryText + ")";
  text += ".";
  if (partialOutput) text += "\nIts MP3 file is incomplete.";
  return text;
}

std::string NoThreadMessage(const std::string& reason) {
  return "The conversion cannot go on: the system could not start another thread (" + reason + ").";
}

std::string RunOutcomeText(bool canceled, int failedTasks, int checkedTasks, int partialTasks) {
  if (canceled) return StrCanceled;
  if (failedTasks <= 0 && partialTasks <= 0) return StrAllConverted;
  const std::string ofAll = " of " + std::to_string(checkedTasks) + (checkedTasks == 1 ? " file" : " files");
  std::string text = "The conversion has finished, but ";
  if (failedTasks > 0) text += std::to_string(failedTasks) + ofAll + " could not be converted";
  if (failedTasks > 0 && partialTasks > 0) text += " and ";
  if (partialTasks > 0) {
    text += std::to_string(partialTasks) + (failedTasks > 0 ? "" : ofAll) +
            (partialTasks == 1 ? " was" : " were") + " converted only in part (cut or damaged)";
  }
  return text + ".";
}
