// tolvane-multirate: makes the inputs of the multi-rate benchmark (bench/multirate.sh).
//   tolvane-multirate merge OUT.rm SINGLE.rm...  merges single-rate files into one multi-rate file
//   tolvane-multirate single IN OUT.rm           writes the stream the opener chooses in a multi-rate
//                                                file as the single-rate file it presents to FFmpeg
//   tolvane-multirate hostile OUT.rm STREAMS MB  writes STREAMS RealAudio 14.4 stream headers, MB
//                                                megabytes of empty packets, one short packet a stream
#include <cstdio>
#include <string>
#include <vector>

#include "probe/MultiRateView.h"
#include "tests/support/MultiRateMaker.h"
#include "tests/support/TestEnvironment.h"

namespace {

int Single(const char* in, const char* out) {
  const BoundedFile file(in);
  RealMediaLayout layout;
  if (!file.IsOpen() || !layout.Read(file) || !layout.IsMultiRate() || layout.Candidates().empty()) {
    std::fprintf(stderr, "%s: not a multi-rate file with a decodable stream\n", in);
    return 1;
  }
  MultiRateView view(file, layout, layout.Candidates().front());
  std::string bytes(static_cast<std::size_t>(view.Size()), '\0');
  const int got = view.Read(reinterpret_cast<uint8_t*>(&bytes[0]), static_cast<int>(bytes.size()));
  bytes.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
  WriteWholeFile(out, bytes);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string verb = argc > 1 ? argv[1] : "";
  if (verb == "single" && argc == 4) return Single(argv[2], argv[3]);
  if (verb == "hostile" && argc == 5) {
    WriteWholeFile(argv[2], ManyStreamsBehindEmptyPackets(std::stoul(argv[3]), std::stoull(argv[4]) << 20));
    return 0;
  }
  if (verb == "merge" && argc >= 4) {
    const std::string bytes = MergeToMultiRate(std::vector<std::string>(argv + 3, argv + argc));
    if (bytes.empty()) {
      std::fprintf(stderr, "the sources are not single-rate RealMedia files\n");
      return 1;
    }
    WriteWholeFile(argv[2], bytes);
    return 0;
  }
  std::fprintf(
      stderr,
      "usage: tolvane-multirate merge OUT.rm SINGLE.rm... | single IN OUT.rm | hostile OUT.rm STREAMS MB\n");
  return 2;
}
