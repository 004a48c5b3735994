#include "tests/app/MediaTree.h"

#include <unistd.h>

#include <filesystem>

#include "tests/support/TestEnvironment.h"

TMediaTree MakeMediaTree(const std::string& root) {
  TMediaTree tree;
  tree.Root = root.back() == '/' ? root : root + "/";
  for (const char* folder : {"a", "b/c", ".hidden"}) std::filesystem::create_directories(tree.Root + folder);
  const auto copy = [&](const std::string& testFile, const std::string& name) {
    WriteWholeFile(tree.Root + name, ReadWholeFile(TestDataFile(testFile)));
  };
  tree.Good = {"a/Intro.rm", "b/c/deep.RM", "b/Intro.rma", "Part 2.RM", "Part 10.rm"};
  // A .rma file has no tags read: its title is its name.
  tree.Titles = {"Tone 550", "Tone 660", "Intro", "Tone 880", "Tone 550"};
  copy("ra144.rm", "a/Intro.rm");
  copy("aac.rm", "b/c/deep.RM");
  copy("ac3-stereo.rm", "b/Intro.rma");
  copy("video-ac3-mono.rmvb", "Part 2.RM");
  copy("ra144.rm", "Part 10.rm");
  tree.NoAudio = "a/silent.rm";
  copy("video-only.rm", tree.NoAudio);
  tree.Unreadable = "broken.rm";
  WriteWholeFile(tree.Root + tree.Unreadable, "not a RealMedia file at all");
  WriteWholeFile(tree.Root + "notes.txt", "track list");
  copy("ra144.rm", ".hidden/secret.rm");
  ::symlink(".", (tree.Root + "b/c/loop").c_str());
  return tree;
}

std::string Mp3Path(const std::string& root, const std::string& relative) {
  return root + relative.substr(0, relative.rfind('.')) + ".mp3";
}
