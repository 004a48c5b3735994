#include "audio/SegmentedEncoding.h"

#include <algorithm>
#include <chrono>

#include "audio/LameEncoder.h"
#include "audio/SegmentEncoder.h"
#include "audio/SndError.h"

struct TSegmentedEncoding::TJob {
  enum class State { Filling, Queued, Encoding, Done, Failed };
  int64_t Index = 0;
  int64_t Start = 0;  // input sample frames [Start, End) it takes, unless it ends the file
  int64_t End = 0;
  std::vector<int16_t> Pcm;  // stereo, from Start
  State Now = State::Filling;
  std::unique_ptr<TSegmentEncoder> Encoder;
  bool EndHere = false;  // a stop: end where the encoder is
  bool Dropped = false;
  std::string Error;
  TSegmentResult Result;
};

TSegmentedEncoding::TSegmentedEncoding(TSetup setup, std::unique_ptr<TMp3Encoder> first)
    : setup_(std::move(setup)),
      first_(std::move(first)),
      signals_(*setup_.Signals),
      mutex_(signals_.Mutex),
      claimed_(setup_.ClaimedCore && setup_.Cores) {
  if (setup_.TakeOver.Read <= 0) return;
  // The first segment is open from the start: it is the file's last should the input end right here.
  auto job = std::make_shared<TJob>();
  job->Start = read_ = setup_.TakeOver.Read;
  job->End = std::max(job->Start, setup_.Plan.JobEnd(0));
  job->Pcm.reserve(size_t(job->End - job->Start) * 2);
  jobs_.push_back(std::move(job));
  nextJob_ = 1;
}

void TSegmentedEncoding::AddHelperIfUseful() {
  // A helper only once a core is free and none is idle: a sink in a batch that fills every core starts
  // none, and one whose neighbours end starts them then.
  if (!setup_.Cores || noHelpers_ || int32_t(helpers_.size()) >= setup_.Helpers) return;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (idleHelpers_ > 0 || (!claimed_ && setup_.Cores->LendableCores() <= 0)) return;
    ++idleHelpers_;
  }
  try {
    helpers_.reserve(helpers_.size() + 1);  // so that a started thread is always kept
    std::function<void()> loop = [this] { HelperLoop(); };
    helpers_.push_back(setup_.StartThread ? setup_.StartThread(std::move(loop))
                                          : std::thread(std::move(loop)));
  } catch (const std::exception&) {
    // No thread to be had (the system's limit, memory): the worker encodes every segment itself.
    bool release = false;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      --idleHelpers_;
      noHelpers_ = true;
      release = helpers_.empty() && claimed_;
      if (release) claimed_ = false;
    }
    if (release) setup_.Cores->ReleaseExtra();
  }
}

bool TSegmentedEncoding::TakeCore() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (claimed_) {
      claimed_ = false;
      return true;
    }
  }
  return setup_.Cores->TryAcquireExtra();
}

TSegmentedEncoding::~TSegmentedEncoding() { Abandon(); }

void TSegmentedEncoding::Abandon() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    abandon_ = true;
    ended_ = true;
    for (const auto& job : jobs_) job->Dropped = true;
    jobs_.clear();
  }
  signals_.Changed.notify_all();
  for (std::thread& helper : helpers_) helper.join();
  helpers_.clear();
  workerJob_.reset();
  if (claimed_) {
    claimed_ = false;
    setup_.Cores->ReleaseExtra();
  }
}

bool TSegmentedEncoding::Paused() const { return setup_.PauseRequested && setup_.PauseRequested(); }

bool TSegmentedEncoding::WantsInput() const {
  std::lock_guard<std::mutex> lock(mutex_);
  if (ended_) return false;
  return std::none_of(jobs_.begin(), jobs_.end(),
                      [](const auto& job) { return job->Now == TJob::State::Queued; });
}

void TSegmentedEncoding::AddPcm(const int16_t* samples, int64_t frames, int32_t channels) {
  if (ended_ || frames <= 0) return;
  const int64_t from = read_, to = read_ + frames;
  while (setup_.Plan.JobStart(nextJob_) < to) {
    auto job = std::make_shared<TJob>();
    job->Index = nextJob_;
    job->Start = setup_.Plan.JobStart(nextJob_);
    job->End = setup_.Plan.JobEnd(nextJob_);
    job->Pcm.reserve(size_t(job->End - job->Start) * 2);
    std::lock_guard<std::mutex> lock(mutex_);
    jobs_.push_back(std::move(job));
    ++nextJob_;
  }
  // Only the worker fills the segments still open; the helpers see them once they are queued.
  std::vector<std::shared_ptr<TJob>> open;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    for (const auto& job : jobs_) {
      if (job->Now == TJob::State::Filling) open.push_back(job);
    }
  }
  for (const std::shared_ptr<TJob>& job : open) {
    const int64_t begin = std::max(from, job->Start), end = std::min(to, job->End);
    if (channels == 2) {
      job->Pcm.insert(job->Pcm.end(), samples + (begin - from) * 2, samples + (end - from) * 2);
    } else {
      for (int64_t f = begin; f < end; ++f) job->Pcm.insert(job->Pcm.end(), 2, samples[f - from]);
    }
    if (job->Start + int64_t(job->Pcm.size() / 2) == job->End) Queue(job, false);
  }
  read_ = to;
}

