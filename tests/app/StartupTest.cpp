#include <gtest/gtest.h>

#include <QApplication>
#include <QHeaderView>
#include <QScreen>
#include <stdexcept>

#include "app/Program.h"
#include "tests/support/ModalAnswerer.h"
#include "tests/support/TestEnvironment.h"
#include "usb/simbus/SimBus.h"

namespace {

using testing_support::ModalAnswerer;
using testing_support::ScopedWorkingDir;

TEST(Startup, WindowsComeUpInOrderInTheStoredLanguageWithoutAnInstrument) {
  ScopedWorkingDir dir;
  testing_support::WriteFileBytes(dir.File(QStringLiteral("318qx.ini")), "[Config]\r\nLanguage=1\r\n");
  usb::simbus::SimBus bus;  // nothing plugged in
  app::ProcessState state;
  app::Program program(state, bus);

  // No display name of its own, which the toolkit would append to every window title; the desktop
  // entry names the program in the task bar.
  EXPECT_EQ(QGuiApplication::applicationDisplayName(), QGuiApplication::applicationName());
  EXPECT_EQ(QGuiApplication::desktopFileName(), QStringLiteral("com.example.Korvanta"));
  EXPECT_EQ(program.CreationOrder,
            (QStringList{"MainForm", "Form5", "Form2", "Form3", "selectLanguage", "Form6", "Form7"}));
  for (QWidget* dialog :
       std::initializer_list<QWidget*>{program.Form5.get(), program.Form2.get(), program.Form3.get(),
                                       program.selectLanguage.get(), program.Form6.get(), program.Form7.get()}) {
    EXPECT_FALSE(dialog->isVisible()) << dialog->objectName().toStdString();
  }

  app::TMainForm& w = *program.MainForm;
  EXPECT_EQ(w.windowTitle(), QStringLiteral("318QX"));
  EXPECT_EQ(state.Language.BasePath, QDir::toNativeSeparators(QDir::currentPath()) + QDir::separator());
  EXPECT_EQ(state.Language.LanguageIndex, 1);
  EXPECT_EQ(w.messen->text(), QStringLiteral("Messen"));
  EXPECT_EQ(w.clearD->text(), QStringLiteral("Daten löschen"));
  EXPECT_EQ(w.Label2->text(), QStringLiteral("Serien Nr.:"));
  EXPECT_EQ(w.Label21->text(), QStringLiteral("Nr."));
  EXPECT_EQ(w.geometrie->text(), QStringLiteral("Setup"));
  EXPECT_EQ(w.ListView1->model()->headerData(6, Qt::Horizontal).toString(), QStringLiteral("Kommentar"));
  EXPECT_EQ(w.StatusText(0), QStringLiteral("Kann Port nicht öffnen! Bitte Anwendung erneut starten!"));
  EXPECT_EQ(w.StatusText(1), QStringLiteral("Messgeometrie: -----"));
  EXPECT_EQ(w.Label25->palette().color(QPalette::WindowText), QColor(65, 120, 184));

  EXPECT_FALSE(w.Timer1->isActive());
  EXPECT_TRUE(w.Timer2->isActive());
  EXPECT_FALSE(w.Timer3->isActive());
  EXPECT_EQ(w.Timer1->interval(), 50);
  EXPECT_EQ(w.Timer1->timerType(), Qt::PreciseTimer);
  EXPECT_EQ(w.Timer2->interval(), 5000);
  EXPECT_EQ(w.Timer3->interval(), 2000);
}

TEST(Startup, ControlsStandWhereTheWindowPlacesThem) {
  ScopedWorkingDir dir;
  usb::simbus::SimBus bus;
  app::ProcessState state;
  app::TMainForm w(state, bus);
  EXPECT_EQ(w.size(), QSize(708, 597));

  struct Place {
    const char* name;
    QRect rect;
    bool visible;
  };
  const Place places[] = {
      {"Image1", {0, 0, 709, 65}, true},      {"langFlag", {12, 80, 32, 32}, true},
      {"langButton", {52, 80, 75, 33}, true}, {"geometrie", {552, 86, 118, 25}, true},
      {"Image4", {565, 125, 32, 32}, true},   {"Image7", {622, 126, 32, 32}, true},
      {"Image2", {622, 96, 32, 16}, false},   {"Image3", {660, 97, 32, 16}, false},
      {"messen", {294, 141, 147, 48}, true},  {"licht", {296, 199, 65, 47}, true},
      {"winkel", {376, 199, 65, 47}, true},   {"CheckBox1", {498, 227, 97, 17}, false},
      {"Shot", {589, 311, 65, 89}, true},     {"MeasGeo", {312, 335, 89, 57}, true},
      {"ori", {429, 335, 89, 57}, true},      {"ListView1", {53, 263, 609, 249}, true},
      {"clearD", {53, 533, 118, 25}, true},   {"clearL", {312, 533, 118, 25}, true},
      {"exportB", {544, 533, 118, 25}, true}, {"Button1", {449, 547, 75, 25}, false},
  };
  w.show();
  const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
  EXPECT_LE((w.frameGeometry().center() - screen.center()).manhattanLength(), 1) << "centred on the screen";
  for (const Place& p : places) {
    auto* control = w.findChild<QWidget*>(QString::fromLatin1(p.name));
    ASSERT_NE(control, nullptr) << p.name;
    EXPECT_EQ(control->geometry(), p.rect) << p.name;
    EXPECT_EQ(control->isVisible(), p.visible) << p.name;
  }
  // Labels keep their anchor: left edges, and the right edge of the right-aligned ones.
  EXPECT_EQ(w.Label7->pos(), QPoint(588, 171));
  EXPECT_EQ(w.SerialNr->pos(), QPoint(588, 204));
  EXPECT_EQ(w.Label36->geometry().right() + 1, 93 + 84);
  EXPECT_EQ(w.Label8->geometry().right() + 1, 93 + 84);
  const int firmwareRight = w.Label12->geometry().right();
  w.Label12->SetCaption(QStringLiteral("No. de version :"));
  EXPECT_EQ(w.Label12->geometry().right(), firmwareRight);

  // The radio groups lie beneath the table.
  const QObjectList& children = w.children();
  for (QWidget* group : std::initializer_list<QWidget*>{w.Shot, w.MeasGeo, w.ori}) {
    EXPECT_LT(children.indexOf(group), children.indexOf(w.ListView1)) << group->objectName().toStdString();
  }
  // Status bar: two fields, the first 500 pixels wide.
  EXPECT_EQ(w.StatusBar->geometry(), QRect(0, 578, 708, 19));
  EXPECT_EQ(w.findChild<QLabel*>(QStringLiteral("StatusField0"))->width(), 500);

  // The table as loaded: seven columns, read-only, whole rows, one at a time.
  EXPECT_EQ(w.ListView1->model()->columnCount(), 7);
  EXPECT_EQ(w.ListView1->horizontalHeader()->sectionSize(0), 80);
  EXPECT_EQ(w.ListView1->horizontalHeader()->sectionSize(2), 70);
  EXPECT_EQ(w.ListView1->editTriggers(), QAbstractItemView::NoEditTriggers);
  EXPECT_EQ(w.ListView1->selectionBehavior(), QAbstractItemView::SelectRows);
  EXPECT_EQ(w.ListView1->selectionMode(), QAbstractItemView::SingleSelection);
  EXPECT_FALSE(w.ListView1->verticalHeader()->isVisible());
  // The two value columns are right-aligned, headings and cells; the others left.
  w.Rows().AppendRow({{"01.02.2024", "12:00:00", "L", "", "12,5", "33.1", "c"}});
  const QAbstractItemModel* model = w.ListView1->model();
  for (int c = 0; c < 7; ++c) {
    const Qt::Alignment expected = (c == 4 || c == 5) ? Qt::AlignRight : Qt::AlignLeft;
    const auto horizontal = [](const QVariant& v) { return v.value<Qt::Alignment>() & Qt::AlignHorizontal_Mask; };
    EXPECT_EQ(horizontal(model->headerData(c, Qt::Horizontal, Qt::TextAlignmentRole)), expected) << c;
    EXPECT_EQ(horizontal(model->index(0, c).data(Qt::TextAlignmentRole)), expected) << c;
  }
}

TEST(Startup, AnExceptionInAHandlerIsShownAndTheProgramGoesOn) {
  ModalAnswerer answers;
  QString text;
  answers.ExpectMessageBox(QMessageBox::Ok, &text);
  bool later = false;
  QTimer::singleShot(0, [] { throw std::runtime_error("sensor cable damaged"); });
  QTimer::singleShot(20, [&later] { later = true; });
  EXPECT_TRUE(testing_support::WaitUntil([&] { return later; }));
  EXPECT_TRUE(answers.WaitAllAnswered());
  EXPECT_TRUE(text.contains(QStringLiteral("sensor cable damaged"))) << text.toStdString();
}

}  // namespace
