#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QClipboard>
#include <QFileDialog>
#include <QLineEdit>
#include <QPrinter>
#include <QRadioButton>
#include <QtTest/QTest>

#include "app/Program.h"
#include "dialogs/Unit5.h"
#include "dialogs/Unit7.h"
#include "protocol/Messages.h"
#include "table/ExportText.h"
#include "table/Unit2.h"
#include "table/Unit3.h"
#include "tests/support/ModalAnswerer.h"
#include "tests/support/TestEnvironment.h"
#include "usb/simbus/SimBus.h"

namespace {

using testing_support::ModalAnswerer;
using testing_support::ScopedWorkingDir;

const QString kHeading = "\tDate\tTime\tMode 20°\tMode 60°\tValue 20°\tValue 60°\tComment\r\n";

// The program without an instrument, in a fresh working folder.
struct Fixture {
  explicit Fixture(int language = i18n::kEnglish) {
    testing_support::WriteFileBytes(dir.File("318qx.ini"),
                                    QByteArray("[Config]\r\nLanguage=") + QByteArray::number(language) + "\r\n");
    program = std::make_unique<app::Program>(state, bus);
  }
  app::TMainForm& w() { return *program->MainForm; }
  table::MeasurementModel& rows() { return w().Rows(); }

  // A reading as the cycle appends it: the comment is the trimmed comment buffer.
  void Reading(const QString& value, const QString& mode20 = QString()) {
    w().AppendReadingRow(
        {{"01.02.2024", "12:00:00", mode20, "", value, "1.0", protocol::TrimText(state.Table.CommentBuffer)}});
  }
  QStringList Values() const {
    QStringList values;
    for (int r = 0; r < program->MainForm->Rows().Count(); ++r) {
      values << program->MainForm->Rows().Row(r).texts[table::ColValue20];
    }
    return values;
  }
  int SelectedRow() {
    const QModelIndexList s = w().ListView1->selectionModel()->selectedRows();
    return s.size() == 1 ? s.first().row() : -1;
  }

