#include <gtest/gtest.h>

#include <QImageReader>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include "app/Program.h"
#include "tests/support/ModalAnswerer.h"
#include "tests/support/TestEnvironment.h"
#include "usb/simbus/SimBus.h"

namespace {

using testing_support::ModalAnswerer;
using testing_support::ReadFileBytes;
using testing_support::ScopedWorkingDir;
using testing_support::WriteFileBytes;

const QString kBuildData = QStringLiteral(KORVANTA_BUILD_DATA_DIR);

QString Heading(app::TMainForm& w, int column) {
  return w.ListView1->model()->headerData(column, Qt::Horizontal).toString();
}

QImage Picture(const QLabel* label) { return label->pixmap().toImage().convertToFormat(QImage::Format_ARGB32); }

QImage BuiltFlag(const char* name) {
  return QImageReader(QDir(kBuildData).filePath(QString::fromLatin1(name)))
      .read()
      .convertToFormat(QImage::Format_ARGB32);
}

class Language : public ::testing::Test {
 protected:
  // Starts the program in the working directory with the build's data folder behind it.
  void Start(QStringList dataFolders = {kBuildData}) {
    state_.Language.DataFolders = std::move(dataFolders);
    state_.Language.OpenDocument = [this](const QUrl& url) {
      opened_.append(url.toLocalFile());
      return true;
    };
    program_ = std::make_unique<app::Program>(state_, bus_);
  }
  app::TMainForm& Window() { return *program_->MainForm; }
  QString Settings() const { return dir_.File(QStringLiteral("318qx.ini")); }

  // The operator picks item `index` in the language dialog and presses OK.
  void Choose(int index) {
    answers_.Expect(
        [index](QWidget* modal) {
          ASSERT_EQ(modal->objectName(), QStringLiteral("selectLanguage"));
          EXPECT_EQ(modal->windowTitle(), QStringLiteral("Language/Sprache/Langue"));
          modal->findChild<QRadioButton*>(QStringLiteral("RadioGroup1") + QString::number(index))->click();
          modal->findChild<QPushButton*>(QStringLiteral("Button1"))->click();
        },
        QStringLiteral("language dialog"));
  }
  // The operator closes the language dialog by its close box.
  void CloseBox(int* shownItem = nullptr) {
    answers_.Expect(
        [shownItem](QWidget* modal) {
          if (shownItem != nullptr) {
            *shownItem = modal->findChild<widgets::RadioGroup*>(QStringLiteral("RadioGroup1"))->ItemIndex();
          }
          modal->close();
        },
        QStringLiteral("language dialog"));
  }
  void ClickLanguage() {
    Window().langButton->click();
    EXPECT_TRUE(answers_.WaitAllAnswered());
  }