void TSegmentedEncoding::Queue(const std::shared_ptr<TJob>& job, bool last) {
  const TSegmentPlan& plan = setup_.Plan;
  std::unique_ptr<TMp3Encoder> encoder =
      job->Index == 0 && first_ ? std::move(first_) : std::make_unique<TLameEncoder>(setup_.Settings);
  const int64_t frames = int64_t(job->Pcm.size() / 2);
  // A taken-over first segment keeps its frames from the first one not in the file yet.
  const int64_t before = job->Index == 0 ? setup_.TakeOver.Frames : 0;
  job->Encoder = std::make_unique<TSegmentEncoder>(
      std::move(encoder), job->Pcm.data(), frames, job->Index == 0 ? 0 : plan.WarmUpFrames,
      last ? -1 : plan.KeptFrames(job->Index) - before, setup_.ChunkFrames, setup_.BufferSize,
      setup_.Settings.FileName, before,
      job->Index == 0 ? std::move(setup_.TakeOver.Bytes) : std::vector<unsigned char>());
  job->Result.FirstFrame = job->Index == 0 ? before : plan.FirstFrame(job->Index);
  job->Result.OwnFrame = plan.Boundary(job->Index);
  job->Result.NextFirstFrame = last ? -1 : plan.FirstFrame(job->Index + 1);
  {
    std::lock_guard<std::mutex> lock(mutex_);
    job->Now = TJob::State::Queued;
  }
  signals_.Changed.notify_all();
  AddHelperIfUseful();
}

void TSegmentedEncoding::Finishing() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  signals_.Changed.notify_all();
}

void TSegmentedEncoding::EndOfInput() {
  if (ended_) return;
  std::shared_ptr<TJob> last;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    ended_ = true;
    // The lowest open segment ends the file; one opened past it for its warm-up is not needed.
    for (auto it = jobs_.begin(); it != jobs_.end();) {
      if ((*it)->Now != TJob::State::Filling) {
        ++it;
      } else if (!last) {
        last = *it++;
      } else {
        it = jobs_.erase(it);
      }
    }
  }
  if (last) Queue(last, true);
}

std::shared_ptr<TSegmentedEncoding::TJob> TSegmentedEncoding::TakeQueued() {
  for (const auto& job : jobs_) {
    if (job->Now == TJob::State::Queued) {
      job->Now = TJob::State::Encoding;
      return job;
    }
  }
  return nullptr;
}

void TSegmentedEncoding::Finish(const std::shared_ptr<TJob>& job) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    TSegmentEncoder& encoder = *job->Encoder;
    job->Result.Frames = std::move(encoder.Frames());
    job->Result.TagFrame = encoder.TagFrame();
    job->Result.Padding = encoder.Padding();
    job->Result.TagOpens = encoder.TagOpens();
    job->Encoder.reset();
    job->Pcm = std::vector<int16_t>();
    job->Now = TJob::State::Done;
  }
  signals_.Changed.notify_all();
}

bool TSegmentedEncoding::WorkerStep() {
  if (!workerJob_) {
    std::lock_guard<std::mutex> lock(mutex_);
    workerJob_ = TakeQueued();
  }
  if (!workerJob_) return false;
  const std::shared_ptr<TJob> job = workerJob_;
  bool done = false;
  try {
    done = job->EndHere ? (job->Encoder->EndHere(), true) : job->Encoder->Step();
  } catch (const ESndException& e) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      job->Error = e.what();
      job->Encoder.reset();
      job->Now = TJob::State::Failed;
    }
    workerJob_.reset();
    signals_.Changed.notify_all();
    return true;
  }
  if (done) {
    Finish(job);
    workerJob_.reset();
  }
  return true;
}

