#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QImageReader>
#include <QTemporaryDir>
#include <QtTest/QTest>

#include "analysis/ReadingSeries.h"
#include "analysis/windows/StatisticsWindow.h"
#include "analysis/windows/TrendPainting.h"
#include "analysis/windows/TrendWindow.h"
#include "i18n/Language.h"
#include "i18n/TextTable.h"
#include "table/MeasurementModel.h"
#include "tests/support/ModalAnswerer.h"

namespace {

using analysis::StatisticsWindow;
using testing_support::ModalAnswerer;

table::MeasurementRow Row(const QString& mode20, const QString& mode60, const QString& v20, const QString& v60) {
  return {{"01.02.2024", "12:00:00", mode20, mode60, v20, v60, ""}};
}

// The table, its numbers and a selection that may hold several rows (the program's table holds
// one at most).
struct Table {
  Table() { selection.setModel(&model); }
  void Select(std::initializer_list<int> rows) {
    selection.clearSelection();
    for (const int r : rows) {
      selection.select(model.index(r, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }
  }
  table::MeasurementModel model;
  analysis::ReadingSeries series{model, {table::ColMode20, table::ColMode60, table::ColValue20, table::ColValue60}};
  QItemSelectionModel selection;
  i18n::LanguageState language;
};

// Row name: 20°, 60°, haze, as the window shows them.
QStringList Shown(const StatisticsWindow& w) {
  QStringList rows;
  const QTableWidget* t = w.StatisticsTable;
  for (int r = 0; r < t->rowCount(); ++r) {
    QStringList cells{t->verticalHeaderItem(r)->text()};
    for (int c = 0; c < 3; ++c) cells << t->item(r, c)->text();
    rows << cells.join(" | ");
  }
  return rows;
}

TEST(StatisticsWindow, FiguresOfAKnownSeriesInTheOperatorsLanguage) {
  Table t;
  t.model.AppendRow(Row("L", "L", "85,3", "90.1"));
  t.model.AppendRow(Row("", "", "---", "88,1"));
  t.model.AppendRow(Row("D", "C D", "84.9", "91,5"));
  t.model.AppendRow(Row("", "", "", "abc"));
  t.model.AppendRow(Row("C", "", "86,1", "89.9"));
  StatisticsWindow w(t.series, &t.selection, t.language);

  EXPECT_EQ(w.windowTitle(), "Statistics");
  EXPECT_EQ(w.ScopeLabel->text(), "All rows: 5");
  EXPECT_EQ(Shown(w), (QStringList{
                          "Values | 3 | 4 | 3",
                          "Left out (no number) | 2 | 1 | 2",
                          "Mean | 85.43 | 89.90 | 5.07",
                          "Standard deviation | 0.61 | 1.40 | 1.42",
                          "Minimum | 84.90 | 88.10 | 3.80",
                          "Maximum | 86.10 | 91.50 | 6.60",
                          "Range | 1.20 | 3.40 | ",
                          "With mode L | 1 | 1 | ",
                          "With mode C | 1 | 1 | ",
                          "With mode D | 1 | 1 | ",
                      }));

  // "Copy": the same figures, TAB-separated beneath a heading line.
  QApplication::clipboard()->clear();
  w.CopyButton->click();
  EXPECT_EQ(QApplication::clipboard()->text(),
            "All rows: 5\t20°\t60°\tHaze H\r\n"
            "Values\t3\t4\t3\r\n"
            "Left out (no number)\t2\t1\t2\r\n"
            "Mean\t85.43\t89.90\t5.07\r\n"
            "Standard deviation\t0.61\t1.40\t1.42\r\n"
            "Minimum\t84.90\t88.10\t3.80\r\n"
            "Maximum\t86.10\t91.50\t6.60\r\n"
            "Range\t1.20\t3.40\t\r\n"
            "With mode L\t1\t1\t\r\n"
            "With mode C\t1\t1\t\r\n"
            "With mode D\t1\t1\t\r\n");
  EXPECT_EQ(w.NoticeLabel->text(), "Copied to the clipboard.");

  // German: the texts and the decimal comma.
  t.language.LanguageIndex = i18n::kGerman;
  w.ApplyLanguage();
  EXPECT_EQ(w.windowTitle(), "Statistik");
  EXPECT_EQ(w.CopyButton->text(), "Kopieren");
  EXPECT_EQ(w.StatisticsTable->horizontalHeaderItem(2)->text(), "Glanzschleier H");
  EXPECT_EQ(Shown(w)[2], "Mittelwert | 85,43 | 89,90 | 5,07");
}

// Both windows close with Escape and with Ctrl+W.
TEST(AnalysisWindows, EscapeAndCtrlWCloseThem) {
  Table t;
  StatisticsWindow statistics(t.series, &t.selection, t.language);
  analysis::TrendWindow trend(t.series, t.language);
  for (QWidget* w : {static_cast<QWidget*>(&statistics), static_cast<QWidget*>(&trend)}) {
    for (const QKeyCombination key :
         {QKeyCombination(Qt::Key_Escape), QKeyCombination(Qt::ControlModifier, Qt::Key_W)}) {
      w->show();
      ASSERT_TRUE(w->isVisible());
      QTest::keyClick(w, key.key(), key.keyboardModifiers());
      EXPECT_FALSE(w->isVisible()) << w->objectName().toStdString() << " " << key.toCombined();
    }
  }
}

TEST(StatisticsWindow, FollowsTheTableAndItsSelection) {
  Table t;
  StatisticsWindow w(t.series, &t.selection, t.language);
  const auto figures = [&w](int row) { return Shown(w).value(row); };

  // Empty, then a single value: no deviation.
  EXPECT_EQ(figures(0), "Values | 0 | 0 | 0");
  EXPECT_EQ(figures(2), "Mean | — | — | —");
  t.model.AppendRow(Row("", "", "40,0", "---"));
  EXPECT_EQ(figures(2), "Mean | 40.00 | — | —");
  EXPECT_EQ(figures(3), "Standard deviation | — | — | —");

  // Appends update at once; so do deletions, the minimum included.
  t.model.AppendRow(Row("", "", "20,0", "---"));
  t.model.AppendRow(Row("", "", "60,0", "---"));
  t.model.AppendRow(Row("", "", "80,0", "---"));
  EXPECT_EQ(figures(4), "Minimum | 20.00 | — | —");
  t.model.RemoveRowAt(1);
  EXPECT_EQ(w.ScopeLabel->text(), "All rows: 3");
  EXPECT_EQ(figures(2), "Mean | 60.00 | — | —");
  EXPECT_EQ(figures(4), "Minimum | 40.00 | — | —");

  // One selected row: still all rows. Two or more: those rows only, kept as rows come and go.
  t.Select({0});
  EXPECT_EQ(w.ScopeLabel->text(), "All rows: 3");
  t.Select({0, 2});  // 40 and 80
  EXPECT_EQ(w.ScopeLabel->text(), "Selected rows: 2");
  EXPECT_EQ(figures(2), "Mean | 60.00 | — | —");
  EXPECT_EQ(figures(3), "Standard deviation | 28.28 | — | —");
  t.model.AppendRow(Row("", "", "10,0", "---"));
  EXPECT_EQ(w.ScopeLabel->text(), "Selected rows: 2");
  EXPECT_EQ(figures(2), "Mean | 60.00 | — | —");
  t.model.RemoveRowAt(1);  // 60, not selected: the selection's rows move up
  EXPECT_EQ(figures(2), "Mean | 60.00 | — | —");
  t.model.RemoveRowAt(0);  // 40: one selected row left, so all rows again
  EXPECT_EQ(w.ScopeLabel->text(), "All rows: 2");
  EXPECT_EQ(figures(2), "Mean | 45.00 | — | —");

  t.model.Clear();
  EXPECT_EQ(w.ScopeLabel->text(), "All rows: 0");
  EXPECT_EQ(figures(0), "Values | 0 | 0 | 0");
  EXPECT_EQ(figures(2), "Mean | — | — | —");
}

TEST(TrendWindow, SaveImageWritesThePictureAsPngOrSaysWhyNot) {
  Table t;
  t.model.AppendRow(Row("L", "L", "85,3", "90.1"));
  t.model.AppendRow(Row("D", "", "84.9", "---"));
  t.language.LanguageIndex = i18n::kFrench;
  analysis::TrendWindow w(t.series, t.language);
  w.InstrumentSerial = [] { return QStringLiteral("QX31804711"); };
  const QDateTime when(QDate(2026, 12, 8), QTime(16, 45, 12));
  w.Now = [&] { return when; };
  w.resize(640, 400);
  w.show();
  EXPECT_EQ(w.windowTitle(), "Tendance");
  EXPECT_EQ(w.SaveButton->text(), "Enregistrer l'image…");

  QTemporaryDir dir;
  QStringList asked;
  QString answer = dir.filePath("trend.png");
  w.AskImagePath = [&](QWidget*, const QString& title, const QString& filter, const QString&) {
    asked << title << filter;
    return answer;
  };
  EXPECT_TRUE(w.SaveImageClick());
  EXPECT_EQ(asked, (QStringList{"Enregistrer l'image", "Image PNG (*.png)"}));
  QImageReader reader(answer);
  EXPECT_EQ(reader.format(), "png");
  const QImage image = reader.read();
  // The picture beneath a title line that says when, from which instrument and how many readings.
  const QString imageTitle = w.ImageTitle();
  EXPECT_TRUE(imageTitle.startsWith("Tendance · " + QLocale::system().toString(when, QLocale::ShortFormat) + " · "))
      << imageTitle.toStdString();
  EXPECT_TRUE(imageTitle.endsWith(QString::fromUtf8("N° de série QX31804711 · 2\u00a0mesures")))
      << imageTitle.toStdString();
  EXPECT_EQ(image.width(), w.Canvas->width());
  EXPECT_GT(image.height(), w.Canvas->height());
  const int band = image.height() - w.Canvas->height();
  bool titled = false;
  for (int y = 0; y < band && !titled; ++y) {
    for (int x = 0; x < image.width() / 2 && !titled; ++x) titled = qGray(image.pixel(x, y)) < 128;
  }
  EXPECT_TRUE(titled) << "the title line is drawn";
  EXPECT_EQ(w.NoticeLabel->text(), QString::fromUtf8("Enregistré sous trend.png."));
  // Both series are in the picture.
  bool blue = false, orange = false;
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) {
      blue = blue || image.pixel(x, y) == analysis::kColour20;
      orange = orange || image.pixel(x, y) == analysis::kColour60;
    }
  }
  EXPECT_TRUE(blue && orange);

  // A folder that does not exist: the operator hears why, in French, and nothing is written.
  ModalAnswerer answers;
  QString text, title;
  answers.ExpectMessageBox(QMessageBox::Ok, &text, &title);
  answer = dir.filePath("missing/trend.png");
  EXPECT_FALSE(w.SaveImageClick());
  EXPECT_TRUE(answers.WaitAllAnswered());
  EXPECT_EQ(title, "Erreur");
  EXPECT_TRUE(text.startsWith("L'image « " + QDir::toNativeSeparators(answer) + " » n'a pas pu être écrite : "))
      << text.toStdString();
  EXPECT_FALSE(QFile::exists(answer));

  // Cancelled: nothing.
  answer.clear();
  EXPECT_FALSE(w.SaveImageClick());
}

}  // namespace
