#include "run/InputOpening.h"

#include <atomic>
#include <exception>

#include "audio/Snd_DX9.h"
#include "probe/OpenedMedia.h"
#include "probe/ProbeMedia.h"
#include "run/BackgroundStep.h"

struct TInputOpening::TState {
  std::unique_ptr<TDX9In> Input = std::make_unique<TDX9In>();
  std::optional<TRunFailure> Failure;
  int32_t ProbeResult = 0;
  TTaskRecord Probed;
  std::atomic<bool> GiveUp{false};
};

TInputOpening::TInputOpening(const std::string& sourceFile, TOpener opener, std::function<void()> finished,
                             const TDefaultSettings* probeWith)
    : state_(std::make_shared<TState>()) {
  state_->Input->FileName = sourceFile;
  std::optional<TDefaultSettings> probe;
  if (probeWith) probe = *probeWith;
  step_ = std::make_unique<TBackgroundStep>(
      [state = state_, opener = std::move(opener), probe = std::move(probe)] {
        OpenedMedia::GiveUpOnThisThreadWhen(&state->GiveUp);
        try {
          if (probe) state->ProbeResult = ProbeTaskRecord(state->Input->FileName, *probe, state->Probed);
          if (state->ProbeResult == 0) opener(*state->Input);
        } catch (const Exception& e) {
          state->Failure = DescribeFailure(e, TRunStage::Opening);
        } catch (const std::exception& e) {
          state->Failure = DescribeFailure(Exception(e.what()), TRunStage::Opening);
        } catch (...) {
          state->Failure = DescribeFailure(Exception("Unknown error"), TRunStage::Opening);
        }
        OpenedMedia::GiveUpOnThisThreadWhen(nullptr);
      },
      std::move(finished), TBackgroundStep::TWithoutThread::Raise);
}

TInputOpening::~TInputOpening() = default;

void TInputOpening::GiveUp() { state_->GiveUp.store(true, std::memory_order_release); }

void TInputOpening::Abandon() {
  GiveUp();
  step_->Abandon();
}

std::unique_ptr<TDX9In> TInputOpening::TakeInput() {
  if (state_->Failure || state_->ProbeResult != 0) return nullptr;
  return std::move(state_->Input);
}

const std::optional<TRunFailure>& TInputOpening::Failure() const { return state_->Failure; }
int32_t TInputOpening::ProbeResult() const { return state_->ProbeResult; }
const TTaskRecord& TInputOpening::Probed() const { return state_->Probed; }
