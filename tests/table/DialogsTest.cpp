#include <gtest/gtest.h>

#include <QFile>
#include <QRadioButton>

#include "ModalAnswerer.h"
#include "Spreadsheet.h"
#include "TestEnvironment.h"
#include "Unit2.h"
#include "Unit3.h"

namespace {

using testing_support::ModalAnswerer;

i18n::LanguageState Language(int index) {
  i18n::LanguageState language;
  language.TextTable.FillLanguageBlocks();
  language.LanguageIndex = index;
  language.TextTable.LoadTextSet(index);
  return language;
}

void SwitchTo(i18n::LanguageState& language, int index) {
  language.LanguageIndex = index;
  language.TextTable.LoadTextSet(index);
}

TEST(CommentDialog, ShowsTheBufferAndTheTextsOfTheLanguageChosenLast) {
  i18n::LanguageState language = Language(i18n::kEnglish);
  table::TableState state;
  table::TForm2 dialog(language, state);
  ModalAnswerer answers;

  struct Seen {
    QString edit, title, label, cancel;
  } seen;
  const auto look = [&](QWidget* modal) {
    auto* d = qobject_cast<table::TForm2*>(modal);
    ASSERT_NE(d, nullptr);
    seen = {d->Edit1->text(), d->windowTitle(), d->Label1->text(), d->Button2->text()};
  };

  state.CommentBuffer = "  spaced  ";
  answers.Expect([&](QWidget* m) {
    look(m);
    auto* d = static_cast<table::TForm2*>(m);
    d->Edit1->setText(" edited\t ");
    d->Button1->click();
  });
  EXPECT_EQ(dialog.ShowModal(), widgets::mrOk);
  EXPECT_EQ(seen.edit, "  spaced  ");
  EXPECT_EQ(seen.title, "Change Comment For Data");
  EXPECT_EQ(seen.label, "Comment");
  EXPECT_EQ(seen.cancel, "Cancel");
  EXPECT_EQ(state.CommentBuffer, " edited\t ");  // untrimmed

  SwitchTo(language, i18n::kFrench);
  state.CommentBuffer = "x";
  answers.Expect([&](QWidget* m) {
    look(m);
    static_cast<table::TForm2*>(m)->Edit1->setText("typed");
    static_cast<table::TForm2*>(m)->Button2->click();
  });
  EXPECT_EQ(dialog.ShowModal(), widgets::mrCancel);
  EXPECT_EQ(seen.edit, "x");
  EXPECT_EQ(seen.title, "Changer le commentaire");
  EXPECT_EQ(seen.label, "Commentaire");
  EXPECT_EQ(seen.cancel, "Quitter");
  EXPECT_EQ(state.CommentBuffer, "x");  // Cancel stores nothing
}

TEST(ExportOptionsDialog, ClearsItsChoiceAtEveryShowAndStoresMinusOneWithoutAChoice) {
  i18n::LanguageState language = Language(i18n::kGerman);
  table::TableState state;
  table::TForm3 dialog(language, state);
  ModalAnswerer answers;

  QStringList items;
  int shownChoice = -2;
  answers.Expect([&](QWidget* m) {
    auto* d = static_cast<table::TForm3*>(m);
    EXPECT_EQ(d->windowTitle(), "Export");
    EXPECT_EQ(d->RadioGroup1->title(), "Optionen");
    for (int i = 0; i < 3; ++i) items << d->RadioGroup1->Button(i)->text();
    EXPECT_EQ(d->Button2->text(), "Abbrechen");
    d->RadioGroup1->Button(2)->click();
    d->Button1->click();
  });
  EXPECT_EQ(dialog.ShowModal(), widgets::mrOk);
  EXPECT_EQ(items, (QStringList{"Speichern in Zwischenablage und Excel starten", "Speichern in Datei", "Drucken"}));
  EXPECT_EQ(state.ExportOption, 2);

  SwitchTo(language, i18n::kFrench);
  answers.Expect([&](QWidget* m) {
    auto* d = static_cast<table::TForm3*>(m);
    EXPECT_EQ(d->windowTitle(), "Export");
    EXPECT_EQ(d->RadioGroup1->Button(2)->text(), "Imprimer");
    shownChoice = d->RadioGroup1->ItemIndex();
    d->Button1->click();
  });
  EXPECT_EQ(dialog.ShowModal(), widgets::mrOk);
  EXPECT_EQ(shownChoice, -1);
  EXPECT_EQ(state.ExportOption, -1);
}

// ---- the spreadsheet program ------------------------------------------------------------------

void FakeProgram(const QString& path, const QByteArray& script = "#!/bin/sh\nexit 0\n") {
  testing_support::WriteFileBytes(path, script);
  QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

TEST(Spreadsheet, TheFirstInstalledProgramIsChosenWithItsFixedArguments) {
  testing_support::ScopedWorkingDir dir;
  const QStringList path{dir.Path()};
  EXPECT_FALSE(table::FindSpreadsheetProgram(path).has_value());
  EXPECT_FALSE(table::StartSpreadsheetProgram(path));

  FakeProgram(dir.File("gnumeric"));
  ASSERT_TRUE(table::FindSpreadsheetProgram(path).has_value());
  EXPECT_EQ(table::FindSpreadsheetProgram(path)->program, dir.File("gnumeric"));
  EXPECT_TRUE(table::FindSpreadsheetProgram(path)->arguments.isEmpty());

  FakeProgram(dir.File("libreoffice"));
  EXPECT_EQ(table::FindSpreadsheetProgram(path)->program, dir.File("libreoffice"));
  EXPECT_EQ(table::FindSpreadsheetProgram(path)->arguments, QStringList{"--calc"});

  // A file that is not executable does not count.
  testing_support::WriteFileBytes(dir.File("localc"), "#!/bin/sh\n");
  EXPECT_EQ(table::FindSpreadsheetProgram(path)->program, dir.File("libreoffice"));
}

TEST(Spreadsheet, IsStartedDetachedWithoutAShell) {
  testing_support::ScopedWorkingDir dir;
  // The program records the arguments it was given.
  FakeProgram(dir.File("libreoffice"), "#!/bin/sh\nprintf '%s|' \"$@\" > \"$(dirname \"$0\")/started\"\n");
  ASSERT_TRUE(table::StartSpreadsheetProgram({dir.Path()}));
  ASSERT_TRUE(testing_support::WaitUntil([&] { return QFile::exists(dir.File("started")); }));
  testing_support::RunEventLoop(50);
  EXPECT_EQ(testing_support::ReadFileBytes(dir.File("started")), QByteArray("--calc|"));
}

}  // namespace
