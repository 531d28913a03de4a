#include <gtest/gtest.h>

#include <QBuffer>
#include <QFile>
#include <QImageReader>
#include <QImageWriter>
#include <QRegularExpression>

#include "i18n/DataFiles.h"
#include "i18n/widgets/Flag.h"
#include "i18n/widgets/Help.h"
#include "tests/support/TestEnvironment.h"

namespace {

using namespace i18n;
using testing_support::ScopedWorkingDir;
using testing_support::WriteFileBytes;

// Where the build put the flags and the manual, next to the executable.
const QString kBuildData = QStringLiteral(KORVANTA_BUILD_DATA_DIR);

// The language state of a program started in the current working directory.
LanguageState Started(QStringList dataFolders, int language) {
  LanguageState state;
  state.BasePath = WorkingDirectoryBasePath();
  state.DataFolders = std::move(dataFolders);
  state.LanguageIndex = language;
  state.TextTable.FillLanguageBlocks();
  state.TextTable.LoadTextSet(language);
  return state;
}

TEST(DataFiles, BasePathComesFirstThenTheDataFoldersInOrder) {
  ScopedWorkingDir dir;
  QDir(dir.Path()).mkpath(QStringLiteral("one"));
  QDir(dir.Path()).mkpath(QStringLiteral("two"));
  const QString one = dir.File(QStringLiteral("one"));
  const QString two = dir.File(QStringLiteral("two"));
  struct Case {
    QStringList present;  // files relative to the working directory
    QString expected;     // relative, empty: not found
  };
  const Case cases[] = {
      {{"hilfe.chm", "one/hilfe.chm", "two/hilfe.chm"}, "hilfe.chm"},
      {{"one/hilfe.chm", "two/hilfe.chm"}, "one/hilfe.chm"},
      {{"two/hilfe.chm"}, "two/hilfe.chm"},
      {{"two/HILFE.CHM"}, "two/HILFE.CHM"},  // written on a system that ignores case
      {{"one/hilfe_e.chm", "one/hilfe.html"}, ""},
      {{}, ""},
  };
  for (const Case& c : cases) {
    for (const QString& f : c.present) WriteFileBytes(dir.File(f), "x");
    const LanguageState state = Started({one, two}, kGerman);
    const QString found = FindDataFile(state, QStringLiteral("hilfe.chm"));
    EXPECT_EQ(found, c.expected.isEmpty() ? QString() : dir.File(c.expected)) << c.present.join(' ').toStdString();
    for (const QString& f : c.present) QFile::remove(dir.File(f));
  }
  // A folder of that name is no file, and a name never reaches into another folder.
  QDir(dir.Path()).mkpath(QStringLiteral("hilfe.chm"));
  WriteFileBytes(dir.File(QStringLiteral("one/CTRUK.ICO")), "x");
  const LanguageState state = Started({two}, kGerman);
  EXPECT_EQ(FindDataFile(state, QStringLiteral("hilfe.chm")), QString());
  EXPECT_EQ(FindDataFile(state, QStringLiteral("one/CTRUK.ICO")), QString());
  EXPECT_EQ(FindDataFile(state, QString()), QString());
}

TEST(FlagIcons, TheBuiltIconsShowTheirFlags) {
  struct Probe {
    QPoint at;
    QColor colour;
  };
  struct Case {
    const char* file;
    std::vector<Probe> probes;
  };
  const QColor white(255, 255, 255);
  const Case cases[] = {
      {"CTRUK.ICO",
       {{{16, 16}, QColor(0xc8, 0x10, 0x2e)},
        {{10, 7}, QColor(0x01, 0x21, 0x69)},
        {{16, 8}, QColor(0xc8, 0x10, 0x2e)}}},
      {"CTRGERM.ICO", {{{16, 9}, QColor(0, 0, 0)}, {{16, 15}, QColor(0xdd, 0, 0)}, {{16, 22}, QColor(0xff, 0xce, 0)}}},
      {"CTRFRAN.ICO", {{{5, 16}, QColor(0, 0x23, 0x95)}, {{16, 16}, white}, {{27, 16}, QColor(0xed, 0x29, 0x39)}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    QImageReader reader(QDir(kBuildData).filePath(QString::fromLatin1(c.file)));
    EXPECT_EQ(reader.format(), QByteArray("ico"));
    const QImage icon = reader.read().convertToFormat(QImage::Format_ARGB32);
    ASSERT_EQ(icon.size(), QSize(32, 32)) << reader.errorString().toStdString();
    for (const Probe& p : c.probes) {
      const QColor got = icon.pixelColor(p.at);
      EXPECT_LE(std::abs(got.red() - p.colour.red()) + std::abs(got.green() - p.colour.green()) +
                    std::abs(got.blue() - p.colour.blue()),
                40)
          << "at " << p.at.x() << "," << p.at.y() << ": " << got.name().toStdString();
      EXPECT_EQ(got.alpha(), 255);
    }
    // The flag is a band across the middle; above and below it the icon is clear.
    EXPECT_EQ(icon.pixelColor(16, 1).alpha(), 0);
    EXPECT_EQ(icon.pixelColor(16, 30).alpha(), 0);
  }
}

// One icon file holding each picture, in this order (the layout icon files have on every system).
QByteArray IconFile(const QList<QImage>& images) {
  QList<QByteArray> single;
  for (const QImage& image : images) {
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    EXPECT_TRUE(QImageWriter(&buffer, "ico").write(image));
    single.append(buffer.data());
  }
  // Little-endian numbers of the header (reserved 0, type 1, count) and of each entry's offset.
  const auto le = [](quint32 v, int bytes) {
    QByteArray out;
    for (int i = 0; i < bytes; ++i) out.append(static_cast<char>((v >> (8 * i)) & 0xff));
    return out;
  };
  QByteArray head = le(0, 2) + le(1, 2) + le(static_cast<quint32>(single.size()), 2);
  QByteArray data;
  auto offset = static_cast<quint32>(6 + 16 * single.size());
  for (const QByteArray& one : single) {
    const QByteArray body = one.mid(22);  // behind its own header and single entry
    head += one.mid(6, 12) + le(offset, 4);
    data += body;
    offset += static_cast<quint32>(body.size());
  }
  return head + data;
}

TEST(FlagIcons, TheSizeNearestTheShownOneIsTakenAndScaled) {
  ScopedWorkingDir dir;
  const auto filled = [](int side, Qt::GlobalColor colour) {
    QImage image(side, side, QImage::Format_ARGB32);
    image.fill(colour);
    return image;
  };
  const LanguageState state = Started({}, kEnglish);
  WriteFileBytes(dir.File(QStringLiteral("CTRUK.ICO")), IconFile({filled(16, Qt::green), filled(40, Qt::blue)}));
  FlagPicture flag = LoadFlag(state, {32, 32});
  EXPECT_EQ(flag.Picture.size(), QSize(32, 32));
  EXPECT_EQ(flag.Picture.toImage().pixelColor(20, 20), QColor(Qt::blue)) << "the 40 × 40 picture is nearer";
  WriteFileBytes(dir.File(QStringLiteral("CTRUK.ICO")),
                 IconFile({filled(16, Qt::green), filled(32, Qt::red), filled(48, Qt::blue)}));
  flag = LoadFlag(state, {32, 32});
  EXPECT_EQ(flag.Picture.toImage().pixelColor(20, 20), QColor(Qt::red));
  EXPECT_TRUE(flag.Problem.isEmpty());
}

struct HelpCase {
  const char* what;
  int language;
  QStringList present;  // relative to the working directory; "data/" is the data folder
  QStringList refused;  // file names the desktop cannot open
  QStringList opened;   // what the desktop was asked to open, in order
  const char16_t* problem;
};

TEST(Help, TheCompiledHelpFirstThenTheManual) {
  ScopedWorkingDir dir;
  QDir(dir.Path()).mkpath(QStringLiteral("data"));
  const HelpCase cases[] = {
      {"compiled help in the working directory",
       kFrench,
       {"hilfe_f.chm", "data/hilfe_f.html"},
       {},
       {"hilfe_f.chm"},
       u""},
      {"German names", kGerman, {"hilfe.chm"}, {}, {"hilfe.chm"}, u""},
      {"the shipped manual", kEnglish, {"data/hilfe_e.html", "hilfe_f.chm"}, {}, {"data/hilfe_e.html"}, u""},
      {"the operator's own manual", kFrench, {"hilfe_f.html", "data/hilfe_f.html"}, {}, {"hilfe_f.html"}, u""},
      {"no viewer for compiled help",
       kFrench,
       {"hilfe_f.chm", "data/hilfe_f.html"},
       {"hilfe_f.chm"},
       {"hilfe_f.chm", "data/hilfe_f.html"},
       u""},
      {"no viewer at all",
       kGerman,
       {"hilfe.chm", "data/hilfe.html"},
       {"hilfe.chm", "hilfe.html"},
       {"hilfe.chm", "data/hilfe.html"},
       u"Die Hilfedatei"},
      {"nothing there", kFrench, {"hilfe_e.chm", "data/hilfe.html"}, {}, {}, u"ni « hilfe_f.chm » ni « hilfe_f.html »"},
  };
  for (const HelpCase& c : cases) {
    SCOPED_TRACE(c.what);
    for (const QString& f : c.present) WriteFileBytes(dir.File(f), "x");
    LanguageState state = Started({dir.File(QStringLiteral("data"))}, c.language);
    QStringList opened;
    state.OpenDocument = [&](const QUrl& url) {
      EXPECT_TRUE(url.isLocalFile());
      const QString path = url.toLocalFile();
      opened.append(QDir(dir.Path()).relativeFilePath(path));
      return !c.refused.contains(QFileInfo(path).fileName());
    };
    const QString problem = OpenHelp(state);
    EXPECT_EQ(opened, c.opened);
    EXPECT_TRUE(problem.contains(QString::fromUtf16(c.problem))) << problem.toStdString();
    EXPECT_EQ(problem.isEmpty(), QString::fromUtf16(c.problem).isEmpty()) << problem.toStdString();
    for (const QString& f : c.present) QFile::remove(dir.File(f));
  }
}

TEST(Help, TheManualHasTheSameChaptersInEveryLanguage) {
  const QRegularExpression chapter(QStringLiteral("<h2 id=\"([a-z-]+)\""));
  QStringList reference;
  for (int language : {kEnglish, kGerman, kFrench}) {
    const QString name = HelpManualName(language);
    SCOPED_TRACE(name.toStdString());
    const QString page = QString::fromUtf8(testing_support::ReadFileBytes(QDir(kBuildData).filePath(name)));
    ASSERT_FALSE(page.isEmpty());
    QStringList ids;
    for (const QRegularExpressionMatch& m : chapter.globalMatch(page)) ids.append(m.captured(1));
    if (reference.isEmpty()) reference = ids;
    EXPECT_EQ(ids, reference);
    EXPECT_GE(ids.size(), 8);
    // Each page leads to the other two languages.
    for (int other : {kEnglish, kGerman, kFrench}) {
      if (other != language) {
        EXPECT_TRUE(page.contains("href=\"" + HelpManualName(other) + "\""));
      }
    }
    EXPECT_TRUE(page.contains(QStringLiteral("60-korvanta-318qx.rules")));
    EXPECT_TRUE(page.contains(QStringLiteral("--simulate=")));
  }
}

}  // namespace