void TSegmentedEncoding::WaitForWork(int ms) {
  std::unique_lock<std::mutex> lock(mutex_);
  signals_.Changed.wait_for(lock, std::chrono::milliseconds(ms), [this] {
    if (!ended_) return true;  // the worker reads, or takes the segment that waits
    if (jobs_.empty()) return true;
    const TJob::State front = jobs_.front()->Now;
    return front == TJob::State::Done || front == TJob::State::Failed ||
           std::any_of(jobs_.begin(), jobs_.end(),
                       [](const auto& job) { return job->Now == TJob::State::Queued; });
  });
}

bool TSegmentedEncoding::TakeNext(TSegmentResult& result) {
  std::unique_lock<std::mutex> lock(mutex_);
  if (jobs_.empty()) return false;
  const std::shared_ptr<TJob> job = jobs_.front();
  if (job->Now == TJob::State::Done) {
    result = std::move(job->Result);
    jobs_.pop_front();
    taken_ = true;
    return true;
  }
  if (job->Now != TJob::State::Failed) return false;
  const std::string error = job->Error;
  jobs_.pop_front();
  lock.unlock();
  throw ESndException(error);
}

bool TSegmentedEncoding::Finished() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return ended_ && jobs_.empty();
}

void TSegmentedEncoding::StopHere() {
  std::shared_ptr<TJob> reopened;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
    ended_ = true;
    size_t keep = 0;
    while (keep < jobs_.size() && jobs_[keep]->Now == TJob::State::Done) ++keep;
    if (keep < jobs_.size()) {
      const std::shared_ptr<TJob>& next = jobs_[keep];
      if (next->Now == TJob::State::Encoding) {
        next->EndHere = true;
        ++keep;
      } else if (!taken_ && keep == 0 && next->Index == 0) {
        // Nothing finished yet: the first segment ends with what was read, so the file has audio.
        if (next->Now == TJob::State::Queued)
          next->Encoder->MakeLast();
        else if (next->Now == TJob::State::Filling)
          reopened = next;
        ++keep;
      }
    }
    for (size_t i = keep; i < jobs_.size(); ++i) jobs_[i]->Dropped = true;
    jobs_.resize(keep);
    if (workerJob_ && workerJob_->Dropped) workerJob_.reset();
  }
  signals_.Changed.notify_all();
  if (reopened) Queue(reopened, true);
}

void TSegmentedEncoding::HelperLoop() {
  using std::chrono::milliseconds;
  std::unique_lock<std::mutex> lock(mutex_);
  while (!abandon_) {
    const bool queued = std::any_of(jobs_.begin(), jobs_.end(),
                                    [](const auto& job) { return job->Now == TJob::State::Queued; });
    if (!queued || (Paused() && !stopping_)) {
      signals_.Changed.wait_for(lock, milliseconds(50));
      continue;
    }
    // A core beyond the task's own, or none: the worker encodes the segment then. Cores freed by
    // other tasks are seen at the next try.
    lock.unlock();
    const bool lent = TakeCore();
    lock.lock();
    if (!lent) {
      signals_.Changed.wait_for(lock, milliseconds(20));
      continue;
    }
    const std::shared_ptr<TJob> job = abandon_ ? nullptr : TakeQueued();
    if (job) --idleHelpers_;
    lock.unlock();
    if (job) EncodeAsHelper(job);
    setup_.Cores->ReleaseExtra();
    lock.lock();
    if (job) ++idleHelpers_;
  }
}

void TSegmentedEncoding::EncodeAsHelper(const std::shared_ptr<TJob>& job) {
  for (;;) {
    // Busy first, then the pause: a pause that sees no helper busy is never followed by a block.
    signals_.Busy.fetch_add(1);
    bool endHere = false;
    {
      std::unique_lock<std::mutex> lock(mutex_);
      if (abandon_ || job->Dropped) {
        signals_.Busy.fetch_sub(1);
        return;
      }
      if (Paused() && !stopping_) {
        signals_.Busy.fetch_sub(1);
        signals_.Changed.wait_for(lock, std::chrono::milliseconds(50));
        continue;
      }
      endHere = job->EndHere;
    }
    bool done = false;
    try {
      done = endHere ? (job->Encoder->EndHere(), true) : job->Encoder->Step();
    } catch (const std::exception& e) {
      // A helper's failure is the segment's: the worker raises it when the segment's turn comes.
      signals_.Busy.fetch_sub(1);
      {
        std::lock_guard<std::mutex> lock(mutex_);
        job->Error = e.what();
        job->Encoder.reset();
        job->Now = TJob::State::Failed;
      }
      signals_.Changed.notify_all();
      return;
    }
    signals_.Busy.fetch_sub(1);
    if (done) {
      Finish(job);
      return;
    }
  }
}
