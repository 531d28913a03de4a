#include <gtest/gtest.h>

#include <QFile>
#include <QRadioButton>

#include "table/Spreadsheet.h"
#include "table/Unit2.h"
#include "table/Unit3.h"
#include "tests/support/ModalAnswerer.h"
#include "tests/support/TestEnvironment.h"

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

// Both dialogs take their texts from the language chosen last, each time they are shown; the
// export dialog also starts without a choice every time.
TEST(TableDialogs, SpeakTheLanguageChosenLastAtEveryShow) {
  i18n::LanguageState language = Language(i18n::kEnglish);
  table::TableState state;
  table::TForm2 comment(language, state);
  table::TForm3 options(language, state);
  ModalAnswerer answers;

  struct Case {
    int language;
    QStringList commentTexts;  // title, label, cancel
    QStringList optionTexts;   // title, group title, three items, cancel
  };
  const Case cases[] = {
      {i18n::kEnglish,
       {"Change Comment For Data", "Comment", "Cancel"},
       {"Export", "Options", "Save to Clipboard and start Excel", "Save to File", "Print", "Cancel"}},
      {i18n::kGerman,
       {"Kommentar ändern", "Kommentar", "Abbrechen"},
       {"Export", "Optionen", "Speichern in Zwischenablage und Excel starten", "Speichern in Datei", "Drucken",
        "Abbrechen"}},
      {i18n::kFrench,
       {"Changer le commentaire", "Commentaire", "Quitter"},
       {"Export", "Options", "Mémoriser dans le presse-papiers et démarrer Excel", "Mémoriser dans un fichier",
        "Imprimer", "Quitter"}},
  };
  for (const Case& c : cases) {
    SwitchTo(language, c.language);
    QStringList seen;
    answers.Expect([&](QWidget* m) {
      auto* d = static_cast<table::TForm2*>(m);
      seen = {d->windowTitle(), d->Label1->text(), d->Button2->text()};
      d->Button2->click();
    });
    comment.ShowModal();
    EXPECT_EQ(seen, c.commentTexts) << c.language;

    int shownChoice = -2;
    answers.Expect([&](QWidget* m) {
      auto* d = static_cast<table::TForm3*>(m);
      seen = {d->windowTitle(), d->RadioGroup1->title()};
      for (int i = 0; i < 3; ++i) seen << d->RadioGroup1->Button(i)->text();
      seen << d->Button2->text();
      shownChoice = d->RadioGroup1->ItemIndex();
      d->RadioGroup1->Button(1)->click();  // left chosen for the next show
      d->Button2->click();
    });
    options.ShowModal();
    EXPECT_EQ(seen, c.optionTexts) << c.language;
    EXPECT_EQ(shownChoice, -1) << c.language;
  }
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

TEST(Spreadsheet, IsStartedDetachedWithoutAShellAndItsOutputIsNotOurs) {
  testing_support::ScopedWorkingDir dir;
  // The program records the arguments it was given, and talks on both its outputs first.
  FakeProgram(dir.File("libreoffice"),
              "#!/bin/sh\necho 'spreadsheet says hello'\necho 'javaldx: Could not find a Java Runtime' >&2\n"
              "printf '%s|' \"$@\" > \"$(dirname \"$0\")/started\"\n");
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  const bool started = table::StartSpreadsheetProgram({dir.Path()});
  const bool ran = started && testing_support::WaitUntil([&] { return QFile::exists(dir.File("started")); });
  testing_support::RunEventLoop(50);
  const std::string out = testing::internal::GetCapturedStdout();
  const std::string err = testing::internal::GetCapturedStderr();
  ASSERT_TRUE(ran);
  EXPECT_EQ(testing_support::ReadFileBytes(dir.File("started")), QByteArray("--calc|"));
  EXPECT_EQ(out.find("spreadsheet says"), std::string::npos) << out;
  EXPECT_EQ(err.find("javaldx"), std::string::npos) << err;
}

}  // namespace