  ScopedWorkingDir dir;
  usb::simbus::SimBus bus;
  app::ProcessState state;
  std::unique_ptr<app::Program> program;
  ModalAnswerer answers;
};

// ---- clearing ------------------------------------------------------------------------------

TEST(TableHandlers, ClearDataAsksAndOnlyYesDeletesEveryRowAndTheExportLines) {
  Fixture f(i18n::kGerman);
  QString text, title;
  // An empty table still asks.
  f.answers.ExpectMessageBox(QMessageBox::Yes, &text, &title);
  f.w().clearDClick();
  EXPECT_EQ(text, "Sind Sie sicher ?");
  EXPECT_EQ(title, "Frage");

  f.Reading("1");
  f.Reading("2");
  f.state.Table.ExportLines = QStringList{"old"};
  f.answers.ExpectMessageBox(QMessageBox::No);
  f.w().clearDClick();
  EXPECT_EQ(f.Values(), (QStringList{"1", "2"}));
  EXPECT_EQ(f.state.Table.ExportLines, QStringList{"old"});

  // A row appended while the question is open goes with the others.
  f.answers.Expect([&](QWidget* m) {
    f.Reading("3");
    static_cast<QMessageBox*>(m)->button(QMessageBox::Yes)->click();
  });
  f.w().clearDClick();
  EXPECT_EQ(f.rows().Count(), 0);
  EXPECT_TRUE(f.state.Table.ExportLines.isEmpty());
}

TEST(TableHandlers, ClearLineDeletesTheRowSelectedWhenTheQuestionWasAsked) {
  Fixture f;
  f.answers.ExpectMessageBox(QMessageBox::Yes);
  f.w().clearLClick();  // asks even on an empty table
  EXPECT_EQ(f.rows().Count(), 0);

  f.Reading("1");
  f.Reading("2");
  f.Reading("3");
  f.w().ListView1->selectRow(1);
  f.answers.ExpectMessageBox(QMessageBox::No);
  f.w().clearLClick();
  EXPECT_EQ(f.Values(), (QStringList{"1", "2", "3"}));

  f.answers.ExpectMessageBox(QMessageBox::Yes);
  f.w().clearLClick();
  EXPECT_EQ(f.Values(), (QStringList{"1", "3"}));

  // No selection: asked, nothing deleted.
  f.w().ListView1->clearSelection();
  f.answers.ExpectMessageBox(QMessageBox::Yes);
  f.w().clearLClick();
  EXPECT_EQ(f.Values(), (QStringList{"1", "3"}));

  // A reading appended while the question is open takes the selection, but the row deleted is
  // the one the operator chose; the new reading stays.
  f.w().ListView1->selectRow(0);
  f.answers.Expect([&](QWidget* m) {
    f.Reading("4");
    EXPECT_EQ(f.SelectedRow(), 2);
    static_cast<QMessageBox*>(m)->button(QMessageBox::Yes)->click();
  });
  f.w().clearLClick();
  EXPECT_EQ(f.Values(), (QStringList{"3", "4"}));
}

// ---- comments ------------------------------------------------------------------------------

// Answers the comment dialog: records what it showed, types `typed`, presses `button`.
void AnswerComment(Fixture& f, QString* shown, const QString& typed, const char* button,
                   const std::function<void()>& meanwhile = {}) {
  f.answers.Expect([=](QWidget* m) {
    auto* d = qobject_cast<table::TForm2*>(m);
    ASSERT_NE(d, nullptr);
    *shown = d->Edit1->text();
    d->Edit1->setText(typed);
    if (meanwhile) meanwhile();
    d->findChild<QPushButton*>(button)->click();
  });
}

TEST(TableHandlers, TheCommentDialogEditsTheSelectedRow) {
  Fixture f;
  f.Reading("1");
  f.Reading("2");
  QString shown;

  f.w().ListView1->clearSelection();
  f.w().ListView1DblClick();  // no selection: no dialog
  EXPECT_EQ(f.answers.Pending(), 0);

  f.w().ListView1->selectRow(0);
  AnswerComment(f, &shown, "  with blanks ", "Button1");
  f.w().ListView1DblClick();
  EXPECT_EQ(shown, "");
  EXPECT_EQ(f.rows().Row(0).texts[table::ColComment], "  with blanks ");
  EXPECT_EQ(f.state.Table.CommentBuffer, "");

  AnswerComment(f, &shown, "discarded", "Button2");
  f.w().ListView1DblClick();
  EXPECT_EQ(shown, "  with blanks ");
  EXPECT_EQ(f.rows().Row(0).texts[table::ColComment], "  with blanks ");
  EXPECT_EQ(f.state.Table.CommentBuffer, "");

  // One line: a line break or TAB pasted with a spreadsheet cell becomes a blank, so the export
  // line keeps its eight fields.
  AnswerComment(f, &shown, QString::fromUtf16(u"cell 1\tcell 2\r\n\u0085x\u007F"), "Button1");
  f.w().ListView1DblClick();
  EXPECT_EQ(f.rows().Row(0).texts[table::ColComment], "cell 1 cell 2   x ");
  const QStringList lines = table::BuildExportLines(table::ColumnHeadings(f.state.Language), f.rows());
  EXPECT_EQ(lines.value(1).count(u'\t'), 7);

  AnswerComment(f, &shown, "", "Button1");
  f.w().ListView1DblClick();
  EXPECT_EQ(f.rows().Row(0).texts[table::ColComment], "");

  // Readings after the dialog closed have an empty comment.
  f.Reading("3");
  EXPECT_EQ(f.rows().Row(2).texts[table::ColComment], "");
}

TEST(TableHandlers, AReadingWhileTheCommentDialogIsOpenTakesTheCommentItWasOpenedWith) {
  Fixture f;
  f.Reading("1");
  f.rows().SetComment(0, "  batch 7 ");
  f.w().ListView1->selectRow(0);
  QString shown;
  AnswerComment(f, &shown, "batch 8", "Button1", [&] { f.Reading("2"); });
  f.w().ListView1DblClick();
  // One dialog only, and its text goes to the row double-clicked, not the one appended.
  EXPECT_EQ(f.answers.Pending(), 0);
  EXPECT_EQ(f.rows().Row(0).texts[table::ColComment], "batch 8");
  EXPECT_EQ(f.rows().Row(1).texts[table::ColComment], "batch 7");
  EXPECT_EQ(f.SelectedRow(), 1);
  EXPECT_EQ(f.state.Table.CommentBuffer, "");
}

// ---- export --------------------------------------------------------------------------------

// Answers the export options dialog with item `option` (-1: none) and OK, or Cancel.
void AnswerOptions(Fixture& f, int option, bool ok = true, const std::function<void()>& meanwhile = {}) {
  f.answers.Expect([=](QWidget* m) {
    auto* d = qobject_cast<table::TForm3*>(m);
    ASSERT_NE(d, nullptr);
    if (meanwhile) meanwhile();
    if (option >= 0) d->RadioGroup1->Button(option)->click();
    (ok ? d->Button1 : d->Button2)->click();
  });
}

TEST(TableHandlers, TheClipboardHoldsTheTableWhateverTheOperatorChooses) {
  Fixture f;
  f.Reading("12,5", "D");
  const QString expected = kHeading + "1\t01.02.2024\t12:00:00\tD\t\t12,5\t1.0\t\r\n";
  struct Case {
    const char* name;
    int option;
    bool ok;
  };
  for (const Case& c : {Case{"Cancel", 1, false}, Case{"OK without a choice", -1, true}}) {
    QApplication::clipboard()->setText("something else");
    // A reading appended behind the dialog is not part of this export.
    AnswerOptions(f, c.option, c.ok, [&] {
      EXPECT_EQ(QApplication::clipboard()->text(), expected) << c.name;
      f.Reading("99");
    });
    f.w().exportBClick();
    EXPECT_EQ(QApplication::clipboard()->text(), expected) << c.name;
    EXPECT_EQ(table::JoinExportLines(f.state.Table.ExportLines), expected) << c.name;
    f.rows().RemoveRowAt(1);
  }
  EXPECT_EQ(f.state.Table.ExportOption, -1);
}

// Answers the save dialog with a file name typed into it. The dialog shows "*.txt" in its name
// field the first time; later it keeps what was typed.
void AnswerSave(Fixture& f, const QString& typed, bool first = false) {
  f.answers.Expect([&f, typed, first](QWidget* m) {
    auto* d = qobject_cast<QFileDialog*>(m);
    ASSERT_NE(d, nullptr) << m->metaObject()->className();
    EXPECT_EQ(d->objectName(), "SaveDialog1");
    EXPECT_EQ(d->windowTitle(), "Save");
    EXPECT_EQ(d->nameFilters(), QStringList{"dat-Datei (*.dat)"});
    EXPECT_EQ(d->defaultSuffix(), "dat");
    EXPECT_EQ(d->acceptMode(), QFileDialog::AcceptSave);
    EXPECT_FALSE(d->testOption(QFileDialog::DontConfirmOverwrite));
    EXPECT_EQ(QDir(d->directory()).canonicalPath(), QDir(f.dir.Path()).canonicalPath());
    auto* name = d->findChild<QLineEdit*>("fileNameEdit");
    ASSERT_NE(name, nullptr);
    if (first) {
      EXPECT_EQ(name->text(), "*.txt");
    }
    // A file picked in the list would win over the typed name.
    for (auto* view : d->findChildren<QAbstractItemView*>()) view->clearSelection();
    name->setText(typed);
    static_cast<QDialog*>(d)->accept();
  });
}

TEST(TableHandlers, SaveToFileWritesWindows1252ThroughTheSaveDialog) {
  Fixture f;
  f.Reading("12,5");
  f.rows().SetComment(0, "Glanz über 20° – 5 €");
  // The name field's "*.txt" taken as it stands is a pattern, not a file: the dialog comes again.
  AnswerOptions(f, 1);
  AnswerSave(f, "*.txt", true);
  AnswerSave(f, "readings");
  f.w().exportBClick();
  ASSERT_TRUE(f.answers.WaitAllAnswered());
  EXPECT_EQ(QDir(f.dir.Path()).entryList({"*.txt"}, QDir::Files), QStringList());
  EXPECT_EQ(testing_support::ReadFileBytes(f.dir.File("readings.dat")),
            QByteArray("\tDate\tTime\tMode 20\xB0\tMode 60\xB0\tValue 20\xB0\tValue 60\xB0\tComment\r\n"
                       "1\t01.02.2024\t12:00:00\t\t\t12,5\t1.0\tGlanz \xFC"
                       "ber 20\xB0 \x96 5 \x80\r\n"));

  // An existing file is replaced only after the operator agreed.
  f.rows().SetComment(0, "");
  AnswerOptions(f, 1);
  AnswerSave(f, "readings.dat");
  f.answers.ExpectMessageBox(QMessageBox::No);
  AnswerSave(f, "other.dat");
  f.w().exportBClick();
  ASSERT_TRUE(f.answers.WaitAllAnswered());
  EXPECT_TRUE(testing_support::ReadFileBytes(f.dir.File("readings.dat")).contains("Glanz"));
  EXPECT_TRUE(testing_support::ReadFileBytes(f.dir.File("other.dat")).endsWith("\t1.0\t\r\n"));
}

TEST(TableHandlers, CharactersTheFileCannotHoldAreNotDroppedWithoutTheOperatorsWord) {
  Fixture f(i18n::kGerman);
  f.Reading("12,5");
  f.rows().SetComment(0, "Ω ok");
  const QString path = f.dir.File("readings.dat");
  f.w().ExportServices().AskSaveFileName = [&](QWidget*, const QString&) { return path; };

  QString question;
  AnswerOptions(f, 1);
  f.answers.ExpectMessageBox(QMessageBox::No, &question);
  f.w().exportBClick();
  EXPECT_TRUE(question.contains("\"Ω\"")) << question.toStdString();
  EXPECT_TRUE(question.startsWith("Die Datei kann 1 Zeichen")) << question.toStdString();
  EXPECT_FALSE(QFile::exists(path));

  AnswerOptions(f, 1);
  f.answers.ExpectMessageBox(QMessageBox::Yes);
  f.w().exportBClick();
  EXPECT_TRUE(testing_support::ReadFileBytes(path).endsWith("\t? ok\r\n"));
  // The clipboard keeps the character.
  EXPECT_TRUE(QApplication::clipboard()->text().endsWith("\tΩ ok\r\n"));
}

TEST(TableHandlers, AFileThatCannotBeWrittenIsReportedWithItsName) {
  Fixture f;
  const QString path = f.dir.File("missing/readings.dat");
  f.w().ExportServices().AskSaveFileName = [&](QWidget*, const QString&) { return path; };
  QString text;
  AnswerOptions(f, 1);
  f.answers.ExpectMessageBox(QMessageBox::Ok, &text);
  f.w().exportBClick();
  EXPECT_TRUE(text.startsWith("The file \"" + QDir::toNativeSeparators(path) + "\" could not be written: "))
      << text.toStdString();
  EXPECT_FALSE(QFile::exists(path));

  // A file that can only be overwritten in place (its folder takes no new file) is overwritten
  // only after the operator agreed.
  {
    testing_support::LockedFolder locked(f.dir, "old");
    f.w().ExportServices().AskSaveFileName = [&](QWidget*, const QString&) { return locked.File(); };
    AnswerOptions(f, 1);
    f.answers.ExpectMessageBox(QMessageBox::No, &text);
    f.w().exportBClick();
    EXPECT_TRUE(text.startsWith("No temporary file can be made beside")) << text.toStdString();
    EXPECT_EQ(testing_support::ReadFileBytes(locked.File()), "old");
  }

  // Cancelled save dialog: nothing written, nothing said.
  f.w().ExportServices().AskSaveFileName = [](QWidget*, const QString&) { return QString(); };
  AnswerOptions(f, 1);
  f.w().exportBClick();
  EXPECT_EQ(f.answers.Pending(), 0);
}

TEST(TableHandlers, TheSpreadsheetOptionSaysSoWhenNoProgramStarts) {
  Fixture f;
  int starts = 0;
  bool starts_ok = true;
  f.w().ExportServices().StartSpreadsheet = [&] {
    ++starts;
    return starts_ok;
  };
  AnswerOptions(f, 0);
  f.w().exportBClick();
  EXPECT_EQ(starts, 1);

  starts_ok = false;
  QString text;
  AnswerOptions(f, 0);
  f.answers.ExpectMessageBox(QMessageBox::Ok, &text);
  f.w().exportBClick();
  EXPECT_EQ(starts, 2);
  EXPECT_TRUE(text.startsWith("No spreadsheet program could be started.")) << text.toStdString();
}

TEST(TableHandlers, PrintingPausesPollingAndStartsItAgainAfterEveryOutcome) {
  Fixture f(i18n::kFrench);
  f.Reading("12,5", "D");
  const QString pdf = f.dir.File("print.pdf");
  struct Case {
    const char* name;
    bool confirm;
    QString output;
    bool reportsFailure;
  };
  const Case cases[] = {
      {"printed", true, pdf, false},
      {"dialog cancelled", false, pdf + ".unused", false},
      {"printer failed", true, f.dir.File("missing/print.pdf"), true},
  };
  for (const Case& c : cases) {
    bool pollingDuringDialog = true;
    f.w().ExportServices().AskPrinter = [&](QPrinter& printer, QWidget*) {
      pollingDuringDialog = f.w().Timer1->isActive();
      printer.setOutputFormat(QPrinter::PdfFormat);
      printer.setOutputFileName(c.output);
      return c.confirm;
    };
    f.w().Timer1->start();
    QString text;
    AnswerOptions(f, 2);
    if (c.reportsFailure) f.answers.ExpectMessageBox(QMessageBox::Ok, &text);
    f.w().exportBClick();
    EXPECT_FALSE(pollingDuringDialog) << c.name;
    EXPECT_TRUE(f.w().Timer1->isActive()) << c.name;
    EXPECT_EQ(QFile::exists(c.output), c.confirm && !c.reportsFailure) << c.name;
    if (c.reportsFailure) {
      EXPECT_TRUE(text.startsWith("L'impression a échoué")) << text.toStdString();
    }
  }
  EXPECT_TRUE(testing_support::ReadFileBytes(pdf).startsWith("%PDF"));

  // Polling is started again even when it was not running before.
  f.w().Timer1->stop();
  f.w().ExportServices().AskPrinter = [](QPrinter&, QWidget*) { return false; };
  AnswerOptions(f, 2);
  f.w().exportBClick();
  EXPECT_TRUE(f.w().Timer1->isActive());
}

// Readings brought back ahead of this run's: the table's last row is fully in view.
TEST(TableHandlers, RowsPutAtTheFrontLeaveTheLastRowInView) {
  Fixture f;
  f.answers.Expect([](QWidget*) {}, QStringLiteral("the start-up admin dialog, which closes itself"));
  f.w().show();
  ASSERT_TRUE(testing_support::WaitUntil(
      [&] { return !f.program->Form7->isVisible() && !f.program->Form7->Timer3->isActive(); }, 60000));
  for (const int before : {0, 1, 30}) {
    f.rows().Clear();
    for (int i = 0; i < before; ++i) f.Reading(QString::number(i));
    std::vector<table::MeasurementRow> restored(40, {{"01.01.2024", "08:00:00", "", "", "9", "9", "back"}});
    f.rows().InsertRowsAtFront(std::move(restored));
    QCoreApplication::processEvents();
    const QRect last = f.w().ListView1->visualRect(f.rows().index(f.rows().Count() - 1, 0));
    EXPECT_TRUE(f.w().ListView1->viewport()->rect().contains(last)) << before << " rows before";
  }
}

// ---- the keyboard --------------------------------------------------------------------------

// With rows in the table, Tab still goes round every visible control (the table is one stop, the
// radio groups beneath it none), Shift+Tab goes back, and the icons open with Space and Enter.
TEST(TableHandlers, TabGoesRoundEveryVisibleControlAndTheIconsOpenFromTheKeyboard) {
  Fixture f;
  f.Reading("1");
  f.Reading("2");
  f.answers.Expect([](QWidget*) {}, QStringLiteral("the start-up admin dialog, which closes itself"));
  f.w().show();
  ASSERT_TRUE(testing_support::WaitUntil(
      [&] { return !f.program->Form7->isVisible() && !f.program->Form7->Timer3->isActive(); }, 60000));
  f.w().activateWindow();
  f.w().ListView1->setFocus(Qt::TabFocusReason);
  const auto walk = [&](Qt::Key key, int steps) {
    QStringList order;
    for (int i = 0; i < steps; ++i) {
      QTest::keyClick(f.w().focusWidget(), key);
      order << f.w().focusWidget()->objectName();
    }
    return order;
  };
  const QStringList round = {"clearD", "clearL", "exportB", "langButton", "geometrie", "Image4",
                             "Image7", "messen", "licht",   "winkel",     "ListView1"};
  EXPECT_EQ(walk(Qt::Key_Tab, static_cast<int>(round.size())), round);
  EXPECT_EQ(walk(Qt::Key_Backtab, 3), (QStringList{"winkel", "licht", "messen"}));

  int shown = 0;
  for (int i = 0; i < 2; ++i) {
    f.answers.Expect([&](QWidget* modal) {
      EXPECT_EQ(modal, f.program->Form5.get());
      ++shown;
      modal->close();
    });
  }
  f.w().Image7->setFocus(Qt::TabFocusReason);
  QTest::keyClick(f.w().Image7, Qt::Key_Space);
  QTest::keyClick(f.w().Image7, Qt::Key_Return);
  EXPECT_TRUE(f.answers.WaitAllAnswered());
  EXPECT_EQ(shown, 2);
}

}  // namespace
