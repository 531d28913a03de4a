// Reports written to real files and read back with the tools a reader of them has: pdftotext,
// pdfinfo, pdffonts, pdfimages (poppler) and qpdf.
#include <gtest/gtest.h>

#include <QDir>
#include <QImage>
#include <QPainter>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <map>

#include "analysis/GlossValue.h"
#include "report/ReportPdf.h"
#include "report/ReportStatistics.h"
#include "tests/report/PdfTools.h"

namespace {

using report::ReportData;
using report::ReportReading;
using report::Verdict;
using report::WriteOutcome;

using testing_support::RunTool;

QString PageText(const QString& pdf, int page) { return testing_support::PdfText(pdf, page); }

QString Info(const QString& pdf, const QString& key) { return testing_support::PdfInfo(pdf, key); }

ReportData Batch(int count) {
  ReportData data;
  data.labName = QStringLiteral("Coatings lab");
  data.batchId = QStringLiteral("B-2026-0412");
  data.operatorName = QStringLiteral("A. Technician");
  data.instruments = {{QStringLiteral("QX31804711"), QStringLiteral("08 15")}};
  data.programVersion = QStringLiteral("2.28.2.0");
  report::ReportSpecification spec;
  spec.product = QStringLiteral("Topcoat");
  spec.g20.target = 82.0;
  spec.g20.tolerance = 4.0;
  spec.g60.minimum = 90.0;
  data.specification = spec;
  for (int i = 0; i < count; ++i) {
    ReportReading r;
    r.date = QStringLiteral("08.12.2026");
    r.time = QStringLiteral("10:%1:%2").arg(i / 60 % 60, 2, 10, QLatin1Char('0')).arg(i % 60, 2, 10, QLatin1Char('0'));
    // Both marks, as the table holds them; 20° with one decimal, 60° with two.
    r.value20 = QString::number(78.0 + (i * 37 % 80) / 10.0, 'f', 1).replace(QLatin1Char('.'), QLatin1Char(','));
    r.value60 = QString::number(90.0 + (i * 53 % 700) / 100.0, 'f', 2);
    r.mode20 = i % 9 == 0 ? QStringLiteral("L") : QString();
    r.verdict = i % 17 == 0 ? Verdict::Warn : Verdict::Pass;
    data.readings.push_back(r);
  }
  return data;
}

QString ExpectedMean20(const ReportData& data, QChar mark) {
  const report::ReportStatistics s = report::ComputeStatistics(data);
  const auto& v = s.columns[report::kColumn20];
  return analysis::FormatNumber(v.values.Mean(), v.Decimals(), mark);
}

TEST(ReportPdf, ABatchOf250ReadingsReadsBackWithItsFiguresOnEveryPage) {
  QTemporaryDir dir;
  const QString pdf = dir.filePath(QStringLiteral("batch.pdf"));
  ReportData data = Batch(250);
  QString comment;
  for (int i = 0; comment.size() < 2000; ++i) comment += QStringLiteral("edge%1 ").arg(i);
  comment = comment.trimmed();
  data.readings[3].comment = comment;

  const WriteOutcome outcome = report::WritePdfReport(data, pdf);
  ASSERT_EQ(outcome.status, WriteOutcome::Status::Written) << outcome.error.toStdString();
  EXPECT_TRUE(outcome.notes.isEmpty());

  // pdfinfo: pages, title, creator, paper; the PDF/A identification in the metadata.
  const int pages = Info(pdf, QStringLiteral("Pages")).toInt();
  EXPECT_EQ(pages, outcome.pages);
  EXPECT_GE(pages, 4);
  EXPECT_EQ(Info(pdf, QStringLiteral("Title")), "Batch report B-2026-0412");
  EXPECT_EQ(Info(pdf, QStringLiteral("Creator")), "KORVANTA III 2.28.2.0");
  EXPECT_TRUE(Info(pdf, QStringLiteral("Page size")).contains(QLatin1String("(A4)")));
  const QString meta = RunTool(QStringLiteral("pdfinfo"), {QStringLiteral("-meta"), pdf}).out;
  EXPECT_TRUE(meta.contains(QLatin1String("pdfaid:part=\"1\"")) &&
              meta.contains(QLatin1String("pdfaid:conformance=\"B\"")))
      << meta.toStdString();

  // Every font embedded; the file sound to qpdf.
  const QStringList fonts =
      RunTool(QStringLiteral("pdffonts"), {pdf}).out.split(QLatin1Char('\n'), Qt::SkipEmptyParts).mid(2);
  EXPECT_FALSE(fonts.isEmpty());
  for (const QString& font : fonts) {
    const QStringList columns = font.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    ASSERT_GE(columns.size(), 5);
    EXPECT_EQ(columns.at(columns.size() - 5), "yes") << font.toStdString();
  }
  EXPECT_EQ(RunTool(QStringLiteral("qpdf"), {QStringLiteral("--check"), pdf}).exitCode, 0);
  // The chart is drawn, not pasted in as a picture: no image in the file, its words are text.
  EXPECT_EQ(RunTool(QStringLiteral("pdfimages"), {QStringLiteral("-list"), pdf}).out.count(QLatin1Char('\n')), 2);
  EXPECT_TRUE(PageText(pdf, 1).contains(QLatin1String("Gloss (GU)")));

  // Every page: the header with the batch and "Page i of N"; the table's column header from the
  // second page on. Every reading's row with its values, in the report's decimal mark.
  std::map<int, QString> rows;
  const QRegularExpression row(QStringLiteral("^\\s*(\\d+)\\s+08\\.12\\.2026\\s"));
  QString all;
  for (int p = 1; p <= pages; ++p) {
    SCOPED_TRACE(p);
    const QString text = PageText(pdf, p);
    all += text;
    EXPECT_TRUE(text.contains(QStringLiteral("Page %1 of %2").arg(p).arg(pages)));
    EXPECT_TRUE(text.contains(QLatin1String("Batch B-2026-0412")));
    EXPECT_TRUE(text.contains(QLatin1String("Coatings lab")));
    if (p > 1) {
      EXPECT_TRUE(
          QRegularExpression(QStringLiteral("No\\.\\s+Date\\s+Time\\s+Mode\\s+20°\\s+60°")).match(text).hasMatch());
    }
    for (const QString& line : text.split(QLatin1Char('\n'))) {
      const auto m = row.match(line);
      if (m.hasMatch()) rows[m.captured(1).toInt()] = line;
    }
  }
  ASSERT_EQ(rows.size(), 250u);
  for (int i = 0; i < 250; ++i) {
    const ReportReading& r = data.readings[static_cast<std::size_t>(i)];
    const QString v20 = QString(r.value20).replace(QLatin1Char(','), QLatin1Char('.'));
    const QString line = rows[i + 1];
    EXPECT_TRUE(line.contains(QLatin1Char(' ') + v20 + QLatin1Char(' ')) && line.contains(r.value60))
        << i + 1 << ": " << line.toStdString();
    EXPECT_TRUE(line.contains(r.verdict == Verdict::Warn ? QLatin1String("WARN") : QLatin1String("PASS")));
  }
  EXPECT_TRUE(all.contains(QLatin1String("Mean")));
  EXPECT_TRUE(all.contains(ExpectedMean20(data, QLatin1Char('.'))))
      << ExpectedMean20(data, QLatin1Char('.')).toStdString();
  EXPECT_TRUE(all.contains(QLatin1String("Verdict")) && all.contains(QLatin1String("WARN")));
  EXPECT_TRUE(all.contains(QLatin1String("ISO 2813 / ASTM D523")) && all.contains(QLatin1String("ASTM D4039")));

  // The long comment: every word of it on the pages, in order, and none beyond the right margin.
  const QString boxes = RunTool(QStringLiteral("pdftotext"), {QStringLiteral("-bbox"), pdf, QStringLiteral("-")}).out;
  const QRegularExpression word(
      QStringLiteral("<word xMin=\"([\\d.]+)\" yMin=\"[\\d.]+\" xMax=\"([\\d.]+)\"[^>]*>([^<]*)</word>"));
  QStringList commentWords;
  double rightmost = 0;
  for (auto it = word.globalMatch(boxes); it.hasNext();) {
    const auto m = it.next();
    rightmost = std::max(rightmost, m.captured(2).toDouble());
    if (m.captured(3).startsWith(QLatin1String("edge"))) commentWords << m.captured(3);
  }
  EXPECT_EQ(commentWords.join(QLatin1Char(' ')), comment);
  EXPECT_LE(rightmost, 595.28 - 42 + 0.5);
}

TEST(ReportPdf, GermanAndFrenchReportsUseTheirDecimalMark) {
  struct Case {
    int language;
    const char* page;
    const char* title;
    QChar mark;
  };
  const Case cases[] = {{i18n::kEnglish, "Page 1 of 1", "Batch report", QLatin1Char('.')},
                        {i18n::kGerman, "Seite 1 von 1", "Chargenbericht", QLatin1Char(',')},
                        {i18n::kFrench, "Page 1 sur 1", "Rapport de lot", QLatin1Char(',')}};
  QTemporaryDir dir;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.language);
    ReportData data = Batch(3);
    data.language = c.language;
    data.readings[0].value20 = QStringLiteral("75,3");
    data.readings[0].value60 = QStringLiteral("88.55");
    const QString pdf = dir.filePath(QStringLiteral("report%1.pdf").arg(c.language));
    ASSERT_EQ(report::WritePdfReport(data, pdf).status, WriteOutcome::Status::Written);
    const QString text = PageText(pdf, 1);
    EXPECT_TRUE(text.contains(QString::fromUtf8(c.page)));
    EXPECT_EQ(Info(pdf, QStringLiteral("Title")), QString::fromUtf8(c.title) + QStringLiteral(" B-2026-0412"));
    const QChar other = c.mark == QLatin1Char('.') ? QLatin1Char(',') : QLatin1Char('.');
    for (const QString& v : {QStringLiteral("75#3"), QStringLiteral("88#55"), ExpectedMean20(data, QLatin1Char('#'))}) {
      EXPECT_TRUE(text.contains(QString(v).replace(QLatin1Char('#'), c.mark))) << v.toStdString();
      EXPECT_FALSE(text.contains(QString(v).replace(QLatin1Char('#'), other))) << v.toStdString();
    }
  }
}

