#include "tests/audio/DecodingConversion.h"

#include <atomic>
#include <memory>
#include <mutex>

#include "audio/MainThreadCall.h"
#include "audio/Snd_DX9.h"
#include "audio/Snd_LAME.h"
#include "run/ProgressDesign.h"

DecodingOutcome ConvertWithDX9(const std::string& source, const std::string& mp3, const DecodingTags& tags) {
  DecodingOutcome outcome;
  TMP3Out out;
  out.FileName = mp3;
  ApplyProgressWindowDesign(out);
  out.Mode = TMP3Mode::JOINT_STEREO;
  out.Id3TagTitle = tags.title;
  out.Id3TagArtist = tags.artist;
  out.Id3TagAlbum = tags.album;
  out.Id3TagYear = tags.year;
  out.Id3TagGenre = tags.genre;
  out.Id3TagComment = tags.comment;

  auto input = std::make_unique<TDX9In>();
  input->FileName = source;
  try {
    input->OpenSource();
  } catch (const Exception& e) {
    outcome.openError = e.what();
    return outcome;
  }
  std::atomic<bool> finished{false};
  std::mutex errorMutex;
  out.OnDone = [&](TComponent*) {
    outcome.streamDuration = input->Reader()->StreamDuration();
    input.reset();
    outcome.done = true;
    finished = true;
  };
  out.OnThreadException = [&](TComponent*, const Exception& e) {
    std::lock_guard<std::mutex> lock(errorMutex);
    outcome.threadError = e.what();
    if (const auto* snd = dynamic_cast<const ESndException*>(&e)) outcome.failure = snd->Failure;
    ++outcome.threadErrors;
    finished = true;
  };
  out.SetInput(input.get());
  out.Start();
  while (!finished.load()) ProcessMainThreadCalls(50);
  ProcessMainThreadCalls(20);  // a second report, or an OnDone after an error, would show here
  std::lock_guard<std::mutex> lock(errorMutex);
  return outcome;
}
