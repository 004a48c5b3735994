#pragma once
// The walked layouts of the multi-rate files opened last (as many as a run holds, within a memory bound), so
// that the packets of a file are walked once however often it is opened (the probe, the run, a rewind), for
// as long as the file is unchanged. Safe to use from any thread.
#include <atomic>
#include <memory>

#include "BoundedFile.h"
#include "RealMediaLayout.h"

struct WalkedLayout {
  RealMediaLayout layout;
  // The candidate that was found to decode when the file was opened before; -1 while none is known.
  std::atomic<int> decodes{-1};
  // The error an open of the file ended with when no stream could be read; 0 while none is known.
  std::atomic<int> refused{0};
};

// The layout walked before for the file in exactly this state, or null.
std::shared_ptr<WalkedLayout> FindWalkedLayout(const FileStamp& stamp);
// Keeps a layout walked from the file in this state; walkStarted is the wall-clock time the walk began.
void KeepWalkedLayout(const FileStamp& stamp, const timespec& walkStarted,
                      std::shared_ptr<WalkedLayout> layout);