  ScopedWorkingDir dir_;
  ModalAnswerer answers_;
  usb::simbus::SimBus bus_;
  app::ProcessState state_;
  QStringList opened_;
  std::unique_ptr<app::Program> program_;
};

TEST_F(Language, FrenchReachesCaptionsHeadingsFlagHelpAndSettings) {
  Start();
  app::TMainForm& w = Window();
  EXPECT_EQ(Picture(w.langFlag), BuiltFlag("CTRUK.ICO"));
  EXPECT_TRUE(w.langFlag->toolTip().isEmpty());

  Choose(2);
  ClickLanguage();

  EXPECT_EQ(state_.Language.LanguageIndex, 2);
  const char16_t* headings[] = {u"Date",       u"Heure",      u"Mode 20°",   u"Mode 60°",
                                u"Valeur 20°", u"Valeur 60°", u"Commentaire"};
  for (int c = 0; c < 7; ++c) EXPECT_EQ(Heading(w, c), QString::fromUtf16(headings[c])) << c;
  EXPECT_EQ(w.clearD->text(), QStringLiteral("Effacer les donées"));
  EXPECT_EQ(w.Label12->text(), QStringLiteral("No. de version :"));
  EXPECT_EQ(w.langButton->text(), QStringLiteral("Langue"));
  EXPECT_EQ(Picture(w.langFlag), BuiltFlag("CTRFRAN.ICO"));
  EXPECT_EQ(ReadFileBytes(Settings()), QByteArray("[Config]\r\nLanguage=2\r\n"));

  // The shipped manual, until the operator puts the compiled help beside the program.
  QTest::mouseClick(w.Image4, Qt::LeftButton);
  WriteFileBytes(dir_.File(QStringLiteral("hilfe_f.chm")), "ITSF");
  QTest::mouseClick(w.Image4, Qt::LeftButton);
  EXPECT_EQ(opened_, (QStringList{QDir(kBuildData).filePath(QStringLiteral("hilfe_f.html")),
                                  dir_.File(QStringLiteral("hilfe_f.chm"))}));
}

TEST_F(Language, AChangeRewritesTheGeometryFieldInTheNewLanguage) {
  Start();
  state_.Cycle.ShownGeoMode = 2;
  const struct {
    int language;
    const char16_t* field;
  } cases[] = {
      {1, u"Messgeometrie: 20°"},
      {2, u"Géométrie de mesure: 20°"},
      {0, u"Measuring geometry: 20°"},
  };
  for (const auto& c : cases) {
    Choose(c.language);
    ClickLanguage();
    EXPECT_EQ(Window().StatusText(1), QString::fromUtf16(c.field));
  }
}

// The toolkit's standard buttons follow the program's language; the default locale, which the
// table's dates and decimal marks follow into the export, never does.
TEST_F(Language, TheToolkitsButtonsFollowTheLanguageAndTheLocaleStays) {
  Start();
  const QLocale locale;
  const struct {
    int language;
    const char* yes;
    const char* no;
  } cases[] = {
      {1, "&Ja", "&Nein"},
      {2, "&Oui", "&Non"},
      {0, "&Yes", "&No"},
  };
  for (const auto& c : cases) {
    Choose(c.language);
    ClickLanguage();
    const QMessageBox box(QMessageBox::Question, QString(), QString(), QMessageBox::Yes | QMessageBox::No);
    EXPECT_EQ(box.button(QMessageBox::Yes)->text(), QString::fromUtf8(c.yes)) << c.language;
    EXPECT_EQ(box.button(QMessageBox::No)->text(), QString::fromUtf8(c.no)) << c.language;
    EXPECT_EQ(QLocale(), locale) << c.language;
  }
}

TEST_F(Language, TheCloseBoxStoresTheUnchangedLanguage) {
  const struct {
    const char* before;  // nullptr: first start, no settings file
    int language;
    const char* after;
  } cases[] = {
      {nullptr, 0, "[Config]\r\nLanguage=0\r\n"},
      {"[Config]\r\nLanguage=0x2\r\n", 2, "[Config]\r\nLanguage=2\r\n"},
      {"; mine\n[Config]\nLanguage = 1\n[Other]\nLanguage=9\n", 1,
       "; mine\n[Config]\nLanguage = 1\n[Other]\nLanguage=9\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.before == nullptr ? "no settings file" : c.before);
    program_.reset();
    QFile::remove(Settings());
    if (c.before != nullptr) WriteFileBytes(Settings(), c.before);
    Start();
    if (c.before == nullptr) {
      EXPECT_EQ(Window().clearD->text(), QStringLiteral("Clear Data"));
      EXPECT_EQ(Heading(Window(), 6), QStringLiteral("Comment"));
      EXPECT_EQ(Window().langButton->text(), QStringLiteral("Language"));
    }
    int shown = -1;
    CloseBox(&shown);
    ClickLanguage();
    EXPECT_EQ(shown, c.language);
    EXPECT_EQ(state_.Language.LanguageIndex, c.language);
    EXPECT_EQ(ReadFileBytes(Settings()), QByteArray(c.after));
  }
}

TEST_F(Language, AMissingOrBrokenFlagLeavesTheRestApplied) {
  WriteFileBytes(dir_.File(QStringLiteral("CTRGERM.ICO")), "not an icon");
  Start({});
  app::TMainForm& w = Window();
  EXPECT_TRUE(w.langFlag->pixmap().isNull());
  EXPECT_TRUE(w.langFlag->toolTip().contains(QStringLiteral("\"CTRUK.ICO\" was not found")))
      << w.langFlag->toolTip().toStdString();
  EXPECT_EQ(w.langButton->text(), QStringLiteral("Language"));

  state_.Cycle.ShownGeoMode = 3;
  Choose(1);
  ClickLanguage();
  EXPECT_TRUE(w.langFlag->pixmap().isNull());
  EXPECT_TRUE(w.langFlag->toolTip().contains(QStringLiteral("konnte nicht gelesen werden")))
      << w.langFlag->toolTip().toStdString();
  EXPECT_EQ(w.langButton->text(), QStringLiteral("Sprache"));
  EXPECT_EQ(w.Label25->palette().color(QPalette::WindowText), QColor(65, 120, 184));
  EXPECT_EQ(w.Label9->palette().color(QPalette::WindowText), QColor(65, 120, 184));
  EXPECT_EQ(w.Label21->text(), QStringLiteral("Nr."));
  EXPECT_EQ(w.StatusText(1), QStringLiteral("Messgeometrie: 20° + 60°"));

  // Put back, the flag returns with the next change.
  QFile::copy(QDir(kBuildData).filePath(QStringLiteral("CTRGERM.ICO")), dir_.File(QStringLiteral("ctrgerm.ico")));
  QFile::remove(dir_.File(QStringLiteral("CTRGERM.ICO")));
  CloseBox();
  ClickLanguage();
  EXPECT_EQ(Picture(w.langFlag), BuiltFlag("CTRGERM.ICO"));
  EXPECT_TRUE(w.langFlag->toolTip().isEmpty());
}

TEST_F(Language, AFailedWriteIsReportedInTheNewLanguageAndTheLanguageApplies) {
  QDir(dir_.Path()).mkpath(QStringLiteral("318qx.ini"));  // a folder in the settings file's place
  Start();
  Choose(1);
  QString text;
  QString title;
  answers_.ExpectMessageBox(QMessageBox::Ok, &text, &title);
  ClickLanguage();
  EXPECT_EQ(title, QStringLiteral("Fehler"));
  EXPECT_TRUE(text.startsWith(QStringLiteral("Die Einstellungsdatei \"") + Settings())) << text.toStdString();
  EXPECT_TRUE(text.contains(QStringLiteral("nicht für den nächsten Start gespeichert"))) << text.toStdString();
  EXPECT_EQ(Window().messen->text(), QStringLiteral("Messen"));
  EXPECT_EQ(Heading(Window(), 0), QStringLiteral("Datum"));
  EXPECT_EQ(Picture(Window().langFlag), BuiltFlag("CTRGERM.ICO"));
}

TEST_F(Language, CommentAndExportDialogsSpeakItAtTheirNextShow) {
  Start();
  Choose(2);
  ClickLanguage();

  QStringList seen;
  answers_.Expect(
      [&seen](QWidget* modal) {
        seen << modal->windowTitle() << modal->findChild<QLabel*>(QStringLiteral("Label1"))->text()
             << modal->findChild<QPushButton*>(QStringLiteral("Button2"))->text();
        modal->findChild<QPushButton*>(QStringLiteral("Button2"))->click();
      },
      QStringLiteral("comment dialog"));
  program_->Form2->ShowModal();
  answers_.Expect(
      [&seen](QWidget* modal) {
        auto* group = modal->findChild<widgets::RadioGroup*>(QStringLiteral("RadioGroup1"));
        seen << group->title();
        for (int i = 0; i < group->ItemCount(); ++i) seen << group->Button(i)->text();
        seen << modal->findChild<QPushButton*>(QStringLiteral("Button2"))->text();
        modal->findChild<QPushButton*>(QStringLiteral("Button2"))->click();
      },
      QStringLiteral("export dialog"));
  program_->Form3->ShowModal();
  EXPECT_TRUE(answers_.WaitAllAnswered());
  EXPECT_EQ(seen, (QStringList{"Changer le commentaire", "Commentaire", "Quitter", "Options",
                               "Mémoriser dans le presse-papiers et démarrer Excel", "Mémoriser dans un fichier",
                               "Imprimer", "Quitter"}));
}

TEST_F(Language, AMissingManualIsExplainedInTheOperatorsLanguage) {
  WriteFileBytes(dir_.File(QStringLiteral("318qx.ini")), "[Config]\r\nLanguage=2\r\n");
  Start({dir_.File(QStringLiteral("nowhere"))});
  QString text;
  QString title;
  answers_.ExpectMessageBox(QMessageBox::Ok, &text, &title);
  QTest::mouseClick(Window().Image4, Qt::LeftButton);
  EXPECT_TRUE(answers_.WaitAllAnswered());
  EXPECT_TRUE(opened_.isEmpty());
  EXPECT_EQ(title, QStringLiteral("Aide"));
  EXPECT_TRUE(text.contains(QStringLiteral("« hilfe_f.chm »"))) << text.toStdString();
  EXPECT_TRUE(text.contains(dir_.File(QStringLiteral("nowhere")))) << text.toStdString();
}

}  // namespace
