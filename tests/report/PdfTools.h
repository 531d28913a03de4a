// Reports read back with the tools a reader of them has: pdftotext, pdfinfo, pdffonts (poppler)
// and qpdf, shared by the suites that write reports through the layout, the windows and the
// command line.
#pragma once

#include <gtest/gtest.h>

#include <QProcess>
#include <QRegularExpression>
#include <QString>
#include <QStringList>

namespace testing_support {

struct ToolRun {
  int exitCode = -1;
  QString out;
};

inline ToolRun RunTool(const QString& tool, const QStringList& arguments) {
  QProcess process;
  process.start(tool, arguments);
  if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit) {
    ADD_FAILURE() << tool.toStdString() << " did not run (scripts/install-deps.sh installs it)";
    return {};
  }
  return {process.exitCode(), QString::fromUtf8(process.readAllStandardOutput())};
}

// The text of `page` (0: every page) as pdftotext -layout lays it out.
inline QString PdfText(const QString& pdf, int page = 0) {
  QStringList arguments = {QStringLiteral("-layout")};
  if (page > 0)
    arguments << QStringLiteral("-f") << QString::number(page) << QStringLiteral("-l") << QString::number(page);
  return RunTool(QStringLiteral("pdftotext"), arguments << pdf << QStringLiteral("-")).out;
}

// What pdfinfo says after "key:".
inline QString PdfInfo(const QString& pdf, const QString& key) {
  const QString out = RunTool(QStringLiteral("pdfinfo"), {pdf}).out;
  const QRegularExpression line(QStringLiteral("^%1:\\s*(.*)$").arg(key), QRegularExpression::MultilineOption);
  return line.match(out).captured(1).trimmed();
}

// The checks every report file passes, whatever wrote it: pdfinfo's page count and `title`, every
// font embedded (pdffonts), qpdf --check, the header with `headerLine` ("Batch B-1") and "Page i of
// N" on every page, and each of `expected` (values as printed, the mean) in its text. Returns the
// text of all pages.
inline QString CheckReportFile(const QString& pdf, const QString& title, const QString& headerLine,
                               const QStringList& expected) {
  const int pages = PdfInfo(pdf, QStringLiteral("Pages")).toInt();
  EXPECT_GE(pages, 1);
  EXPECT_EQ(PdfInfo(pdf, QStringLiteral("Title")), title);
  const QStringList fonts =
      RunTool(QStringLiteral("pdffonts"), {pdf}).out.split(QLatin1Char('\n'), Qt::SkipEmptyParts).mid(2);
  EXPECT_FALSE(fonts.isEmpty());
  for (const QString& font : fonts) {
    const QStringList columns = font.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    EXPECT_TRUE(columns.size() >= 5 && columns.at(columns.size() - 5) == QLatin1String("yes")) << font.toStdString();
  }
  EXPECT_EQ(RunTool(QStringLiteral("qpdf"), {QStringLiteral("--check"), pdf}).exitCode, 0);
  QString all;
  for (int p = 1; p <= pages; ++p) {
    const QString text = PdfText(pdf, p);
    EXPECT_TRUE(text.contains(QStringLiteral("Page %1 of %2").arg(p).arg(pages))) << p;
    EXPECT_TRUE(text.contains(headerLine)) << p;
    all += text;
  }
  for (const QString& e : expected) EXPECT_TRUE(all.contains(e)) << e.toStdString();
  return all;
}

}  // namespace testing_support