TEST(ReportPdf, ACancelOrAFailureLeavesNoPartialFileAndABadLogoOnlyANote) {
  QTemporaryDir dir;
  const QString pdf = dir.filePath(QStringLiteral("kept.pdf"));
  QFile old(pdf);
  ASSERT_TRUE(old.open(QIODevice::WriteOnly));
  old.write("an older report");
  old.close();

  // Cancelled on the second page: the older file stays as it was, nothing is left beside it.
  int asked = 0;
  const WriteOutcome cancelled = report::WritePdfReport(Batch(300), pdf, [&asked](int done, int) {
    ++asked;
    return done < 1;
  });
  EXPECT_EQ(cancelled.status, WriteOutcome::Status::Cancelled);
  EXPECT_EQ(asked, 2);
  QFile kept(pdf);
  ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
  EXPECT_EQ(kept.readAll(), "an older report");
  EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("kept.pdf")});

  // A folder that is not there: a message naming the file, in the report's language.
  ReportData german = Batch(2);
  german.language = i18n::kGerman;
  const QString nowhere = dir.filePath(QStringLiteral("missing/report.pdf"));
  const WriteOutcome failed = report::WritePdfReport(german, nowhere);
  EXPECT_EQ(failed.status, WriteOutcome::Status::Failed);
  EXPECT_TRUE(failed.error.startsWith(QStringLiteral("Der Bericht \"%1\"").arg(QDir::toNativeSeparators(nowhere))))
      << failed.error.toStdString();

  // A logo that is not there, or no picture: a report without one, and a note saying so.
  const QString text = dir.filePath(QStringLiteral("logo.png"));
  QFile notPicture(text);
  ASSERT_TRUE(notPicture.open(QIODevice::WriteOnly));
  notPicture.write("not a picture");
  notPicture.close();
  for (const QString& logo : {dir.filePath(QStringLiteral("none.svg")), text}) {
    ReportData data = Batch(2);
    data.logoPath = logo;
    const QString out = dir.filePath(QStringLiteral("nologo.pdf"));
    const WriteOutcome written = report::WritePdfReport(data, out);
    EXPECT_EQ(written.status, WriteOutcome::Status::Written);
    ASSERT_EQ(written.notes.size(), 1);
    EXPECT_TRUE(written.notes.front().contains(QDir::toNativeSeparators(logo)));
    EXPECT_EQ(RunTool(QStringLiteral("pdfimages"), {QStringLiteral("-list"), out}).out.count(QLatin1Char('\n')), 2);
  }

  // A logo with transparency is drawn on white: an image without a soft mask (PDF/A-1 has none).
  QImage picture(40, 20, QImage::Format_ARGB32);
  picture.fill(Qt::transparent);
  QPainter(&picture).fillRect(0, 0, 20, 20, Qt::red);
  const QString png = dir.filePath(QStringLiteral("logo-alpha.png"));
  ASSERT_TRUE(picture.save(png));
  ReportData data = Batch(2);
  data.logoPath = png;
  const QString out = dir.filePath(QStringLiteral("logo.pdf"));
  const WriteOutcome written = report::WritePdfReport(data, out);
  EXPECT_EQ(written.status, WriteOutcome::Status::Written);
  EXPECT_TRUE(written.notes.isEmpty());
  const QString images = RunTool(QStringLiteral("pdfimages"), {QStringLiteral("-list"), out}).out;
  EXPECT_EQ(images.count(QLatin1String(" image ")), 1) << images.toStdString();
  EXPECT_EQ(images.count(QLatin1String("smask")), 0) << images.toStdString();
  EXPECT_EQ(RunTool(QStringLiteral("qpdf"), {QStringLiteral("--check"), out}).exitCode, 0);
}

}  // namespace
