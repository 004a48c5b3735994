// `cpack -G DEB` makes the Debian package: its control fields, its dependencies on the runtime
// libraries the program needs (also the dlopen'ed encoder, which no linker record names), and its files.
#include <gtest/gtest.h>

#include <algorithm>

#include <QDir>
#include <QDirIterator>
#include <QSet>

#include "tests/install/InstallTools.h"

namespace {

// Package names of a Depends field, alternatives and version limits dropped.
QSet<QString> DependedPackages(const QString& depends) {
  QSet<QString> names;
  for (const QString& clause : depends.split(','))
    for (const QString& alternative : clause.split('|'))
      names.insert(alternative.trimmed().section(' ', 0, 0).section('(', 0, 0));
  return names;
}

// The libraries a program is linked with, by soname.
QStringList NeededLibraries(const QString& program) {
  QStringList needed;
  const ToolResult dynamic = RunTool("readelf", {"--dynamic", program});
  for (const QString& line : dynamic.output.split('\n'))
    if (line.contains("(NEEDED)")) needed << line.section('[', 1).section(']', 0, 0);
  return needed;
}

// The installed packages that hold a library of this soname.
QSet<QString> OwningPackages(const QString& soname) {
  QSet<QString> owners;
  const ToolResult search = RunTool("dpkg-query", {"--search", "*/" + soname});
  for (const QString& line : search.output.split('\n')) {
    const int separator = line.indexOf(": ");
    if (separator > 0 && line.endsWith("/" + soname))
      for (const QString& owner : line.left(separator).split(", ")) owners.insert(owner.section(':', 0, 0));
  }
  return owners;
}

QString Field(const QString& package, const QString& name) {
  return RunTool("dpkg-deb", {"--field", package, name}).output.trimmed();
}

TEST(Package, NamesItsRuntimeLibrariesAndHoldsTheInstalledFiles) {
  QTemporaryDir output;
  const ToolResult cpack = RunTool(
      CPackProgram(), {"-G", "DEB", "--config", BuildDir() + "/CPackConfig.cmake", "-B", output.path()},
      QProcessEnvironment::systemEnvironment(), 240000);
  ASSERT_EQ(cpack.exitCode, 0) << cpack.output.toStdString();
  const QString architecture = RunTool("dpkg", {"--print-architecture"}).output.trimmed();
  const QString package = output.path() + "/tolvane_" + ProjectVersion() + "_" + architecture + ".deb";
  ASSERT_TRUE(QFile::exists(package)) << cpack.output.toStdString();

  EXPECT_EQ(Field(package, "Package"), "tolvane");
  EXPECT_EQ(Field(package, "Version"), ProjectVersion());
  EXPECT_EQ(Field(package, "Maintainer"), "Zarnok Software <support@zarnok.example>");
  EXPECT_EQ(Field(package, "Architecture"), architecture);
  EXPECT_FALSE(Field(package, "Description").isEmpty());

  const ToolResult contents = RunTool("dpkg-deb", {"--contents", package});
  QStringList files;
  for (const QString& line : contents.output.split('\n'))
    if (line.startsWith('-')) files << line.section("./", 1);
  files.sort();
  const QStringList expected = {
      "usr/bin/tolvane",
      "usr/bin/tolvane-convert",
      "usr/share/applications/example.zarnok.Tolvane.desktop",
      "usr/share/icons/hicolor/256x256/apps/tolvane.png",
      "usr/share/icons/hicolor/scalable/apps/tolvane.svg",
      "usr/share/man/man1/tolvane-convert.1.gz",
      "usr/share/metainfo/example.zarnok.Tolvane.metainfo.xml",
      "usr/share/tolvane/tips-rm.txt",
      "usr/share/tolvane/tolvane.html",
  };
  EXPECT_EQ(files, expected) << contents.output.toStdString();

  QTemporaryDir unpacked;
  ASSERT_EQ(RunTool("dpkg-deb", {"--extract", package, unpacked.path()}).exitCode, 0);
  const QString program = unpacked.path() + "/usr/bin/tolvane";
  const ToolResult kind = RunTool("file", {"--brief", program});
  EXPECT_TRUE(kind.output.startsWith("ELF") && kind.output.contains(", stripped"))
      << kind.output.toStdString();

  // Every library the program is linked with comes from a package the package depends on; among
  // them Qt Widgets and the FFmpeg libraries.
  const QSet<QString> depends = DependedPackages(Field(package, "Depends"));
  const QStringList needed =
      NeededLibraries(program) + NeededLibraries(unpacked.path() + "/usr/bin/tolvane-convert");
  for (const QString library : {"libQt6Widgets.so", "libavformat.so", "libavcodec.so", "libavutil.so"})
    EXPECT_TRUE(std::any_of(needed.begin(), needed.end(),
                            [&](const QString& soname) { return soname.startsWith(library); }))
        << library.toStdString() << " not in " << needed.join(' ').toStdString();
  for (const QString& soname : needed) {
    const QSet<QString> owners = OwningPackages(soname);
    ASSERT_FALSE(owners.isEmpty()) << "no package holds " << soname.toStdString();
    EXPECT_TRUE(owners.intersects(depends))
        << soname.toStdString() << " comes from " << owners.values().join(' ').toStdString()
        << ", Depends: " << Field(package, "Depends").toStdString();
  }
  // The encoder is opened at run time by its soname; the package holding that file is depended on.
  const QSet<QString> encoder = OwningPackages("libmp3lame.so.0");
  EXPECT_TRUE(encoder.contains("libmp3lame0")) << encoder.values().join(' ').toStdString();
  EXPECT_TRUE(depends.contains("libmp3lame0")) << Field(package, "Depends").toStdString();
  // Help, the home page and the output folder open through xdg-open.
  EXPECT_TRUE(DependedPackages(Field(package, "Recommends")).contains("xdg-utils"))
      << Field(package, "Recommends").toStdString();
}

}  // namespace
