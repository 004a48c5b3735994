#pragma once
// Runs a TMP3Out over a source into a temporary file and waits for its outcome.
#include <atomic>
#include <mutex>
#include <string>
#include <vector>

#include "FrameworkTestSources.h"
#include "audio/Snd_LAME.h"

struct Mp3RunOutcome {
  std::atomic<int> done{0};
  std::atomic<int> errors{0};
  std::mutex mutex;
  std::vector<std::string> messages;
  std::vector<TSndFailure> failures;  // Other for exceptions that are not ESndException
  std::vector<int> systemErrors;

  void Attach(TMP3Out& out) {
    out.OnDone = [this](TComponent*) { ++done; };
    out.OnThreadException = [this](TComponent*, const Exception& e) {
      std::lock_guard<std::mutex> lock(mutex);
      messages.push_back(e.what());
      const auto* snd = dynamic_cast<const ESndException*>(&e);
      failures.push_back(snd ? snd->Failure : TSndFailure::Other);
      systemErrors.push_back(snd ? snd->SystemError : 0);
      ++errors;
    };
  }
  bool Finished() const { return done + errors > 0; }
};

// Starts out on source writing path and pumps until OnDone or an error; true on OnDone.
inline bool EncodeToFile(TMP3Out& out, TSndInput& source, const std::string& path) {
  Mp3RunOutcome outcome;
  outcome.Attach(out);
  out.FileName = path;
  out.SetInput(&source);
  out.Start();
  PumpUntil([&] { return outcome.Finished(); });
  out.OnDone = nullptr;
  out.OnThreadException = nullptr;
  return outcome.done == 1 && outcome.errors == 0;
}
