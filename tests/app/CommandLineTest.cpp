// The files named on the command line: what a file manager's "Open with" and a terminal pass.
#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>

#include "app/CommandLine.h"
#include "tests/support/TestEnvironment.h"

namespace {

class CommandLineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(folder.isValid());
    previous = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(folder.path()));
    for (const char* name : {"-x.rm", "--", "a.rm"}) WriteWholeFile(Path(name).toStdString(), "x");
  }
  void TearDown() override { QDir::setCurrent(previous); }
  QString Path(const QString& name) const { return folder.path() + "/" + name; }

  QTemporaryDir folder;
  QString previous;
};

TEST_F(CommandLineTest, NamesThatStartWithADashAreFilesWhenTheyExistOrFollowTheDoubleDash) {
  EXPECT_EQ(CommandLineFiles({"tolvane", "-x.rm", "a.rm", Path("a.rm")}),
            (QStringList{Path("-x.rm"), Path("a.rm"), Path("a.rm")}));
  // Options that name no file are left out; after "--" every argument is a file, "--" itself too.
  EXPECT_EQ(CommandLineFiles({"tolvane", "-v", "--unknown", "a.rm", "--", "-y.rm", "--", ""}),
            (QStringList{Path("a.rm"), Path("-y.rm"), Path("--")}));
  // A name without a dash is taken as given: the drop filter later leaves out what is no file.
  EXPECT_EQ(CommandLineFiles({"tolvane", "missing.rm"}), QStringList{Path("missing.rm")});
  EXPECT_EQ(CommandLineFiles({"tolvane"}), QStringList());
  EXPECT_EQ(CommandLineFiles({}), QStringList());
}

}  // namespace
