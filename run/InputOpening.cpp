#include "run/InputOpening.h"

#include <exception>

#include "audio/Snd_DX9.h"
#include "probe/OpenedMedia.h"
#include "probe/ProbeMedia.h"

TInputOpening::TInputOpening(const std::string& sourceFile, TOpener opener, std::function<void()> finished,
                             const TDefaultSettings* probeWith)
    : input_(std::make_unique<TDX9In>()) {
  input_->FileName = sourceFile;
  std::optional<TDefaultSettings> probe;
  if (probeWith) probe = *probeWith;
  thread_ = std::thread(
      [this, opener = std::move(opener), finished = std::move(finished), probe = std::move(probe)] {
        OpenedMedia::GiveUpOnThisThreadWhen(&giveUp_);
        try {
          if (probe) probeResult_ = ProbeTaskRecord(input_->FileName, *probe, probed_);
          if (probeResult_ == 0) opener(*input_);
        } catch (const Exception& e) {
          failure_ = DescribeFailure(e, TRunStage::Opening);
        } catch (const std::exception& e) {
          failure_ = DescribeFailure(Exception(e.what()), TRunStage::Opening);
        } catch (...) {
          failure_ = DescribeFailure(Exception("Unknown error"), TRunStage::Opening);
        }
        OpenedMedia::GiveUpOnThisThreadWhen(nullptr);
        try {
          finished();
        } catch (...) {
          // A hand-over that fails leaves the result here, for the owner to take once it waits.
        }
      });
}

TInputOpening::~TInputOpening() {
  if (thread_.joinable()) thread_.join();
}

std::unique_ptr<TDX9In> TInputOpening::TakeInput() {
  if (failure_ || probeResult_ != 0) return nullptr;
  return std::move(input_);
}
