#include <gtest/gtest.h>

#include <QProcess>
#include <QProgressDialog>
#include <QPushButton>
#include <QTemporaryDir>

#include "report/windows/ReadingsReport.h"
#include "tests/support/ModalAnswerer.h"

namespace {

using testing_support::ModalAnswerer;

QString PdfText(const QString& pdf) {
  QProcess process;
  process.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), pdf, QStringLiteral("-")});
  process.waitForFinished(60000);
  return QString::fromUtf8(process.readAllStandardOutput());
}

TEST(ReadingsReport, WritesTheTablesRowsAddsPdfKeepsTheFolderAndOffersTheViewer) {
  QTemporaryDir dir;
  table::MeasurementModel rows;
  i18n::LanguageState language;
  language.BasePath = dir.path() + QLatin1Char('/');
  QList<QUrl> opened;
  language.OpenDocument = [&opened](const QUrl& url) {
    opened << url;
    return true;
  };
  const QString settings = dir.filePath(QStringLiteral("config/korvanta.conf"));
  report::ReportFiles files(language, settings);
  report::ReadingsReport readings(rows, files, nullptr);
  readings.CurrentInstrument = [] { return report::Instrument{QStringLiteral("QX318"), QStringLiteral("???")}; };
  QStringList suggested;
  QStringList titles;
  QString answer;
  files.AskPath = [&](QWidget*, const QString& title, const QString& filter, const QString& proposal) {
    titles << title + QLatin1Char(' ') + filter;
    suggested << proposal;
    return answer;
  };
  ModalAnswerer answers;

  // An empty table: a word, no dialog, no file.
  QString said;
  answers.ExpectMessageBox(QMessageBox::Ok, &said);
  EXPECT_FALSE(readings.WriteReport());
  EXPECT_EQ(said, "The table holds no readings to report.");
  EXPECT_TRUE(suggested.isEmpty());

  rows.AppendRow({{"08.12.2026", "10:00:00", "L", "", "82,4", "91.35", "first coat"}});
  rows.AppendRow({{"08.12.2026", "10:00:05", "", "", "---", "90.10", ""}});

  // A name without ".pdf" gets it; the report is offered to the viewer.
  answer = dir.filePath(QStringLiteral("shift"));
  answers.ExpectMessageBox(QMessageBox::Yes, &said);
  EXPECT_TRUE(readings.WriteReport());
  const QString pdf = dir.filePath(QStringLiteral("shift.pdf"));
  EXPECT_TRUE(
      said.startsWith(QStringLiteral("The report has been written to \"%1\".").arg(QDir::toNativeSeparators(pdf))));
  EXPECT_EQ(opened, QList<QUrl>{QUrl::fromLocalFile(pdf)});
  // The folder is kept for the next run.
  EXPECT_EQ(report::ReportFiles(language, settings).LastFolder(), dir.path());
  const QString text = PdfText(pdf);
  EXPECT_TRUE(text.contains(QLatin1String("Readings report")));
  EXPECT_TRUE(text.contains(QLatin1String("82.4")) && text.contains(QLatin1String("91.35")) &&
              text.contains(QLatin1String("first coat")));
  EXPECT_TRUE(text.contains(QLatin1String("serial number QX318")));
  for (const char* batchOnly : {"Batch", "Verdict", "Cpk", "Product"})
    EXPECT_FALSE(text.contains(QLatin1String(batchOnly))) << batchOnly;

  // The next report is proposed in the same folder. Another name whose ".pdf" form exists asks
  // before replacing it; declined, nothing is written.
  answer = dir.filePath(QStringLiteral("shift.txt"));
  QFile existing(dir.filePath(QStringLiteral("shift.txt.pdf")));
  ASSERT_TRUE(existing.open(QIODevice::WriteOnly));
  existing.write("keep me");
  existing.close();
  answers.ExpectMessageBox(QMessageBox::No, &said);
  EXPECT_FALSE(readings.WriteReport());
  ASSERT_EQ(suggested.size(), 2);
  EXPECT_EQ(QFileInfo(suggested.back()).absolutePath(), dir.path());
  EXPECT_TRUE(said.contains(QLatin1String("already exists")));
  ASSERT_TRUE(existing.open(QIODevice::ReadOnly));
  EXPECT_EQ(existing.readAll(), "keep me");
  existing.close();

  // A folder that cannot be written: the error, in the operator's language.
  language.LanguageIndex = i18n::kFrench;
  answer = dir.filePath(QStringLiteral("missing/shift.pdf"));
  answers.ExpectMessageBox(QMessageBox::Ok, &said);
  EXPECT_FALSE(readings.WriteReport());
  EXPECT_TRUE(said.startsWith(QStringLiteral("Le rapport « "))) << said.toStdString();
  EXPECT_EQ(titles, (QStringList{"Save report PDF document (*.pdf)", "Save report PDF document (*.pdf)",
                                 "Enregistrer le rapport Document PDF (*.pdf)"}));
  EXPECT_TRUE(answers.WaitAllAnswered());

  // A long table shows its progress; Cancel stops the writing, leaves no file and says nothing.
  for (int i = 0; i < 2000; ++i) rows.AppendRow({{"08.12.2026", "10:00:10", "", "", "80,0", "90.00", ""}});
  files.ProgressDelayMs = 0;
  answer = dir.filePath(QStringLiteral("long.pdf"));
  answers.Expect([](QWidget* modal) {
    ASSERT_NE(qobject_cast<QProgressDialog*>(modal), nullptr);
    modal->findChild<QPushButton*>()->click();
  });
  EXPECT_FALSE(readings.WriteReport());
  EXPECT_TRUE(answers.WaitAllAnswered());
  EXPECT_FALSE(QFileInfo::exists(answer));
  EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
            (QStringList{QStringLiteral("shift.pdf"), QStringLiteral("shift.txt.pdf")}));
}

}  // namespace
