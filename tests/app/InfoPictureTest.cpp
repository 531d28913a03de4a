#include <gtest/gtest.h>
#include <sys/utsname.h>

#include <QTest>

#include "app/Program.h"
#include "tests/support/ModalAnswerer.h"
#include "tests/support/TestEnvironment.h"
#include "usb/simbus/SimBus.h"

namespace {

TEST(InfoPicture, OpensTheInfoDialogWithThisMachinesValues) {
  testing_support::ScopedWorkingDir dir;
  usb::simbus::SimBus bus;
  app::ProcessState state;
  app::Program program(state, bus);
  state.Language.LanguageIndex = 2;
  utsname names{};
  ASSERT_EQ(uname(&names), 0);
  const QString release = QString::fromLocal8Bit(names.release);

  testing_support::ModalAnswerer answers;
  answers.Expect([&](QWidget* modal) {
    ASSERT_EQ(modal, program.Form5.get());
    dialogs::TForm5& d = *program.Form5;
    EXPECT_EQ(d.text1->text(), QStringLiteral("Programm-Version: " KORVANTA_PROJECT_VERSION));
    EXPECT_EQ(d.Label7->text(), QStringLiteral("Licencié"));
    EXPECT_TRUE(d.sys->text().contains(QStringLiteral(", Version ")));
    EXPECT_TRUE(d.sp->text().endsWith(release)) << d.sp->text().toStdString();
    EXPECT_NE(d.name->text(), QStringLiteral("Name"));  // this machine's owner, empty or not
    d.ok->click();
  });
  QTest::mouseClick(program.MainForm->Image7, Qt::LeftButton);
  EXPECT_TRUE(answers.WaitAllAnswered());
  EXPECT_FALSE(program.Form5->isVisible());
}

}  // namespace
