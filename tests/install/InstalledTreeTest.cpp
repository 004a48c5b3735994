// `cmake --install` into a fresh prefix gives a program that runs from there: only the program in
// bin/, its data files in share/tolvane/, found there by the program, and a window on a real display.
#include <gtest/gtest.h>
#include <signal.h>

#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QThread>

#include "core/Profile.h"
#include "tests/install/InstallTools.h"
#include "tests/support/TestEnvironment.h"

namespace {

QStringList FilesUnder(const QString& root) {
  QStringList files;
  QDirIterator it(root, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
  while (it.hasNext()) files << QDir(root).relativeFilePath(it.next());
  files.sort();
  return files;
}

QString SourceFile(const QString& relative) { return QString::fromStdString(SourceDir()) + "/" + relative; }

TEST(InstalledTree, HoldsTheProgramInBinAndEachFileInItsStandardPlace) {
  InstalledTree tree;
  ASSERT_TRUE(tree.Installed()) << tree.Log().toStdString();

  const QStringList expected = {
      "bin/tolvane",
      "bin/tolvane-convert",
      "share/applications/example.zarnok.Tolvane.desktop",
      "share/icons/hicolor/256x256/apps/tolvane.png",
      "share/icons/hicolor/scalable/apps/tolvane.svg",
      "share/man/man1/tolvane-convert.1.gz",
      "share/metainfo/example.zarnok.Tolvane.metainfo.xml",
      "share/tolvane/tips-rm.txt",
      "share/tolvane/tolvane.html",
  };
  EXPECT_EQ(FilesUnder(tree.Prefix()), expected);
  EXPECT_TRUE(QFileInfo(tree.Path("bin/tolvane")).isExecutable());

  // The installed data files are the committed ones, byte for byte.
  for (const QString name : {"tips-rm.txt", "tolvane.html"})
    EXPECT_EQ(ReadWholeFile(tree.Path("share/tolvane/" + name).toStdString()),
              ReadWholeFile(SourceFile("data/" + name).toStdString()))
        << name.toStdString();

  // A program that still looks for libraries in the build tree would break once that is gone.
  const ToolResult dynamic = RunTool("readelf", {"--dynamic", tree.Path("bin/tolvane")});
  ASSERT_EQ(dynamic.exitCode, 0) << dynamic.output.toStdString();
  EXPECT_FALSE(dynamic.output.contains(BuildDir())) << dynamic.output.toStdString();

  // The command-line converter runs from there without Qt Widgets.
  const ToolResult converter = RunTool("readelf", {"--dynamic", tree.Path("bin/tolvane-convert")});
  EXPECT_TRUE(converter.output.contains("libQt6Core.so") && !converter.output.contains("libQt6Widgets"))
      << converter.output.toStdString();
  EXPECT_EQ(RunTool(tree.Path("bin/tolvane-convert"), {"--version"}).output,
            "tolvane-convert " + ProjectVersion() + "\n");
}

TEST(InstalledTree, ProgramFindsTheInstalledTipsAndHelp) {
  InstalledTree tree;
  ASSERT_TRUE(tree.Installed()) << tree.Log().toStdString();

  // What start-up does with the path of the installed executable.
  SetProgramDir(tree.Path("bin/tolvane").toStdString());
  AssignProductProfile();
  EXPECT_EQ(ProgramDir, tree.Path("bin/").toStdString());
  EXPECT_EQ(DataFilePath(HelpFile), tree.Path("share/tolvane/tolvane.html").toStdString());
  EXPECT_EQ(DataFilePath(TipsFile), tree.Path("share/tolvane/tips-rm.txt").toStdString());
}

TEST(InstalledProgram, StartsFromTheMenuEntryCommandAndShowsItsWindow) {
  InstalledTree tree;
  ASSERT_TRUE(tree.Installed()) << tree.Log().toStdString();
  const QStringList installedFiles = FilesUnder(tree.Prefix());
  const auto entry = ReadDesktopEntry(tree.Path("share/applications/example.zarnok.Tolvane.desktop"));

  // The menu's command with its file-list field code dropped, as a menu with no files runs it.
  QStringList command = entry.value("Exec").split(' ', Qt::SkipEmptyParts);
  command.removeIf([](const QString& word) { return word.startsWith('%'); });
  ASSERT_EQ(command.size(), 1) << entry.value("Exec").toStdString();
  const QString program = QStandardPaths::findExecutable(command.first(), {tree.Path("bin")});
  ASSERT_EQ(program, tree.Path("bin/tolvane"));

  VirtualDisplay display;
  ASSERT_FALSE(display.Display().isEmpty()) << "Xvfb did not start";
  QTemporaryDir home;
  QProcess tolvane;
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.insert("DISPLAY", display.Display());
  environment.insert("QT_QPA_PLATFORM", "xcb");
  environment.insert("HOME", home.path());
  environment.insert("XDG_CONFIG_HOME", home.path() + "/config");
  environment.insert("XDG_DATA_HOME", home.path() + "/data");
  environment.insert("PATH", tree.Path("bin") + ":" + environment.value("PATH"));
  tolvane.setProcessEnvironment(environment);
  tolvane.setWorkingDirectory(home.path());
  tolvane.setProcessChannelMode(QProcess::ForwardedChannels);
  tolvane.start(program, {});
  ASSERT_TRUE(tolvane.waitForStarted(10000));

  QString window;
  QElapsedTimer waited;
  waited.start();
  while (window.isEmpty() && waited.elapsed() < 60000 && tolvane.state() == QProcess::Running) {
    window = FindWindowLine(display.Display(), "Tolvane   (");
    if (window.isEmpty()) QThread::msleep(200);
  }
  ASSERT_FALSE(window.isEmpty()) << "the main window never appeared";

  // The window's class is the one the menu entry names, so a dock groups the window with its entry.
  const auto wmClass = QRegularExpression(R"re(\("[^"]*" "([^"]*)"\))re").match(window);
  ASSERT_TRUE(wmClass.hasMatch()) << window.toStdString();
  EXPECT_EQ(wmClass.captured(1), entry.value("StartupWMClass"));
  // The compiled-in icon reaches the window.
  QProcessEnvironment onDisplay = QProcessEnvironment::systemEnvironment();
  onDisplay.insert("DISPLAY", display.Display());
  const QString windowId = window.section(' ', 0, 0);
  const ToolResult icon = RunTool("xprop", {"-id", windowId, "_NET_WM_ICON"}, onDisplay, 10000);
  EXPECT_TRUE(icon.output.startsWith("_NET_WM_ICON(CARDINAL)")) << icon.output.left(200).toStdString();

  ::kill(static_cast<pid_t>(tolvane.processId()), SIGTERM);
  ASSERT_TRUE(tolvane.waitForFinished(30000));
  EXPECT_EQ(tolvane.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(tolvane.exitCode(), 0);
  // Settings went to the user's folder; the installed tree, read-only for its users, is unchanged.
  EXPECT_TRUE(QFileInfo::exists(home.path() + "/config/Zarnok/Tolvane.ini"));
  EXPECT_EQ(FilesUnder(tree.Prefix()), installedFiles);
}

}  // namespace
