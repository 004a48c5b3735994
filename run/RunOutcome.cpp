#include "run/RunOutcome.h"

const char* OutcomeName(TOutcome outcome) {
  switch (outcome) {
    case TOutcome::Converted:
      return "converted";
    case TOutcome::Short:
      return "short";
    case TOutcome::Skipped:
      return "skipped";
    case TOutcome::Failed:
      break;
  }
  return "failed";
}

const char* ReasonName(TReason reason) {
  switch (reason) {
    case TReason::None:
      return "none";
    case TReason::Exists:
      return "exists";
    case TReason::Missing:
      return "missing";
    case TReason::NotAFile:
      return "not-a-file";
    case TReason::Unreadable:
      return "unreadable";
    case TReason::NoAudio:
      return "no-audio";
    case TReason::Damaged:
      return "damaged";
    case TReason::Cut:
      return "cut";
    case TReason::OutputFolder:
      return "output-folder";
    case TReason::OutputWrite:
      return "output-write";
    case TReason::OutputLocked:
      return "output-locked";
    case TReason::Clash:
      return "clash";
    case TReason::SameAsInput:
      return "same-as-input";
    case TReason::NameTooLong:
      return "name-too-long";
    case TReason::Stopped:
      return "stopped";
    case TReason::NoThread:
      return "no-thread";
    case TReason::LowerRate:
      return "lower-rate";
    case TReason::Encoder:
      break;
  }
  return "encoder";
}

bool IsOutputOrSystem(TReason reason) {
  return reason == TReason::OutputFolder || reason == TReason::OutputWrite ||
         reason == TReason::OutputLocked || reason == TReason::NoThread;
}
