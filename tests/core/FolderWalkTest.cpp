#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QTemporaryDir>
#include <algorithm>

#include "core/FolderWalk.h"
#include "tests/support/TestEnvironment.h"

namespace {

const std::vector<std::string> kExtensions = {".rm", ".rma", ".ra", ".rmvb"};

TEST(FolderWalk, NaturalOrder) {
  const std::vector<std::pair<std::string, std::string>> ordered = {
      {"Part 2.rm", "Part 10.rm"}, {"a.rm", "B.rm"}, {"track9", "track09a"}, {"x1", "xa"},
      {"Intro", "intro2"},         {"007", "7a"},    {"Ä.rm", "b.rm"},       {"Show 1 of 3", "Show 1 of 12"}};
  for (const auto& [first, second] : ordered) {
    EXPECT_TRUE(NaturalLess(first, second)) << first << " < " << second;
    EXPECT_FALSE(NaturalLess(second, first)) << second << " < " << first;
  }
  // Equal but for case or leading zeros: still a strict order, never both ways.
  for (const auto& [a, b] : std::vector<std::pair<std::string, std::string>>{{"a.rm", "A.rm"}, {"1", "01"}}) {
    EXPECT_NE(NaturalLess(a, b), NaturalLess(b, a)) << a << " / " << b;
    EXPECT_FALSE(NaturalLess(a, a));
  }
}

TEST(FolderWalk, TreeInFileManagerOrderWithoutHiddenLinkedOrForeignEntries) {
  QTemporaryDir dir;
  const std::string root = dir.path().toStdString() + "/";
  for (const char* folder : {"b", "b/Disc 10", "b/Disc 2", "a", ".hidden", "a/.cache"})
    ASSERT_EQ(::mkdir((root + folder).c_str(), 0755), 0) << folder;
  for (const char* file : {"Part 10.rm", "Part 2.RM", "notes.txt", "b/Disc 10/x.rma", "b/Disc 2/y.Ra",
                           "b/z.rmvb", "a/Intro.rm", ".hidden/secret.rm", "a/.cache/c.rm", "a/.dot.rm"})
    WriteWholeFile(root + file, "x");
  ASSERT_EQ(::symlink("..", (root + "a/loop").c_str()), 0);             // a link to a folder: not followed
  ASSERT_EQ(::symlink(root.c_str(), (root + "b/up").c_str()), 0);       // an absolute one neither
  ASSERT_EQ(::symlink("Intro.rm", (root + "a/Linked.rm").c_str()), 0);  // a link to a file is a file
  ASSERT_EQ(::symlink("gone.rm", (root + "a/dangling.rm").c_str()), 0);

  const TFolderWalk walk = WalkFolder(dir.path().toStdString(), kExtensions);
  std::vector<std::string> found;
  for (const TWalkedFile& file : walk.Files) {
    EXPECT_EQ(file.Path.rfind(root + file.Subfolder, 0), 0u) << file.Path;
    found.push_back(file.Path.substr(root.size()));
  }
  const std::vector<std::string> expected = {"a/Intro.rm", "a/Linked.rm", "b/Disc 2/y.Ra", "b/Disc 10/x.rma",
                                             "b/z.rmvb",   "Part 2.RM",   "Part 10.rm"};
  EXPECT_EQ(found, expected);
  EXPECT_EQ(walk.Files[3].Subfolder, "b/Disc 10/");
  EXPECT_EQ(walk.Files[5].Subfolder, "");
  EXPECT_TRUE(walk.UnreadableFolders.empty());
}

TEST(FolderWalk, UnreadableFoldersAreNamedAndTheRestIsWalked) {
  if (::geteuid() == 0) GTEST_SKIP() << "root lists every folder";
  QTemporaryDir dir;
  const std::string root = dir.path().toStdString() + "/";
  ASSERT_EQ(::mkdir((root + "locked").c_str(), 0755), 0);
  WriteWholeFile(root + "locked/a.rm", "x");
  WriteWholeFile(root + "b.rm", "x");
  ASSERT_EQ(::chmod((root + "locked").c_str(), 0), 0);
  const TFolderWalk walk = WalkFolder(root, kExtensions);
  ::chmod((root + "locked").c_str(), 0755);
  ASSERT_EQ(walk.Files.size(), 1u);
  EXPECT_EQ(walk.Files[0].Path, root + "b.rm");
  EXPECT_EQ(walk.UnreadableFolders, std::vector<std::string>{root + "locked/"});
  EXPECT_EQ(WalkFolder(root + "missing", kExtensions).UnreadableFolders.size(), 1u);
}

}  // namespace
