// The menu entry, the software-centre entry and the icon, as installed: each passes its validator and
// says what a desktop needs to offer the program for RealMedia files.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

#include <QColor>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QMimeDatabase>
#include <QStandardPaths>
#include <QXmlStreamReader>

#include "core/Profile.h"
#include "tests/install/InstallTools.h"
#include "tests/support/TestEnvironment.h"

namespace {

const QString DesktopFile = "share/applications/example.zarnok.Tolvane.desktop";
const QString MetainfoFile = "share/metainfo/example.zarnok.Tolvane.metainfo.xml";

// The extensions of the open dialog's first filter, without "*.".
QStringList OpenedExtensions() {
  AssignProductProfile();
  const QString patterns = QString::fromStdString(OpenFilter).section('|', 1, 1);
  QStringList extensions;
  for (const QString& pattern : patterns.split(';')) extensions << pattern.mid(2);
  return extensions;
}

TEST(DesktopEntry, ValidatesAndStartsTheProgramWithTheChosenFiles) {
  InstalledTree tree;
  ASSERT_TRUE(tree.Installed()) << tree.Log().toStdString();
  const ToolResult validation = RunTool("desktop-file-validate", {tree.Path(DesktopFile)});
  ASSERT_TRUE(validation.started) << "desktop-file-validate is not installed";
  EXPECT_EQ(validation.exitCode, 0);
  // Hints and warnings are printed too: a clean entry prints nothing.
  EXPECT_EQ(validation.output.trimmed(), QString());

  const auto entry = ReadDesktopEntry(tree.Path(DesktopFile));
  EXPECT_EQ(entry.value("Type"), "Application");
  EXPECT_EQ(entry.value("Name"), "Tolvane");
  EXPECT_FALSE(entry.value("GenericName").isEmpty());
  EXPECT_TRUE(entry.value("Comment").contains("MP3"));
  // %F: a file manager's "Open with" passes every chosen file as a local path.
  EXPECT_EQ(entry.value("Exec"), "tolvane %F");
  const QStringList categories = DesktopList(entry.value("Categories"));
  EXPECT_TRUE(categories.contains("AudioVideo") && categories.contains("Audio"))
      << entry.value("Categories").toStdString();
  const QStringList types = DesktopList(entry.value("MimeType"));
  for (const QString type : {"application/vnd.rn-realmedia", "application/vnd.rn-realmedia-vbr",
                             "audio/vnd.rn-realaudio", "audio/x-pn-realaudio"})
    EXPECT_TRUE(types.contains(type)) << type.toStdString();

  // The icon name finds the installed drawing in the theme every desktop falls back to.
  const QString icon = entry.value("Icon");
  EXPECT_EQ(icon, "tolvane");
  EXPECT_TRUE(QFile::exists(tree.Path("share/icons/hicolor/scalable/apps/" + icon + ".svg")));
  EXPECT_TRUE(QFile::exists(tree.Path("share/icons/hicolor/256x256/apps/" + icon + ".png")));
}

TEST(DesktopEntry, ClaimsEveryFileTheProgramOpens) {
  InstalledTree tree;
  ASSERT_TRUE(tree.Installed()) << tree.Log().toStdString();
  const QStringList claimed = DesktopList(ReadDesktopEntry(tree.Path(DesktopFile)).value("MimeType"));
  const QStringList extensions = OpenedExtensions();
  ASSERT_EQ(extensions, QStringList({"rm", "rma", "ra", "rmvb"}));

  // Real files under each name, in both letter cases: the type a file manager sees for each must be
  // one the entry claims (or a kind of one), or "Open with" never offers the program.
  QTemporaryDir folder;
  QMimeDatabase types;
  for (const QString& extension : extensions) {
    const std::string content = ReadWholeFile(TestDataFile(extension == "ra" ? "ra144.ra" : "ra144.rm"));
    for (const QString& name : {"recording." + extension, "RECORDING." + extension.toUpper()}) {
      const QString path = folder.path() + "/" + name;
      WriteWholeFile(path.toStdString(), content);
      const QMimeType seen = types.mimeTypeForFile(path);
      const bool offered = std::any_of(claimed.begin(), claimed.end(),
                                       [&](const QString& type) { return seen.inherits(type); });
      EXPECT_TRUE(offered) << name.toStdString() << " is " << seen.name().toStdString();
    }
  }
}

TEST(Metainfo, ValidatesAndNamesTheMenuEntryAndTheVersion) {
  InstalledTree tree;
  ASSERT_TRUE(tree.Installed()) << tree.Log().toStdString();
  const ToolResult validation = RunTool("appstreamcli", {"validate", "--no-net", tree.Path(MetainfoFile)});
  ASSERT_TRUE(validation.started) << "appstreamcli is not installed";
  EXPECT_EQ(validation.exitCode, 0) << validation.output.toStdString();
  // Errors and warnings fail; infos (the reserved example domain of the id) are allowed.
  for (const QString& line : validation.output.split('\n'))
    EXPECT_FALSE(line.startsWith("E:") || line.startsWith("W:")) << line.toStdString();

  QFile file(tree.Path(MetainfoFile));
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  QXmlStreamReader xml(&file);
  QMap<QString, QString> texts;
  QString releaseVersion;
  while (!xml.atEnd()) {
    if (xml.readNext() != QXmlStreamReader::StartElement) continue;
    const QString name = xml.name().toString();
    if (name == "release") {
      releaseVersion = xml.attributes().value("version").toString();
    } else if (name == "id" || name == "name" || name == "launchable" || name == "binary" ||
               name == "project_license" || name == "summary") {
      texts.insert(name, xml.readElementText());
    }
  }
  ASSERT_FALSE(xml.hasError()) << xml.errorString().toStdString();
  EXPECT_EQ(texts.value("id"), "example.zarnok.Tolvane");
  EXPECT_EQ(texts.value("name"), "Tolvane");
  EXPECT_FALSE(texts.value("summary").isEmpty());
  EXPECT_FALSE(texts.value("project_license").isEmpty());
  EXPECT_EQ("share/applications/" + texts.value("launchable"), DesktopFile);
  EXPECT_EQ(texts.value("binary"), "tolvane");
  EXPECT_EQ(releaseVersion, ProjectVersion());
}

TEST(Icon, PngIsTheSvgDrawnAt256Pixels) {
  const QString icons = QString::fromStdString(SourceDir()) + "/data/icons/";
  const QImage png(icons + "tolvane.png");
  ASSERT_FALSE(png.isNull());
  EXPECT_EQ(png.size(), QSize(256, 256));
  // The rounded corners stay see-through on any panel colour.
  EXPECT_TRUE(png.hasAlphaChannel());
  EXPECT_EQ(qAlpha(png.pixel(0, 0)), 0);

  // A PNG left behind after a change of the drawing shows an old icon: it must match a fresh render.
  const QString renderer = QStandardPaths::findExecutable("rsvg-convert");
  if (renderer.isEmpty()) GTEST_SKIP() << "rsvg-convert is not installed (librsvg2-bin)";
  QTemporaryDir folder;
  const QString fresh = folder.path() + "/fresh.png";
  const ToolResult render =
      RunTool(renderer, {"--width", "256", "--height", "256", icons + "tolvane.svg", "--output", fresh});
  ASSERT_EQ(render.exitCode, 0) << render.output.toStdString();
  const QImage drawn = QImage(fresh).convertToFormat(QImage::Format_ARGB32);
  const QImage committed = png.convertToFormat(QImage::Format_ARGB32);
  ASSERT_EQ(drawn.size(), committed.size());
  // Renderer versions differ in anti-aliasing only: allow a small average difference per channel.
  double difference = 0;
  for (int y = 0; y < drawn.height(); ++y)
    for (int x = 0; x < drawn.width(); ++x) {
      const QRgb a = drawn.pixel(x, y), b = committed.pixel(x, y);
      difference += std::abs(qRed(a) - qRed(b)) + std::abs(qGreen(a) - qGreen(b)) +
                    std::abs(qBlue(a) - qBlue(b)) + std::abs(qAlpha(a) - qAlpha(b));
    }
  difference /= 4.0 * drawn.width() * drawn.height();
  EXPECT_LT(difference, 2.0) << "render the PNG again with scripts/render-icon.sh";
}

}  // namespace
