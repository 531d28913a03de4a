#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/utsname.h>

#include <QImage>
#include <QTest>

#include "dialogs/ProgramVersion.h"
#include "dialogs/Unit5.h"
#include "tests/support/ModalAnswerer.h"
#include "tests/support/TestEnvironment.h"

namespace {

using dialogs::OwnerInfo;
using dialogs::SystemVersion;
using dialogs::TForm5;
using testing_support::ModalAnswerer;

const QString kProjectVersion = QStringLiteral(KORVANTA_PROJECT_VERSION);

// What the fake system answers; the test may change it between two shows.
struct FakeAnswers {
  SystemVersion version;
  OwnerInfo owner;
  QString programFile = QStringLiteral(KORVANTA_PROGRAM_FILE);
  int ownerQueries = 0;
};

class FakeSystem : public dialogs::SystemInfo {
 public:
  explicit FakeSystem(FakeAnswers& answers) : answers_(answers) {}
  SystemVersion Version() const override { return answers_.version; }
  OwnerInfo Owner() const override {
    ++answers_.ownerQueries;
    return answers_.owner;
  }
  QString ProgramFilePath() const override { return answers_.programFile; }

 private:
  FakeAnswers& answers_;
};

SystemVersion Xp() {
  return dialogs::FromWindowsVersion(5, 1, 2600, dialogs::kWin32NT, QStringLiteral("Service Pack 3"));
}

struct Fixture {
  explicit Fixture(int languageIndex = 0) {
    language.LanguageIndex = languageIndex;
    answers.version = Xp();
    answers.owner = {true, QStringLiteral("Owner"), QStringLiteral("Company")};
  }
  // Shows the dialog (which runs FormShow) and hides it again.
  void Show() {
    form.show();
    form.hide();
  }
  i18n::LanguageState language;
  FakeAnswers answers;
  TForm5 form{language, std::make_unique<FakeSystem>(answers)};
};

TEST(InfoDialog, SystemLineForEachVersion) {
  struct Case {
    const char* what;
    quint32 major, minor, build, platform;
    const char* csd;
    const char* sys;
    const char* sp;
  };
  const Case cases[] = {
      {"XP", 5, 1, 2600, 2, "Service Pack 3", "Windows XP, Version 5.1.2600", "Service Pack 3"},
      {"7, its name ends in a blank", 6, 1, 7601, 2, "Service Pack 1", "Microsoft Windows 7 , Version 6.1.7601",
       "Service Pack 1"},
      {"Vista", 6, 0, 6002, 2, "Service Pack 2", "Microsoft Windows Vista , Version 6.0.6002", "Service Pack 2"},
      {"Server 2003 without service pack", 5, 2, 3790, 2, "", "Windows Server 2003, Version 5.2.3790", ""},
      {"2000", 5, 0, 2195, 2, "Service Pack 4", "Windows 2000, Version 5.0.2195", "Service Pack 4"},
      {"NT 4", 4, 0, 1381, 2, "Service Pack 6", "Windows NT/95, Version 4.0.1381", "Service Pack 6"},
      {"95, build with its upper half set", 4, 0, 0x0400'03B6, 1, " A ", "Windows NT/95, Version 4.0.950", ""},
      {"98", 4, 10, 0x040A'08AE, 1, "", "Windows 98, Version 4.10.2222", ""},
      {"Me", 4, 90, 0x045A'0BB8, 1, "", "Windows Me, Version 4.90.3000", ""},
      {"NT build with its upper half set", 5, 1, 0xABCD'0A28, 2, "", "Windows XP, Version 5.1.2600", ""},
      {"8 has no name", 6, 2, 9200, 2, "", ", Version 6.2.9200", ""},
      {"10 has no name", 10, 0, 19045, 2, "", ", Version 10.0.19045", ""},
      {"unknown platform keeps both lines", 3, 10, 0, 0, "x", "Windows 95/98/NT", "Service Pack"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Fixture f;
    f.answers.version = dialogs::FromWindowsVersion(c.major, c.minor, c.build, c.platform, QString::fromLatin1(c.csd));
    f.Show();
    EXPECT_EQ(f.form.sys->text(), QString::fromLatin1(c.sys));
    EXPECT_EQ(f.form.sp->text(), QString::fromLatin1(c.sp));
    // No owner is looked for on a platform we do not know.
    const bool known = c.platform == 1 || c.platform == 2;
    EXPECT_EQ(f.answers.ownerQueries, known ? 1 : 0);
    EXPECT_EQ(f.form.name->text(), known ? QStringLiteral("Owner") : QStringLiteral("Name"));
  }
}

TEST(InfoDialog, UnixReleasesMapToTheSameLine) {
  struct Case {
    const char* pretty;
    const char* kernel;
    const char* release;
    const char* sys;
    const char* sp;
  };
  const Case cases[] = {
      {"Debian GNU/Linux 12 (bookworm)", "Linux", "6.1.0-18-amd64", "Debian GNU/Linux 12 (bookworm), Version 6.1.0",
       "Linux 6.1.0-18-amd64"},
      {"", "Linux", "5.15.153.1-microsoft-standard-WSL2", "Linux, Version 5.15.153",
       "Linux 5.15.153.1-microsoft-standard-WSL2"},
      {"Some OS", "Linux", "6.8", "Some OS, Version 6.8.0", "Linux 6.8"},
      {"Some OS", "Linux", "4.19.70000", "Some OS, Version 4.19.4464", "Linux 4.19.70000"},
      {"Some OS", "Linux", "4.99999999999.1", "Some OS, Version 4.0.1", "Linux 4.99999999999.1"},
      {"Some OS", "FreeBSD", "14.0-RELEASE-p6", "Some OS, Version 14.0.0", "FreeBSD 14.0-RELEASE-p6"},
      {"Some OS", "Linux", "rc1", "Some OS, Version 0.0.0", "Linux rc1"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.release);
    const SystemVersion v = dialogs::FromUnixVersion(QString::fromLatin1(c.pretty), QString::fromLatin1(c.kernel),
                                                     QString::fromLatin1(c.release));
    EXPECT_TRUE(v.Known);
    EXPECT_EQ(dialogs::SystemLine(v), QString::fromLatin1(c.sys));
    EXPECT_EQ(v.ServicePack, QString::fromLatin1(c.sp));
  }
  EXPECT_FALSE(dialogs::FromUnixVersion(QStringLiteral("Some OS"), QStringLiteral("Linux"), QString()).Known);
}

TEST(InfoDialog, OwnerAmpersandsAreDoubledAndShowOnce) {
  const struct {
    const char* in;
    const char* out;
  } doubling[] = {{"", ""}, {"Smith", "Smith"}, {"Smith & Jones", "Smith && Jones"}, {"&&", "&&&&"}, {"&x&", "&&x&&"}};
  for (const auto& d : doubling) {
    EXPECT_EQ(dialogs::DoubleAmpersands(QString::fromLatin1(d.in)), QString::fromLatin1(d.out)) << d.in;
  }

  Fixture f;
  f.answers.owner = {true, QStringLiteral("Smith & Jones"), QStringLiteral("R&D")};
  f.form.show();
  EXPECT_EQ(f.form.name->text(), QStringLiteral("Smith && Jones"));
  EXPECT_EQ(f.form.org->text(), QStringLiteral("R&&D"));

  // What the label shows looks exactly like a plain label with one ampersand.
  QLabel plain(QStringLiteral("Smith & Jones"), &f.form);
  plain.setFont(f.form.name->font());
  plain.setPalette(f.form.name->palette());
  plain.setGeometry(f.form.name->geometry().translated(0, 20));
  plain.show();
  EXPECT_EQ(f.form.name->width(), plain.sizeHint().width());
  EXPECT_EQ(f.form.name->grab().toImage(), plain.grab().toImage());
}

TEST(InfoDialog, OwnerLabelsKeepTheirTextsWhenNoOwnerIsRecorded) {
  Fixture f;
  f.answers.owner = {};
  f.Show();
  EXPECT_EQ(f.form.name->text(), QStringLiteral("Name"));
  EXPECT_EQ(f.form.org->text(), QStringLiteral("Organisation"));

  f.answers.owner = {true, QStringLiteral("First"), QStringLiteral("Firm")};
  f.Show();
  f.answers.owner = {};
  f.Show();  // keeps what the previous show gave
  EXPECT_EQ(f.form.name->text(), QStringLiteral("First"));
  EXPECT_EQ(f.form.org->text(), QStringLiteral("Firm"));

  // Recorded but empty values give empty labels.
  f.answers.owner = {true, QString(), QString()};
  f.Show();
  EXPECT_EQ(f.form.name->text(), QString());
  EXPECT_EQ(f.form.org->text(), QString());
}

TEST(InfoDialog, OwnerHeadingFollowsTheLanguage) {
  const struct {
    int language;
    const char* heading;
  } cases[] = {{0, "Licensee"}, {1, "Lizenznehmer"}, {2, "Licencié"}, {3, "Lizenznehmer:"}, {-1, "Lizenznehmer:"}};
  for (const auto& c : cases) {
    Fixture f(c.language);
    f.Show();
    EXPECT_EQ(f.form.Label7->text(), QString::fromUtf8(c.heading)) << c.language;
  }
  // Each show reads the language anew.
  Fixture f(2);
  f.Show();
  f.language.LanguageIndex = 0;
  f.Show();
  EXPECT_EQ(f.form.Label7->text(), QStringLiteral("Licensee"));
}

TEST(InfoDialog, VersionLineComesFromTheProgramFile) {
  Fixture f(2);
  f.Show();
  EXPECT_EQ(f.form.text1->text(), QStringLiteral("Programm-Version: ") + kProjectVersion);

  testing_support::ScopedWorkingDir dir;
  testing_support::WriteFileBytes(dir.File(QStringLiteral("other")), QByteArray(4096, 'x'));
  f.answers.programFile = dir.File(QStringLiteral("other"));
  f.Show();
  EXPECT_EQ(f.form.text1->text(), QStringLiteral("Programm-Version: "));
  EXPECT_EQ(f.form.ProductVersionText(), QString());
}

TEST(InfoDialog, LaidOutWithItsTitleRecolouredAtEveryShow) {
  Fixture f;
  TForm5& d = f.form;
  EXPECT_EQ(d.size(), QSize(514, 297));
  EXPECT_EQ(d.windowTitle(), QStringLiteral("Info"));
  EXPECT_EQ(d.Image1->geometry(), QRect(16, 16, 124, 31));
  EXPECT_FALSE(d.Image1->pixmap().isNull());
  EXPECT_EQ(d.ok->geometry(), QRect(408, 144, 73, 25));
  EXPECT_TRUE(d.ok->isDefault());
  for (QLabel* l : {d.Label6, d.Label9, d.Label10}) {
    EXPECT_EQ(l->palette().color(QPalette::WindowText), QColor(Qt::blue)) << l->objectName().toStdString();
  }
  d.show();
  EXPECT_FALSE(d.Image2->isVisible());
  EXPECT_LE(d.Label6->geometry().right(), 359);
  for (QLabel* l : {d.web, d.mail}) {
    EXPECT_EQ(l->cursor().shape(), Qt::PointingHandCursor);
    EXPECT_TRUE(l->font().underline());
    EXPECT_EQ(l->palette().color(QPalette::WindowText), QColor(Qt::blue));
  }
  EXPECT_EQ(d.web->toolTip(), QStringLiteral("Voskarin Website aufrufen"));
  EXPECT_EQ(d.mail->toolTip(), QStringLiteral("EMail an Support senden"));
  EXPECT_EQ(d.mail->text(), QStringLiteral("EMail (") + TForm5::SupportAddress() + QLatin1Char(')'));
  d.hide();

  for (QLabel* l : {d.Label6, d.Label9, d.Label10}) {
    QPalette p = l->palette();
    p.setColor(QPalette::WindowText, Qt::red);
    l->setPalette(p);
  }
  f.Show();
  for (QLabel* l : {d.Label6, d.Label9, d.Label10}) {
    EXPECT_EQ(l->palette().color(QPalette::WindowText), QColor(65, 120, 184)) << l->objectName().toStdString();
  }
}

// Blue links stay readable on a light window only: on a dark desktop theme they take the palette's
// link colour, and a change of theme while the program runs is followed.
TEST(InfoDialog, LinksTakeThePalettesLinkColourOnADarkWindow) {
  Fixture f;
  TForm5& d = f.form;
  QPalette dark = d.palette();
  dark.setColor(QPalette::Window, QColor(0x2b, 0x2b, 0x2b));
  dark.setColor(QPalette::WindowText, QColor(0xee, 0xee, 0xee));
  dark.setColor(QPalette::Link, QColor(0x8a, 0xb4, 0xf8));
  const QPalette light = d.palette();
  for (const auto& [palette, colour] :
       {std::pair{dark, QColor(0x8a, 0xb4, 0xf8)}, std::pair{light, QColor(Qt::blue)}}) {
    d.setPalette(palette);
    f.Show();
    for (QLabel* l : {static_cast<QLabel*>(d.web), static_cast<QLabel*>(d.mail)}) {
      EXPECT_EQ(l->palette().color(QPalette::WindowText), colour) << l->objectName().toStdString();
      EXPECT_TRUE(l->font().underline());
    }
  }
}

TEST(InfoDialog, LinksOpenTheirAddressesOrSayWhyNot) {
  Fixture f(1);
  QList<QUrl> opened;
  bool succeed = true;
  f.form.OpenUrl = [&](const QUrl& url) {
    opened.append(url);
    return succeed;
  };
  f.form.show();
  QTest::mouseClick(f.form.web, Qt::LeftButton);
  QTest::mouseClick(f.form.mail, Qt::LeftButton);
  ASSERT_EQ(opened.size(), 2);
  EXPECT_EQ(opened[0], QUrl(TForm5::WebAddress()));
  EXPECT_EQ(opened[1].scheme(), QStringLiteral("mailto"));
  EXPECT_EQ(opened[1].path(), TForm5::SupportAddress());

  // No program for mail on this desktop: the operator hears of it, with the address.
  succeed = false;
  ModalAnswerer answers;
  QString text;
  answers.ExpectMessageBox(QMessageBox::Ok, &text);
  f.form.mailClick();
  EXPECT_TRUE(answers.WaitAllAnswered());
  EXPECT_TRUE(text.startsWith(QStringLiteral("Die Adresse konnte nicht geöffnet werden"))) << text.toStdString();
  EXPECT_TRUE(text.contains(TForm5::SupportAddress()));
}

TEST(InfoDialog, OkEnterAndEscapeEndWithOkTheCloseBoxWithCancel) {
  const struct {
    const char* what;
    std::function<void(QWidget*)> end;
    int result;
  } cases[] = {
      {"ok", [](QWidget* d) { d->findChild<QPushButton*>(QStringLiteral("ok"))->click(); }, widgets::mrOk},
      {"Enter", [](QWidget* d) { QTest::keyClick(d, Qt::Key_Return); }, widgets::mrOk},
      {"Escape", [](QWidget* d) { QTest::keyClick(d, Qt::Key_Escape); }, widgets::mrOk},
      {"close box", [](QWidget* d) { d->close(); }, widgets::mrCancel},
  };
  Fixture f;
  for (const auto& c : cases) {
    ModalAnswerer answers;
    answers.Expect(c.end, QString::fromLatin1(c.what));
    EXPECT_EQ(f.form.ShowModal(), c.result) << c.what;
  }
}

TEST(InfoDialog, PlatformAnswersDescribeThisMachine) {
  const std::unique_ptr<dialogs::SystemInfo> system = dialogs::MakePlatformSystemInfo();
  const SystemVersion v = system->Version();
  utsname names{};
  ASSERT_EQ(uname(&names), 0);
  const SystemVersion expected =
      dialogs::FromUnixVersion(v.Name, QString::fromLocal8Bit(names.sysname), QString::fromLocal8Bit(names.release));
  EXPECT_TRUE(v.Known);
  EXPECT_FALSE(v.Name.isEmpty());
  EXPECT_EQ(dialogs::SystemLine(v), dialogs::SystemLine(expected));
  EXPECT_EQ(v.ServicePack, expected.ServicePack);
  EXPECT_TRUE(system->Owner().Found);  // whoever runs the tests has an entry
  EXPECT_EQ(dialogs::ProductVersionOfFile(system->ProgramFilePath()), kProjectVersion);

  const struct {
    const char* gecos;
    const char* name;
  } gecos[] = {{"Jane Doe,Room 1,555-1,555-2,", "Jane Doe"}, {"", ""}, {",,,", ""}, {" Jane ", "Jane"}};
  for (const auto& g : gecos) EXPECT_EQ(dialogs::FullNameFromGecos(g.gecos), QString::fromLatin1(g.name)) << g.gecos;

  testing_support::ScopedWorkingDir dir;
  testing_support::WriteFileBytes(dir.File(QStringLiteral("org")), "  Acme & Sons \r\nsecond line\n");
  EXPECT_EQ(dialogs::FirstLineOfFile(dir.File(QStringLiteral("org"))), QStringLiteral("Acme & Sons"));
  EXPECT_EQ(dialogs::FirstLineOfFile(dir.File(QStringLiteral("none"))), QString());
  ASSERT_EQ(mkfifo(QFile::encodeName(dir.File(QStringLiteral("fifo"))).constData(), 0600), 0);
  EXPECT_EQ(dialogs::FirstLineOfFile(dir.File(QStringLiteral("fifo"))), QString());  // and does not wait
}

}  // namespace
