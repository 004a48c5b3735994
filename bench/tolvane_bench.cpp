// tolvane-bench [--cores N] INPUT OUTPUT.mp3: converts one file through TDX9In and TMP3Out with the
// progress window's settings on a core budget of N (default: every core; 1 is one encoder) and prints
// wall seconds, CPU seconds, the realtime factor and peak memory.
// Exit status: 0 converted, 1 failed, 2 misuse, 3 converted only in part (the file looks cut or
// damaged; the warning goes to the error output, the measures are printed all the same).
#include <sys/resource.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "audio/MainThreadCall.h"
#include "audio/Snd_DX9.h"
#include "audio/Snd_LAME.h"
#include "probe/OpenedMedia.h"
#include "run/ProgressDesign.h"
#include "run/TaskOutcome.h"

namespace {

// The container's title, as the run takes it into Id3TagTitle; empty when there is none.
std::string ContainerTitle(const std::string& path) {
  OpenedMedia media;  // a local regular file, whatever its name looks like
  if (media.Open(path.c_str()) != 0) return {};
  const AVDictionaryEntry* title = av_dict_get(media.Context()->metadata, "title", nullptr, 0);
  return title ? title->value : std::string();
}

double CpuSeconds(const rusage& usage) {
  return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

}  // namespace

int main(int argc, char** argv) {
  int cores = int(std::max(1u, std::thread::hardware_concurrency()));
  if (argc == 5 && std::string(argv[1]) == "--cores") {
    cores = std::atoi(argv[2]);
    argv += 2;
    argc -= 2;
  }
  if (argc != 3 || cores < 1) {
    std::fprintf(stderr, "usage: tolvane-bench [--cores N] INPUT OUTPUT.mp3\n");
    return 2;
  }
  const std::string source = argv[1], target = argv[2];
  const auto start = std::chrono::steady_clock::now();
  try {
    // The run's budget: this task holds one core; the others go to its segment encoders.
    TCoreBudget budget(cores);
    budget.TaskStarted();
    TMP3Out out;
    out.Cores = &budget;
    out.FileName = target;
    ApplyProgressWindowDesign(out);
    out.Mode = TMP3Mode::JOINT_STEREO;
    out.Id3TagTitle = ContainerTitle(source);

    auto input = std::make_unique<TDX9In>();
    input->FileName = source;
    input->OpenSource();
    std::atomic<bool> finished{false};
    std::mutex errorMutex;
    std::string error;
    double audioSeconds = 0;
    std::optional<TTaskNotice> notice;
    out.OnDone = [&](TComponent*) {
      audioSeconds = double(input->Position.load()) / (double(input->SampleRate) * input->Channels * 2);
      notice = JudgeFinishedTask(*input, 0, source, target, out.CreatedFile());
      input.reset();
      finished = true;
    };
    out.OnThreadException = [&](TComponent*, const Exception& e) {
      std::lock_guard<std::mutex> lock(errorMutex);
      error = e.what();
      finished = true;
    };
    out.SetInput(input.get());
    out.Start();
    while (!finished.load()) ProcessMainThreadCalls(100);
    {
      std::lock_guard<std::mutex> lock(errorMutex);
      if (!error.empty()) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
      }
    }
    if (notice && !notice->Playable) {
      std::fprintf(stderr, "%s\n", notice->Text.c_str());
      return 1;
    }
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("cores %d\n", cores);
    std::printf("segmented %d\n", out.Segmented() ? 1 : 0);
    std::printf("wall_seconds %.3f\n", wall);
    std::printf("cpu_seconds %.3f\n", CpuSeconds(usage));
    std::printf("audio_seconds %.3f\n", audioSeconds);
    std::printf("realtime_factor %.1f\n", wall > 0 ? audioSeconds / wall : 0.0);
    std::printf("peak_memory_mb %.1f\n", double(usage.ru_maxrss) / 1024.0);
    if (notice) {
      std::fprintf(stderr, "%s\n", notice->Text.c_str());
      return 3;
    }
    return 0;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s\n", e.what());
    return 1;
  }
}
